#pragma once
// Resource ids of NolvexConnectProxyReset.
#define IDD_NOLVEXCONNECTPROXYRESET_DIALOG 102
#define IDR_MAINFRAME 128
#define IDC_PLACEHOLDER_TEXT 1000
