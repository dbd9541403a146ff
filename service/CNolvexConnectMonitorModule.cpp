#include "CNolvexConnectMonitorModule.h"
#include "Log.h"
#include "MonitorEnd.h"
#include "MonitorManage.h"
#include "PipeSecurity.h"
#include "ScopedHandle.h"
#include "ServiceGlobals.h"
#include "ServiceRegistration.h"
#include "ServiceThreads.h"
#include "WinOSInformation.h"
#include <objbase.h>
#include <shellapi.h>
#include <process.h>
#include <wtsapi32.h>
#include <memory>
#include <string>

namespace {
const DWORD kTermSrvWaitMs = 60000;
const DWORD kLogonPollLimitMs = 300000;
const DWORD kLogonPollStepMs = 1000;
const DWORD kBusyRetryMs = 1000;
const DWORD kStopWaitHintMs = 50000;

const DWORD kPipeOpenMode = PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED;   // 0x40000001
const DWORD kPipeMaxInstances = 10;
const DWORD kPipeBufferBytes = 512;
const DWORD kPipeDefaultTimeoutMs = 1000;

void CloseAndClear(HANDLE *ph)
{
    if (*ph != nullptr) {
        HANDLE h = *ph;
        *ph = nullptr;
        CloseHandle(h);
    }
}

HANDLE CreateManualEvent(BOOL bInitialState)
{
    return CreateEventW(nullptr, TRUE, bInitialState, nullptr);
}

// One hand-off at a time: wait for the free flag and take it.
bool TakeHandOffLock(HANDLE hFree)
{
    if (WaitForSingleObject(hFree, INFINITE) != WAIT_OBJECT_0) {
        LOGWRITE(LOG_ERROR, L"Failed to wait for the exclusive control of the event.");
    }
    if (!ResetEvent(hFree)) {
        LOG_API_ERROR(L"ResetEvent", GetLastError());
        return false;
    }
    return true;
}

// Starts a worker and publishes its handle in the slot; the worker takes it from there and sets
// the free flag again. *pbStarted tells whether the thread exists (and owns its argument).
bool StartWorker(unsigned(__stdcall *pfnWorker)(void *), void *pArg, HANDLE volatile *phSlot, HANDLE hPublished,
                 bool *pbStarted)
{
    HANDLE hThread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, pfnWorker, pArg, 0, nullptr));
    *pbStarted = hThread != nullptr;
    if (hThread == nullptr) {
        LOG_API_ERROR(L"CreateThread", GetLastError());
        return false;
    }
    *phSlot = hThread;
    if (!SetEvent(hPublished)) {
        LOG_API_ERROR(L"SetEvent", GetLastError());
        return false;
    }
    return true;
}

// The switch word of a command-line token ("-Service", "/regserver"), or empty text.
std::wstring SwitchWord(const std::wstring &strToken)
{
    if (strToken.size() < 2 || (strToken[0] != L'-' && strToken[0] != L'/')) return std::wstring();
    return strToken.substr(1);
}
}  // namespace

CNolvexConnectMonitorModule *CNolvexConnectMonitorModule::s_pModule = nullptr;
LPHANDLER_FUNCTION_EX CNolvexConnectMonitorModule::s_pfnHandlerEx = CNolvexConnectMonitorModule::HandlerEx;

CNolvexConnectMonitorModule::CNolvexConnectMonitorModule() : m_hInstance(nullptr), m_nShowCmd(SW_HIDE)
{
    lstrcpynW(m_szServiceName, NC_SERVICE_NAME, 256);
    s_pModule = this;
}

CNolvexConnectMonitorModule::~CNolvexConnectMonitorModule()
{
    s_pModule = nullptr;
}

int CNolvexConnectMonitorModule::WinMain(HINSTANCE hInstance, LPWSTR lpCmdLine, int nShowCmd)
{
    m_hInstance = hInstance;
    m_nShowCmd = nShowCmd;
    HRESULT hr = S_OK;
    if (!ParseCommandLine(lpCmdLine, &hr)) return static_cast<int>(hr);
    return Start(nShowCmd);
}

