#pragma once
// The service module: process entry, service control, the main loop that owns the pipe, and the
// start-up proxy restore. Takes the place of the framework's service module and keeps its names.
//
// Threads: the dispatcher thread runs Handler/HandlerEx; the service main thread runs Run with
// the start-up check and the pipe loop; client and logon workers are started by Run through its
// WorkerTable, which the stop path waits on (see ServiceThreads.h). There is one module per
// process (s_pModule), created by wWinMain.
#include "ScopedHandle.h"
#include "ServiceStatusReport.h"
#include "WorkerTable.h"
#include <windows.h>

class CNolvexConnectMonitorModule {
public:
    CNolvexConnectMonitorModule();
    ~CNolvexConnectMonitorModule();
    CNolvexConnectMonitorModule(const CNolvexConnectMonitorModule &) = delete;
    CNolvexConnectMonitorModule &operator=(const CNolvexConnectMonitorModule &) = delete;

    // wWinMain's work: registration switches, or run as the service.
    int WinMain(HINSTANCE hInstance, LPWSTR lpCmdLine, int nShowCmd);
    // Starts the service control dispatcher; returns the error code when it cannot start.
    int Start(int nShowCmd);
    // The main loop; returns the service-specific exit code (0 when nothing failed).
    int Run(int nShowCmd);

    // Answers the controls it handles with NO_ERROR and every other with ERROR_CALL_NOT_IMPLEMENTED.
    static DWORD WINAPI HandlerEx(DWORD dwControl, DWORD dwEventType, LPVOID lpEventData, LPVOID lpContext);

    // The control handler that Run registers: HandlerEx, and the product never changes it. It is
    // a pointer only so that a test build of the service can put a handler in front that turns a
    // user-defined control into a session logon (Wine sends no session-change control) and
    // forwards everything to HandlerEx.
    static LPHANDLER_FUNCTION_EX s_pfnHandlerEx;

    void StartProxyRestor();
    HANDLE GetUserToken();
    bool ProxyRestorFunc(HANDLE hToken);

    // The start-up logon check: one poll a second for five minutes (301 polls).
    static constexpr DWORD LOGON_POLL_STEP_MS = 1000;
    static constexpr DWORD LOGON_POLL_LIMIT_MS = 300000;
    // The stop path waits this long for the workers, well inside the stop wait hint.
    static constexpr DWORD STOP_WAIT_HINT_MS = 50000;
    static constexpr DWORD WORKER_STOP_WAIT_MS = 30000;
    // How often the stop looks at the progress of an update it waits for; each step the update
    // took since the last look is reported at once.
    static constexpr DWORD UPDATE_PROGRESS_POLL_MS = 100;

private:
    static void WINAPI ServiceMain(DWORD dwArgc, LPWSTR *lpszArgv);
    static void WINAPI Handler(DWORD dwControl);
    static void OnSessionChange(DWORD dwEventType, LPVOID lpEventData);

    // Command line: true when no registration switch was given (run as the service).
    bool ParseCommandLine(LPCWSTR lpCmdLine, HRESULT *pnRetCode);
    bool RunSwitch(const wchar_t *pszSwitch, HRESULT *pnRetCode);
    void ServiceMainBody();
    void OnStop();
    void LogEvent(const wchar_t *pszText);

    // Run's steps. Each failing step leaves its exit code in g_statusReport.
    void RunSteps();
    void WaitForTerminalServices();
    void PipeLoop(HANDLE hEventConnect, SECURITY_ATTRIBUTES *pSecurity);
    // A pooled instance, else a new one; empty when none can be had (*pbBusy: all ten exist).
    ScopedFileHandle NextInstance(SECURITY_ATTRIBUTES *pSecurity, DWORD *pdwRejectRemote, bool *pbBusy);
    HANDLE CreatePipeInstance(SECURITY_ATTRIBUTES *pSecurity, DWORD *pdwRejectRemote);
    // Starts the overlapped connect; false (instance dropped) when the instance refuses it.
    bool ListenOn(HANDLE hPipe, OVERLAPPED *pOverlapped);
    // Every instance busy: waits for a freed one, stop or logon. 0 freed, 1 stop, 2 logon, 3 failure.
    int WaitForFreeInstance();
    bool HandOffClient(ScopedFileHandle *phPipe);
    bool HandOffLogon();
    void StopWorkers();
    void WaitForUpdate();
    void RemoveUpdateLeftovers();

    static CNolvexConnectMonitorModule *s_pModule;

    wchar_t m_szServiceName[256];
    HINSTANCE m_hInstance;
    int m_nShowCmd;
    WorkerTable m_workers;   // service main thread only
};
