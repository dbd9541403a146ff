#pragma once
// The service module: process entry, service control, the main loop that owns the pipe, and the
// start-up proxy restore. Takes the place of the framework's service module and keeps its names.
//
// Threads: the dispatcher thread runs Handler/HandlerEx; the service main thread runs Run with
// the start-up check and the pipe loop; client and logon workers are started by Run (see
// ServiceThreads.h). There is one module per process (s_pModule), created by wWinMain.
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
    // The main loop; returns its result to the service main.
    int Run(int nShowCmd);

    static DWORD WINAPI HandlerEx(DWORD dwControl, DWORD dwEventType, LPVOID lpEventData, LPVOID lpContext);

    // The control handler that Run registers: HandlerEx, and the product never changes it. It is
    // a pointer only so that a test build of the service can put a handler in front that turns a
    // user-defined control into a session logon (Wine sends no session-change control) and
    // forwards everything to HandlerEx.
    static LPHANDLER_FUNCTION_EX s_pfnHandlerEx;

    void StartProxyRestor();
    HANDLE GetUserToken();
    bool ProxyRestorFunc(HANDLE hToken);

private:
    static void WINAPI ServiceMain(DWORD dwArgc, LPWSTR *lpszArgv);
    static void WINAPI Handler(DWORD dwControl);

    // Command line: true when no registration switch was given (run as the service).
    bool ParseCommandLine(LPCWSTR lpCmdLine, HRESULT *pnRetCode);
    void ServiceMainBody();
    void OnStop();
    void ReportStatus(DWORD dwState, DWORD dwCheckPoint, DWORD dwWaitHint);
    void LogEvent(const wchar_t *pszText);

    // Run's steps.
    bool CreateLoopEvents(HANDLE *phEventConnect);
    bool CreateHandOffEvents();
    void WaitForTerminalServices();
    // Both return whether the end of Run reports stopped.
    bool RunSteps();
    bool PipeLoop(HANDLE hEventConnect, SECURITY_ATTRIBUTES *pSecurity);
    HANDLE CreatePipeInstance(SECURITY_ATTRIBUTES *pSecurity, DWORD *pdwRejectRemote);
    // All instances busy: waits a moment (stop and logon end the wait). 0 retry, 1 stop, 2 logon.
    int WaitWhileInstancesBusy();
    bool HandOffClient(HANDLE *phPipe);
    bool HandOffLogon();
    void CloseRunEvents(HANDLE hEventConnect, HANDLE hPipe);

    static CNolvexConnectMonitorModule *s_pModule;

    wchar_t m_szServiceName[256];
    HINSTANCE m_hInstance;
    int m_nShowCmd;
};
