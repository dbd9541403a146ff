#include "ServiceGlobals.h"

SERVICE_STATUS_HANDLE g_hServiceStatus = nullptr;
SERVICE_STATUS g_serviceStatus = {SERVICE_WIN32_OWN_PROCESS, SERVICE_STOPPED, 0x85, 0, 0, 0, 0};

HANDLE g_hEventControl = nullptr;
HANDLE g_hEventLogon = nullptr;
HANDLE g_hLogonToken = nullptr;

HANDLE g_hExcCliantThread = nullptr;
HANDLE g_hExcCliantThreadHandle = nullptr;
HANDLE g_hExcLogonThread = nullptr;
HANDLE g_hExcLogonThreadHandle = nullptr;
HANDLE volatile g_hThread = nullptr;
HANDLE volatile g_hLogonThread = nullptr;

const wchar_t *const NC_SERVICE_NAME = L"NolvexConnectMonitor";
const wchar_t *const NC_PIPE_NAME = L"\\\\.\\pipe\\NolvexConnectMonitor";
