#include "ServiceGlobals.h"
#include "CNolvexConnectMonitorModule.h"
#include "MonitorManage.h"
#include "ServiceStatusReport.h"

SERVICE_STATUS_HANDLE g_hServiceStatus = nullptr;
SERVICE_STATUS g_serviceStatus = {SERVICE_WIN32_OWN_PROCESS, SERVICE_STOPPED, ServiceStatusReport::ACCEPTED_CONTROLS,
                                  0, 0, 0, 0};

HANDLE g_hEventControl = nullptr;
HANDLE g_hEventLogon = nullptr;

ServiceTiming g_serviceTiming = {MonitorManage::WATCH_INTERVAL_MS, CNolvexConnectMonitorModule::LOGON_POLL_STEP_MS};

const wchar_t *const NC_SERVICE_NAME = L"NolvexConnectMonitor";
const wchar_t *const NC_PIPE_NAME = L"\\\\.\\pipe\\NolvexConnectMonitor";