bool CNolvexConnectMonitorModule::ParseCommandLine(LPCWSTR lpCmdLine, HRESULT *pnRetCode)
{
    *pnRetCode = S_OK;
    int iArgs = 0;
    LPWSTR *ppArgs = CommandLineToArgvW(lpCmdLine != nullptr && *lpCmdLine ? lpCmdLine : L"x", &iArgs);
    if (ppArgs == nullptr) return true;
    bool bRun = true;
    for (int i = 0; i < iArgs && bRun; ++i) {
        std::wstring strWord = SwitchWord(ppArgs[i]);
        if (strWord.empty()) continue;
        const wchar_t *psz = strWord.c_str();
        if (lstrcmpiW(psz, L"UnregServer") == 0) {
            *pnRetCode = ServiceRegistration::Unregister(false);
            bRun = false;
        } else if (lstrcmpiW(psz, L"RegServer") == 0) {
            *pnRetCode = ServiceRegistration::Register(false, false);
            bRun = false;
        } else if (lstrcmpiW(psz, L"UnregServerPerUser") == 0) {
            *pnRetCode = ServiceRegistration::Unregister(true);
            bRun = false;
        } else if (lstrcmpiW(psz, L"RegServerPerUser") == 0) {
            *pnRetCode = ServiceRegistration::Register(true, false);
            bRun = false;
        } else if (lstrcmpiW(psz, L"Service") == 0) {
            *pnRetCode = ServiceRegistration::Register(false, true);
            bRun = false;
        }
    }
    LocalFree(ppArgs);
    return bRun;
}

int CNolvexConnectMonitorModule::Start(int nShowCmd)
{
    SERVICE_TABLE_ENTRYW st[] = {{m_szServiceName, ServiceMain}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherW(st)) {
        DWORD dwErr = GetLastError();
        LOG_API_ERROR(L"StartServiceCtrlDispatcher", dwErr);
        return static_cast<int>(dwErr);
    }
    return 0;
}

void WINAPI CNolvexConnectMonitorModule::ServiceMain(DWORD, LPWSTR *)
{
    if (s_pModule != nullptr) s_pModule->ServiceMainBody();
}

void CNolvexConnectMonitorModule::ServiceMainBody()
{
    g_hServiceStatus = RegisterServiceCtrlHandlerW(m_szServiceName, Handler);
    if (g_hServiceStatus == nullptr) {
        LogEvent(L"Handler not installed");
        return;
    }
    ReportStatus(SERVICE_START_PENDING, 1, 0);
    HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (FAILED(hr)) LOG_API_ERROR(L"CoInitializeEx", hr);
    Run(m_nShowCmd);
    if (SUCCEEDED(hr)) CoUninitialize();
    LogEvent(L"Service stopped");
    ReportStatus(SERVICE_STOPPED, 1, 0);
}

void WINAPI CNolvexConnectMonitorModule::Handler(DWORD dwControl)
{
    // The standard handler, in force only until Run registers HandlerEx.
    if (s_pModule == nullptr) return;
    if (dwControl == SERVICE_CONTROL_STOP) s_pModule->OnStop();
    else s_pModule->LogEvent(L"Bad service request");
}

void CNolvexConnectMonitorModule::OnStop()
{
    ReportStatus(SERVICE_STOP_PENDING, 0, 0);
}

void CNolvexConnectMonitorModule::ReportStatus(DWORD dwState, DWORD dwCheckPoint, DWORD dwWaitHint)
{
    g_serviceStatus.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    g_serviceStatus.dwControlsAccepted = 0x85;
    g_serviceStatus.dwWin32ExitCode = 0;
    g_serviceStatus.dwServiceSpecificExitCode = 0;
    g_serviceStatus.dwCurrentState = dwState;
    g_serviceStatus.dwCheckPoint = dwCheckPoint;
    g_serviceStatus.dwWaitHint = dwWaitHint;
    if (g_hServiceStatus != nullptr && !SetServiceStatus(g_hServiceStatus, &g_serviceStatus)) {
        LOG_API_ERROR(L"SetServiceStatus", GetLastError());
    }
}

