#pragma once
// Resource identifiers of ZUAC.dll.

#define IDS_ZUAX 1                  // control type name
#define IDS_ZUAX_PPG 2              // property page name
#define IDS_ZUAX_PPG_CAPTION 200    // property page caption
#define IDD_PROPPAGE_ZUAX 200       // property page dialog
#define IDB_ZUAX 1                  // toolbox bitmap
#define IDI_ABOUTDLL 203            // library icon
#define IDC_PROPPAGE_TEXT 1000      // the page's one static text
