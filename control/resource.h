#pragma once
// Resource identifiers of ZUAC.dll.

#define IDS_ZUAX 1                  // control type name
#define IDS_ZUAX_PPG 2              // property page name
#define IDS_ZUAX_PPG_CAPTION 200    // property page caption
#define IDD_PROPPAGE_ZUAX 200       // property page dialog
#define IDB_ZUAX 1                  // toolbox bitmap
#define IDI_ABOUTDLL 203            // library icon
#define IDC_PROPPAGE_TEXT 1000      // the page's one static text

// The download dialog (template 202) and its controls.
#define IDD_DOWNLOAD 202
#define IDC_DOWNLOAD_PROGRESS 1000  // bar, 0-100
#define IDC_DOWNLOAD_STATUS 203     // "<done> / <total>"
#define IDC_DOWNLOAD_NAME 204       // the current module's display name
#define IDC_DOWNLOAD_TIME 205       // remaining time