void CNolvexConnectMonitorModule::LogEvent(const wchar_t *pszText)
{
    HANDLE hSource = RegisterEventSourceW(nullptr, m_szServiceName);
    if (hSource == nullptr) return;
    LPCWSTR apszStrings[1] = {pszText};
    ReportEventW(hSource, EVENTLOG_INFORMATION_TYPE, 0, 0, nullptr, 1, 0, apszStrings, nullptr);
    DeregisterEventSource(hSource);
}

DWORD WINAPI CNolvexConnectMonitorModule::HandlerEx(DWORD dwControl, DWORD dwEventType, LPVOID lpEventData,
                                                    LPVOID lpContext)
{
    g_serviceStatus.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    g_serviceStatus.dwControlsAccepted = 0x85;
    g_serviceStatus.dwWin32ExitCode = 0;
    g_serviceStatus.dwServiceSpecificExitCode = 0;
    switch (dwControl) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
        g_serviceStatus.dwCurrentState = SERVICE_STOP_PENDING;
        g_serviceStatus.dwCheckPoint = 0;
        g_serviceStatus.dwWaitHint = kStopWaitHintMs;
        if (g_hServiceStatus != nullptr) SetServiceStatus(g_hServiceStatus, &g_serviceStatus);
        if (g_hEventControl == nullptr) LOGWRITE(LOG_ERROR, L"SetEvent() g_hEventControl == NULL");
        else SetEvent(g_hEventControl);
        break;
    case SERVICE_CONTROL_INTERROGATE:
        if (g_hServiceStatus != nullptr) SetServiceStatus(g_hServiceStatus, &g_serviceStatus);
        break;
    case SERVICE_CONTROL_SESSIONCHANGE: {
        LOGWRITE(LOG_INFO, L"Catch Session Change Event EventType=%ld", (long)dwEventType);
        if (dwEventType != WTS_SESSION_LOGON || lpEventData == nullptr) break;
        DWORD dwSessionId = static_cast<WTSSESSION_NOTIFICATION *>(lpEventData)->dwSessionId;
        LOGWRITE(LOG_INFO, L"Catch LogOn Event SessionID=%ld", (long)dwSessionId);
        if (g_hLogonToken != nullptr) {
            LOGWRITE(LOG_INFO, L"Discard the last token.");
            CloseAndClear(&g_hLogonToken);
        }
        HANDLE hToken = nullptr;
        if (!WTSQueryUserToken(dwSessionId, &hToken)) hToken = nullptr;
        g_hLogonToken = hToken;
        LOGWRITE(LOG_INFO, L"Get Logon User Token g_hLogonToken:0x%08I64x",
                 LogHandleValue(g_hLogonToken));
        if (g_hEventLogon == nullptr) LOGWRITE(LOG_ERROR, L"SetEvent() g_hEventLogon == NULL");
        else SetEvent(g_hEventLogon);
        break;
    }
    default:
        break;
    }
    return 0;
}

int CNolvexConnectMonitorModule::Run(int nShowCmd)
{
    bool bReportStopped = false;
    {
        LOG_SCOPE();
        bReportStopped = RunSteps();
    }
    // Stopped is reported last: from then on the service manager may end the process at once.
    if (bReportStopped) ReportStatus(SERVICE_STOPPED, 1, 0);
    return 0;
}

bool CNolvexConnectMonitorModule::RunSteps()
{
    g_hServiceStatus = RegisterServiceCtrlHandlerExW(m_szServiceName, s_pfnHandlerEx, nullptr);
    if (g_hServiceStatus == nullptr) {
        LOG_API_ERROR(L"RegisterServiceCtrlHandlerEx", GetLastError());
        return false;
    }
    ReportStatus(SERVICE_START_PENDING, 1, 0);

    PipeSecurity security;
    if (!security.Build()) return false;
    HANDLE hEventConnect = nullptr;
    if (!CreateLoopEvents(&hEventConnect)) return false;
    ReportStatus(SERVICE_RUNNING, 1, 0);

    bool bReportStopped = true;
    if (CreateHandOffEvents()) {
        WaitForTerminalServices();
        StartProxyRestor();
        LOGWRITE(LOG_INFO, L"Start for Loop");
        bReportStopped = PipeLoop(hEventConnect, security.GetAttributes());
    }
    CloseRunEvents(hEventConnect, INVALID_HANDLE_VALUE);
    return bReportStopped;
}

