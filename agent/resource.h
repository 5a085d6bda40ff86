#pragma once
// Resource identifiers of the agent. A replacement resource library
// ("ZURes.dll") uses the same numbers.

#define IDR_MAINFRAME 128       // application icon
#define IDR_TRAY_MENU 132       // notification icon context menu
#define IDD_OPTIONS 130         // Options dialog
#define IDD_INSTALL 139         // installing dialog of "/S"

// Controls of the installing dialog; the two hidden statics stay empty.
#define IDC_INSTALL_NAME 1013
#define IDC_INSTALL_STATUS 1014
#define IDC_INSTALL_TIME 1015

// Controls of the Options dialog.
#define IDC_WEB_SUPPORT 1000
#define IDC_AUTO_CHECK 1001
#define IDC_SUPPRESS_BALLOONS 1002
#define IDC_VERSION 1005
#define IDC_ICON_FRAME 1008
#define IDC_INFO_TEXT 1011

#define ID_TRAY_SUPPORT 32771
#define ID_TRAY_OPTIONS 32772
#define ID_TRAY_EXIT 32774

#define IDS_APP_TITLE 57344        // also the name of the session mutex
#define IDS_NOT_CONNECTED 57345
#define IDS_SERVER_UNREACHABLE 57346
#define IDS_BAD_FORMAT 57347
#define IDS_SUPPORT_PAGE_FAILED 57348
#define IDS_CLOCK_ERROR 57349
#define IDS_ALREADY_STARTED 501
#define IDS_SHORTCUT_OPTIONS 2000
#define IDS_SHORTCUT_SUPPORT 2001
#define IDS_WELCOME_TITLE 60000
#define IDS_WELCOME_TEXT 60001
#define IDS_RECOMMENDED_TITLE 60002
#define IDS_RECOMMENDED_TEXT 60003
#define IDS_IMPORTANT_TITLE 60004
#define IDS_IMPORTANT_TEXT 60005
#define IDS_CONFIRM_DISABLE 40000
#define IDS_INSTALLING_SECOND 400
#define IDS_INSTALLING_FIRST 401
#define IDS_REBOOT_CAPTION 402
#define IDS_SHUTDOWN_CAPTION 403
#define IDS_REBOOT_TEXT 404
#define IDS_SHUTDOWN_TEXT 405
#define IDS_PLUG_IN_POWER 406
#define IDS_INSTALL_YOURSELF 500
