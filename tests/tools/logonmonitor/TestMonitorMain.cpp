// Test build of the monitor service (never shipped): the product's service with one addition.
// Wine sends no session-change notifications and refuses control 14, so this build takes the
// user-defined control 200 as "a user logged on at the console" and hands HandlerEx exactly what
// Windows would: a session change of type WTS_SESSION_LOGON for the active console session.
// It is also called NolvexConnectMonitor.exe, because the trace log is named after the program.
#include "CNolvexConnectMonitorModule.h"
#include <wtsapi32.h>

namespace {
const DWORD kTestLogonControl = 200;

DWORD WINAPI TestHandlerEx(DWORD dwControl, DWORD dwEventType, LPVOID lpEventData, LPVOID lpContext)
{
    if (dwControl != kTestLogonControl) {
        return CNolvexConnectMonitorModule::HandlerEx(dwControl, dwEventType, lpEventData, lpContext);
    }
    WTSSESSION_NOTIFICATION notification = {};
    notification.cbSize = sizeof(notification);
    notification.dwSessionId = WTSGetActiveConsoleSessionId();
    return CNolvexConnectMonitorModule::HandlerEx(SERVICE_CONTROL_SESSIONCHANGE, WTS_SESSION_LOGON, &notification,
                                                  lpContext);
}
}  // namespace

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR lpCmdLine, int nShowCmd)
{
    CNolvexConnectMonitorModule::s_pfnHandlerEx = TestHandlerEx;
    CNolvexConnectMonitorModule module;
    return module.WinMain(hInstance, lpCmdLine, nShowCmd);
}
