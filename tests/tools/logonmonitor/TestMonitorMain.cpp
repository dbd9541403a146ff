// Test build of the monitor service (never shipped): the product's service with one addition.
// Wine sends no session-change notifications and refuses control 14, so this build takes the
// user-defined control 200 as "a user logged on at the console" and hands HandlerEx exactly what
// Windows would: a session change of type WTS_SESSION_LOGON for the active console session.
// Its second addition shortens the waits the scenario tests would otherwise sit through: a watch
// ticks every 3 s instead of every 60 s, and the start-up logon poll pauses 50 ms between its 301
// polls (still counted and logged as one second each).
// It is also called NolvexConnectMonitor.exe, because the trace log is named after the program.
#include "CNolvexConnectMonitorModule.h"
#include "ServiceGlobals.h"
#include <wtsapi32.h>

namespace {
const DWORD kTestLogonControl = 200;
const DWORD kTestWatchIntervalMs = 3000;
const DWORD kTestLogonPollPauseMs = 50;

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
    g_serviceTiming.dwWatchIntervalMs = kTestWatchIntervalMs;
    g_serviceTiming.dwLogonPollPauseMs = kTestLogonPollPauseMs;
    CNolvexConnectMonitorModule module;
    return module.WinMain(hInstance, lpCmdLine, nShowCmd);
}