bool CNolvexConnectMonitorModule::CreateLoopEvents(HANDLE *phEventConnect)
{
    *phEventConnect = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (*phEventConnect == nullptr) {
        LOG_API_ERROR(L"CreateEvent", GetLastError());
        return false;
    }
    g_hEventControl = CreateManualEvent(FALSE);
    g_hEventLogon = g_hEventControl != nullptr ? CreateManualEvent(FALSE) : nullptr;
    if (g_hEventControl == nullptr || g_hEventLogon == nullptr) {
        LOG_API_ERROR(L"CreateEvent", GetLastError());
        CloseAndClear(phEventConnect);
        CloseAndClear(&g_hEventControl);
        CloseAndClear(&g_hEventLogon);
        return false;
    }
    return true;
}

bool CNolvexConnectMonitorModule::CreateHandOffEvents()
{
    struct { HANDLE *ph; BOOL bSet; } aEvents[] = {{&g_hExcCliantThread, TRUE},
                                                   {&g_hExcCliantThreadHandle, FALSE},
                                                   {&g_hExcLogonThread, TRUE},
                                                   {&g_hExcLogonThreadHandle, FALSE}};
    for (auto &ev : aEvents) {
        if (*ev.ph != nullptr) continue;
        *ev.ph = CreateManualEvent(ev.bSet);
        if (*ev.ph == nullptr) {
            LOG_API_ERROR(L"CreateEvent", GetLastError());
            return false;
        }
    }
    return true;
}

void CNolvexConnectMonitorModule::WaitForTerminalServices()
{
    ScopedHandle hReady(OpenEventW(SYNCHRONIZE, FALSE, L"Global\\TermSrvReadyEvent"));
    if (!hReady) {
        LOGWRITE(LOG_WARN, L"TermSrvReadyEvent is NULL");
        return;
    }
    if (WaitForSingleObject(hReady.Get(), kTermSrvWaitMs) != WAIT_OBJECT_0) {
        LOGWRITE(LOG_WARN, L"Failed to wait for the TermSrvReadyEvent.");
    }
}

HANDLE CNolvexConnectMonitorModule::CreatePipeInstance(SECURITY_ATTRIBUTES *pSecurity, DWORD *pdwRejectRemote)
{
    HANDLE hPipe = CreateNamedPipeW(NC_PIPE_NAME, kPipeOpenMode,
                                    PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | *pdwRejectRemote,
                                    kPipeMaxInstances, kPipeBufferBytes, kPipeBufferBytes,
                                    kPipeDefaultTimeoutMs, pSecurity);
    if (hPipe == INVALID_HANDLE_VALUE && *pdwRejectRemote != 0 && GetLastError() == ERROR_INVALID_PARAMETER) {
        // A system that does not know the flag: serve without it rather than not at all.
        LOGWRITE(LOG_WARN, L"PIPE_REJECT_REMOTE_CLIENTS is not supported; remote clients are denied by the DACL only.");
        *pdwRejectRemote = 0;
        return CreatePipeInstance(pSecurity, pdwRejectRemote);
    }
    return hPipe;
}

int CNolvexConnectMonitorModule::WaitWhileInstancesBusy()
{
    HANDLE ahWait[2] = {g_hEventControl, g_hEventLogon};
    DWORD dwWait = WaitForMultipleObjects(2, ahWait, FALSE, kBusyRetryMs);
    if (dwWait == WAIT_OBJECT_0) return 1;
    if (dwWait == WAIT_OBJECT_0 + 1) return 2;
    if (dwWait == WAIT_FAILED) {
        LOG_API_ERROR(L"WaitForMultipleObjects", GetLastError());
        return 1;
    }
    return 0;
}

