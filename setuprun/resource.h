#pragma once
// Resource ids of setuprun.exe (shared by setuprun.rc and the code).
#define IDS_APP_TITLE 103   // window title "setuprun"
#define IDD_ABOUTBOX 103    // About dialog
#define IDM_ABOUT 104
#define IDM_EXIT 105
#define IDI_SETUPRUN 107    // large icon
#define IDI_SMALL 108       // small icon
#define IDC_SETUPRUN 109    // window class name string "SETUPRUN", menu and accelerators
#define IDC_STATIC_ABOUT -1