bool CNolvexConnectMonitorModule::HandOffClient(HANDLE *phPipe)
{
    if (!TakeHandOffLock(g_hExcCliantThread)) return false;
    ClientPipeData *pData =
        static_cast<ClientPipeData *>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(ClientPipeData)));
    if (pData == nullptr) {
        LOG_API_ERROR(L"HeapAlloc", ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    pData->hPipe = *phPipe;
    bool bStarted = false;
    bool bResult = StartWorker(ThreadFunc, pData, &g_hThread, g_hExcCliantThreadHandle, &bStarted);
    if (bStarted) *phPipe = INVALID_HANDLE_VALUE;   // the instance belongs to the worker now
    else HeapFree(GetProcessHeap(), 0, pData);
    return bResult;
}

bool CNolvexConnectMonitorModule::HandOffLogon()
{
    if (!TakeHandOffLock(g_hExcLogonThread)) return false;
    bool bStarted = false;
    return StartWorker(ThreadLogOn, g_hLogonToken, &g_hLogonThread, g_hExcLogonThreadHandle, &bStarted);
}

bool CNolvexConnectMonitorModule::PipeLoop(HANDLE hEventConnect, SECURITY_ATTRIBUTES *pSecurity)
{
    DWORD dwRejectRemote = PipeSecurity::RejectRemoteFlag();
    bool bBusyLogged = false;
    for (;;) {
        HANDLE hPipe = CreatePipeInstance(pSecurity, &dwRejectRemote);
        if (hPipe == INVALID_HANDLE_VALUE) {
            DWORD dwErr = GetLastError();
            if (dwErr != ERROR_PIPE_BUSY) {
                LOG_API_ERROR(L"CreateNamedPipe", dwErr);
                break;
            }
            // Every instance is held by a worker: wait for one to be released instead of ending.
            if (!bBusyLogged) LOGWRITE(LOG_WARN, L"All pipe instances are busy; waiting for a free one.");
            bBusyLogged = true;
            int iBusy = WaitWhileInstancesBusy();
            if (iBusy == 1) break;
            if (iBusy == 2) {
                if (!ResetEvent(g_hEventLogon)) LOG_API_ERROR(L"ResetEvent", GetLastError());
                if (!HandOffLogon()) break;
            }
            continue;
        }
        bBusyLogged = false;
        OVERLAPPED ov = {};
        ov.hEvent = hEventConnect;
        if (!ConnectNamedPipe(hPipe, &ov)) {
            // A client that came before the connect call (and may have written and gone already)
            // is connected too, but the overlapped call does not signal the event for it.
            DWORD dwConnect = GetLastError();
            if (dwConnect == ERROR_PIPE_CONNECTED || dwConnect == ERROR_NO_DATA) SetEvent(hEventConnect);
        }
        HANDLE ahWait[3] = {hEventConnect, g_hEventControl, g_hEventLogon};
        DWORD dwEventNo = WaitForMultipleObjects(3, ahWait, FALSE, INFINITE);
        if (dwEventNo == WAIT_OBJECT_0) {
            if (!HandOffClient(&hPipe)) {
                CloseRunEvents(nullptr, hPipe);
                break;
            }
            continue;
        }
        if (dwEventNo == WAIT_OBJECT_0 + 1) {
            CloseRunEvents(nullptr, hPipe);
            break;
        }
        if (dwEventNo == WAIT_OBJECT_0 + 2) {
            if (!ResetEvent(g_hEventLogon)) LOG_API_ERROR(L"ResetEvent", GetLastError());
            CloseRunEvents(nullptr, hPipe);
            if (!HandOffLogon()) break;
            continue;
        }
        CloseRunEvents(nullptr, hPipe);
        if (dwEventNo == WAIT_FAILED) {
            LOGWRITE(LOG_ERROR, L"dwEventNo Error");
            LOG_API_ERROR(L"WaitForMultipleObjects", GetLastError());
            break;
        }
        LOGWRITE(LOG_INFO, L"End for Loop");
        return false;
    }
    return true;
}

void CNolvexConnectMonitorModule::CloseRunEvents(HANDLE hEventConnect, HANDLE hPipe)
{
    // With a pipe only: release that waiting instance. With the connect event: the end of Run.
    if (hPipe != INVALID_HANDLE_VALUE && hPipe != nullptr) {
        // An instance still waiting for its client has nothing to disconnect.
        if (!DisconnectNamedPipe(hPipe) && GetLastError() != ERROR_PIPE_NOT_CONNECTED &&
            GetLastError() != ERROR_PIPE_LISTENING) {
            LOG_API_ERROR(L"DisconnectNamedPipe", GetLastError());
        }
        if (!CloseHandle(hPipe)) LOG_API_ERROR(L"CloseHandle", GetLastError());
    }
    if (hEventConnect == nullptr) return;
    CloseHandle(hEventConnect);
    CloseAndClear(&g_hEventControl);
    CloseAndClear(&g_hEventLogon);
    CloseAndClear(&g_hExcCliantThread);
    CloseAndClear(&g_hExcCliantThreadHandle);
    CloseAndClear(&g_hExcLogonThread);
    CloseAndClear(&g_hExcLogonThreadHandle);
}

void CNolvexConnectMonitorModule::StartProxyRestor()
{
    LOG_SCOPE();
    ScopedHandle hTimer(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!hTimer) LOG_API_ERROR(L"CreateEvent", GetLastError());
    std::unique_ptr<MonitorManage> pManage(new (std::nothrow) MonitorManage());
    if (!pManage) {
        LOGWRITE(LOG_ERROR, L"Failed to generate a MonitorManage class");
        return;
    }
    for (DWORD dwElapsed = 0; dwElapsed <= kLogonPollLimitMs; dwElapsed += kLogonPollStepMs) {
        LOGWRITE(LOG_INFO, L"Total waiting time logon is %ld ms.", (long)dwElapsed);
        if (!pManage->GetAccessUserNameLogLvlDbg().empty()) {
            if (g_hEventLogon != nullptr && WaitForSingleObject(g_hEventLogon, 100) == WAIT_OBJECT_0) {
                LOGWRITE(LOG_INFO, L"Because the logon event can be obtained, it will not do anything.");
                return;
            }
            HANDLE hToken = GetUserToken();
            if (hToken != nullptr) {
                ProxyRestorFunc(hToken);
                CloseHandle(hToken);
            } else {
                LOGWRITE(LOG_ERROR, L"Can not get user token.");
            }
            return;
        }
        // The pause also ends on a stop request, so that stopping does not wait for the poll.
        DWORD dwWait = WAIT_TIMEOUT;
        if (hTimer) {
            HANDLE ahWait[2] = {hTimer.Get(), g_hEventControl};
            dwWait = WaitForMultipleObjects(g_hEventControl != nullptr ? 2 : 1, ahWait, FALSE, kLogonPollStepMs);
        } else {
            Sleep(kLogonPollStepMs);
        }
        if (dwWait == WAIT_OBJECT_0 + 1) {
            LOGWRITE(LOG_INFO, L"Stop requested while waiting for a logon.");
            return;
        }
    }
    LOGWRITE(LOG_WARN, L"Not logged on within the time limit.");
}

HANDLE CNolvexConnectMonitorModule::GetUserToken()
{
    LOG_SCOPE();
    DWORD dwSessionId = WTSGetActiveConsoleSessionId();
    if (dwSessionId == 0xFFFFFFFF) {
        LOGWRITE(LOG_ERROR, L"Can not get the session id.");
        return nullptr;
    }
    HANDLE hToken = nullptr;
    if (!WTSQueryUserToken(dwSessionId, &hToken)) {
        LOGWRITE(LOG_ERROR, L"Can not get the token.");
        return nullptr;
    }
    return hToken;
}

bool CNolvexConnectMonitorModule::ProxyRestorFunc(HANDLE hToken)
{
    LOG_SCOPE();
    if (hToken == nullptr) {
        LOGWRITE(LOG_ERROR, L"hToken is NULL.");
        return false;
    }
    std::wstring strPath;
    std::unique_ptr<OSInformation> pOS(CreateOSInformation());
    if (pOS) strPath = pOS->GetAppDataFolderPath(hToken);
    if (strPath.empty()) {
        LOGWRITE(LOG_ERROR, L"Can not get the application data foler.");
        return false;
    }
    wchar_t szPath[MAX_PATH] = {};
    lstrcpynW(szPath, strPath.c_str(), MAX_PATH);
    std::unique_ptr<MonitorEnd> pEnd(new (std::nothrow) MonitorEnd());
    if (!pEnd || !pEnd->SetProxyRestor(szPath)) LOGWRITE(LOG_ERROR, L"Failed to SetProxyRestor.");
    return true;
}
