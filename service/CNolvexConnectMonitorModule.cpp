#include "CNolvexConnectMonitorModule.h"
#include "LogonTokenSlot.h"
#include "Log.h"
#include "MonitorUpdate.h"
#include "UpdateGate.h"
#include "MonitorEnd.h"
#include "MonitorManage.h"
#include "PipeInstancePool.h"
#include "PipeSecurity.h"
#include "PublishedEvent.h"
#include "ServiceGlobals.h"
#include "ServiceRegistration.h"
#include "ServiceThreads.h"
#include "WinOSInformation.h"
#include <objbase.h>
#include <shellapi.h>
#include <wtsapi32.h>
#include <memory>
#include <string>

namespace {
const DWORD kTermSrvWaitMs = 60000;
const DWORD kLogonEventPeekMs = 100;
const DWORD kNoSession = 0xFFFFFFFF;
const DWORD kStopCheckPoint = 2;
// Instances that refuse a connect one after the other: the pipe itself is broken.
const int kMaxConnectFailures = 3;

const DWORD kPipeOpenMode = PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED;   // 0x40000001
const DWORD kPipeMaxInstances = 10;
const DWORD kPipeBufferBytes = 512;
const DWORD kPipeDefaultTimeoutMs = 1000;

// The switch word of a command-line token ("-Service", "/regserver"), or empty text.
std::wstring SwitchWord(const std::wstring &strToken)
{
    if (strToken.size() < 2 || (strToken[0] != L'-' && strToken[0] != L'/')) return std::wstring();
    return strToken.substr(1);
}

void ResetLogonEvent()
{
    if (!ResetEvent(g_hEventLogon)) LOG_API_ERROR(L"ResetEvent", GetLastError());
}

// A connect still pending on the listening instance must be over before its OVERLAPPED goes.
void EndPendingConnect(ScopedFileHandle *phPipe, OVERLAPPED *pOverlapped)
{
    if (!*phPipe) return;
    if (!CancelIo(phPipe->Get())) LOG_API_ERROR(L"CancelIo", GetLastError());
    DWORD dwIgnored = 0;
    GetOverlappedResult(phPipe->Get(), pOverlapped, &dwIgnored, TRUE);
    phPipe->Reset();
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
    if (ppArgs == nullptr) {
        LOG_API_ERROR(L"CommandLineToArgvW", GetLastError());
        return true;
    }
    ScopedLocal argsBlock(reinterpret_cast<HLOCAL>(ppArgs));
    for (int i = 0; i < iArgs; ++i) {
        std::wstring strWord = SwitchWord(ppArgs[i]);
        if (!strWord.empty() && RunSwitch(strWord.c_str(), pnRetCode)) return false;
    }
    return true;
}

bool CNolvexConnectMonitorModule::RunSwitch(const wchar_t *psz, HRESULT *pnRetCode)
{
    if (lstrcmpiW(psz, L"UnregServer") == 0) *pnRetCode = ServiceRegistration::Unregister(false);
    else if (lstrcmpiW(psz, L"RegServer") == 0) *pnRetCode = ServiceRegistration::Register(false, false);
    else if (lstrcmpiW(psz, L"UnregServerPerUser") == 0) *pnRetCode = ServiceRegistration::Unregister(true);
    else if (lstrcmpiW(psz, L"RegServerPerUser") == 0) *pnRetCode = ServiceRegistration::Register(true, false);
    else if (lstrcmpiW(psz, L"Service") == 0) *pnRetCode = ServiceRegistration::Register(false, true);
    else return false;
    return true;
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
    g_statusReport.Reset();
    g_hServiceStatus = RegisterServiceCtrlHandlerW(m_szServiceName, Handler);
    if (g_hServiceStatus == nullptr) {
        LogEvent(L"Handler not installed");
        return;
    }
    g_statusReport.Report(SERVICE_START_PENDING, 1, 0);
    HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (FAILED(hr)) LOG_API_ERROR(L"CoInitializeEx", hr);
    Run(m_nShowCmd);
    if (SUCCEEDED(hr)) CoUninitialize();
    LogEvent(L"Service stopped");
    g_statusReport.Report(SERVICE_STOPPED, 1, 0);
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
    g_statusReport.Report(SERVICE_STOP_PENDING, 0, 0);
}

void CNolvexConnectMonitorModule::LogEvent(const wchar_t *pszText)
{
    ScopedEventSource hSource(RegisterEventSourceW(nullptr, m_szServiceName));
    if (!hSource) {
        LOG_API_ERROR(L"RegisterEventSource", GetLastError());
        return;
    }
    LPCWSTR apszStrings[1] = {pszText};
    if (!ReportEventW(hSource.Get(), EVENTLOG_INFORMATION_TYPE, 0, 0, nullptr, 1, 0, apszStrings, nullptr)) {
        LOG_API_ERROR(L"ReportEvent", GetLastError());
    }
}

DWORD WINAPI CNolvexConnectMonitorModule::HandlerEx(DWORD dwControl, DWORD dwEventType, LPVOID lpEventData,
                                                    LPVOID lpContext)
{
    switch (dwControl) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
        g_statusReport.Report(SERVICE_STOP_PENDING, 0, STOP_WAIT_HINT_MS);
        if (g_hEventControl == nullptr) LOGWRITE(LOG_ERROR, L"SetEvent() g_hEventControl == NULL");
        else if (!SetEvent(g_hEventControl)) LOG_API_ERROR(L"SetEvent", GetLastError());
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        g_statusReport.ReportCurrent();
        return NO_ERROR;
    case SERVICE_CONTROL_SESSIONCHANGE:
        OnSessionChange(dwEventType, lpEventData);
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void CNolvexConnectMonitorModule::OnSessionChange(DWORD dwEventType, LPVOID lpEventData)
{
    LOGWRITE(LOG_INFO, L"Catch Session Change Event EventType=%ld", (long)dwEventType);
    if (dwEventType != WTS_SESSION_LOGON || lpEventData == nullptr) return;
    DWORD dwSessionId = static_cast<WTSSESSION_NOTIFICATION *>(lpEventData)->dwSessionId;
    LOGWRITE(LOG_INFO, L"Catch LogOn Event SessionID=%ld", (long)dwSessionId);
    if (g_hLogonToken.Discard()) LOGWRITE(LOG_INFO, L"Discard the last token.");
    HANDLE hToken = nullptr;
    if (!WTSQueryUserToken(dwSessionId, &hToken)) hToken = nullptr;
    g_hLogonToken.Store(hToken);
    LOGWRITE(LOG_INFO, L"Get Logon User Token g_hLogonToken:0x%08I64x", LogHandleValue(hToken));
    if (g_hEventLogon == nullptr) LOGWRITE(LOG_ERROR, L"SetEvent() g_hEventLogon == NULL");
    else if (!SetEvent(g_hEventLogon)) LOG_API_ERROR(L"SetEvent", GetLastError());
}

int CNolvexConnectMonitorModule::Run(int nShowCmd)
{
    {
        LOG_SCOPE();
        RunSteps();
    }
    // Stopped is reported last: from then on the service manager may end the process at once.
    g_statusReport.Report(SERVICE_STOPPED, 1, 0);
    return static_cast<int>(g_statusReport.GetExitCode());
}

void CNolvexConnectMonitorModule::RunSteps()
{
    g_hServiceStatus = RegisterServiceCtrlHandlerExW(m_szServiceName, s_pfnHandlerEx, nullptr);
    if (g_hServiceStatus == nullptr) {
        LOG_API_ERROR(L"RegisterServiceCtrlHandlerEx", GetLastError());
        return;
    }
    g_statusReport.Report(SERVICE_START_PENDING, 1, 0);

    PipeSecurity security;
    if (!security.Build()) {
        g_statusReport.SetExitCode(NC_EXIT_PIPE_SECURITY);
        return;
    }
    // Owners in the order of their creation: they close in reverse, after the workers have ended.
    ScopedHandle hEventConnect(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!hEventConnect) LOG_API_ERROR(L"CreateEvent", GetLastError());
    PublishedEvent eventControl(&g_hEventControl);
    PublishedEvent eventLogon(&g_hEventLogon);
    if (!hEventConnect || !eventControl.Create() || !eventLogon.Create() || !g_pipeInstances.Open()) {
        g_statusReport.SetExitCode(NC_EXIT_LOOP_EVENTS);
        return;
    }
    g_statusReport.Report(SERVICE_RUNNING, 1, 0);
    RemoveUpdateLeftovers();

    WaitForTerminalServices();
    StartProxyRestor();
    LOGWRITE(LOG_INFO, L"Start for Loop");
    PipeLoop(hEventConnect.Get(), security.GetAttributes());
    // Whatever ended the loop, every worker's wait ends now.
    if (!SetEvent(g_hEventControl)) LOG_API_ERROR(L"SetEvent", GetLastError());
    StopWorkers();
}

void CNolvexConnectMonitorModule::RemoveUpdateLeftovers()
{
    MonitorUpdate update;
    update.RemoveSetAside();
}

void CNolvexConnectMonitorModule::WaitForUpdate()
{
    // An update or rollback is never cut off halfway: the stop waits for it to finish (or roll
    // back), and each step it takes moves the check point on, so the service manager sees progress.
    if (!g_updateGate.IsBusy()) return;
    LOGWRITE(LOG_INFO, L"The stop waits for the running update or rollback.");
    DWORD dwReported = 0;
    bool bReported = false;
    while (!g_updateGate.WaitIdle(UPDATE_PROGRESS_POLL_MS)) {
        // A short step between two looks would otherwise never be seen: report every change.
        DWORD dwProgress = g_updateGate.GetProgress();
        if (bReported && dwProgress == dwReported) continue;
        g_statusReport.Report(SERVICE_STOP_PENDING, kStopCheckPoint + dwProgress, STOP_WAIT_HINT_MS);
        dwReported = dwProgress;
        bReported = true;
    }
    LOGWRITE(LOG_INFO, L"The update or rollback has ended; the stop goes on.");
}

void CNolvexConnectMonitorModule::StopWorkers()
{
    g_statusReport.Report(SERVICE_STOP_PENDING, kStopCheckPoint, STOP_WAIT_HINT_MS);
    WaitForUpdate();
    if (m_workers.WaitAll(WORKER_STOP_WAIT_MS) != 0) g_statusReport.SetExitCode(NC_EXIT_WORKERS_RUNNING);
    g_pipeInstances.Close();
}

void CNolvexConnectMonitorModule::WaitForTerminalServices()
{
    ScopedHandle hReady(OpenEventW(SYNCHRONIZE, FALSE, L"Global\\TermSrvReadyEvent"));
    if (!hReady) {
        LOGWRITE(LOG_WARN, L"TermSrvReadyEvent is NULL");
        return;
    }
    HANDLE ahWait[2] = {hReady.Get(), g_hEventControl};
    if (WaitForMultipleObjects(2, ahWait, FALSE, kTermSrvWaitMs) != WAIT_OBJECT_0) {
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

ScopedFileHandle CNolvexConnectMonitorModule::NextInstance(SECURITY_ATTRIBUTES *pSecurity, DWORD *pdwRejectRemote,
                                                           bool *pbBusy)
{
    *pbBusy = false;
    ScopedFileHandle hPipe = g_pipeInstances.Take();
    if (hPipe) return hPipe;
    hPipe.Reset(CreatePipeInstance(pSecurity, pdwRejectRemote));
    if (hPipe) return hPipe;
    DWORD dwErr = GetLastError();
    *pbBusy = dwErr == ERROR_PIPE_BUSY;
    if (!*pbBusy) LOG_API_ERROR(L"CreateNamedPipe", dwErr);
    return hPipe;
}

bool CNolvexConnectMonitorModule::ListenOn(HANDLE hPipe, OVERLAPPED *pOverlapped)
{
    if (ConnectNamedPipe(hPipe, pOverlapped)) return true;
    DWORD dwConnect = GetLastError();
    if (dwConnect == ERROR_IO_PENDING) return true;
    // A client that came before the connect call (and may have written and gone already) is
    // connected too, but the overlapped call does not signal the event for it.
    if (dwConnect == ERROR_PIPE_CONNECTED || dwConnect == ERROR_NO_DATA) {
        if (!SetEvent(pOverlapped->hEvent)) LOG_API_ERROR(L"SetEvent", GetLastError());
        return true;
    }
    LOG_API_ERROR(L"ConnectNamedPipe", dwConnect);
    return false;
}

int CNolvexConnectMonitorModule::WaitForFreeInstance()
{
    HANDLE ahWait[3] = {g_pipeInstances.FreedEvent(), g_hEventControl, g_hEventLogon};
    DWORD dwWait = WaitForMultipleObjects(3, ahWait, FALSE, INFINITE);
    if (dwWait == WAIT_OBJECT_0 || dwWait == WAIT_OBJECT_0 + 1 || dwWait == WAIT_OBJECT_0 + 2) {
        return static_cast<int>(dwWait - WAIT_OBJECT_0);
    }
    LOG_API_ERROR(L"WaitForMultipleObjects", GetLastError());
    return 3;
}

bool CNolvexConnectMonitorModule::HandOffClient(ScopedFileHandle *phPipe)
{
    std::unique_ptr<ClientPipeData> pData(new (std::nothrow) ClientPipeData());
    if (!pData) {
        LOG_API_ERROR(L"HeapAlloc", ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    pData->hPipe = std::move(*phPipe);
    ScopedHandle *phOwn = &pData->hOwnThread;
    if (!m_workers.Start(L"client", ThreadFunc, pData.get(), phOwn)) return false;
    pData.release();   // the worker owns its record now
    return true;
}

bool CNolvexConnectMonitorModule::HandOffLogon()
{
    std::unique_ptr<LogonWorkerData> pData(new (std::nothrow) LogonWorkerData());
    if (!pData) {
        LOG_API_ERROR(L"HeapAlloc", ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    pData->hToken = g_hLogonToken.Duplicate();
    ScopedHandle *phOwn = &pData->hOwnThread;
    if (!m_workers.Start(L"logon", ThreadLogOn, pData.get(), phOwn)) return false;
    pData.release();
    return true;
}

void CNolvexConnectMonitorModule::PipeLoop(HANDLE hEventConnect, SECURITY_ATTRIBUTES *pSecurity)
{
    DWORD dwRejectRemote = PipeSecurity::RejectRemoteFlag();
    bool bBusyLogged = false;
    int iConnectFailures = 0;
    OVERLAPPED ov = {};
    ScopedFileHandle hListening;   // declared after ov: it goes first
    for (;;) {
        m_workers.Reap();
        if (!hListening) {
            bool bBusy = false;
            hListening = NextInstance(pSecurity, &dwRejectRemote, &bBusy);
            if (!hListening && !bBusy) {
                g_statusReport.SetExitCode(NC_EXIT_PIPE_INSTANCE);
                break;
            }
            if (!hListening) {
                // Every instance is held by a worker: the first one given back wakes the loop.
                if (!bBusyLogged) LOGWRITE(LOG_WARN, L"All pipe instances are busy; waiting for a free one.");
                bBusyLogged = true;
                int iWake = WaitForFreeInstance();
                if (iWake == 1) break;
                if (iWake == 3) {
                    g_statusReport.SetExitCode(NC_EXIT_LOOP_WAIT);
                    break;
                }
                if (iWake == 2) {
                    ResetLogonEvent();
                    if (!HandOffLogon()) {
                        g_statusReport.SetExitCode(NC_EXIT_WORKER_START);
                        break;
                    }
                }
                continue;
            }
            bBusyLogged = false;
            ov = OVERLAPPED();
            ov.hEvent = hEventConnect;
            if (!ListenOn(hListening.Get(), &ov)) {
                hListening.Reset();
                if (++iConnectFailures < kMaxConnectFailures) continue;
                g_statusReport.SetExitCode(NC_EXIT_PIPE_INSTANCE);
                break;
            }
            iConnectFailures = 0;
        }
        HANDLE ahWait[3] = {hEventConnect, g_hEventControl, g_hEventLogon};
        DWORD dwEventNo = WaitForMultipleObjects(3, ahWait, FALSE, INFINITE);
        if (dwEventNo == WAIT_OBJECT_0) {
            if (HandOffClient(&hListening)) continue;
            g_statusReport.SetExitCode(NC_EXIT_WORKER_START);
            break;
        }
        if (dwEventNo == WAIT_OBJECT_0 + 1) break;
        if (dwEventNo == WAIT_OBJECT_0 + 2) {
            // The listening instance keeps listening: a logon never takes the pipe away.
            ResetLogonEvent();
            if (HandOffLogon()) continue;
            g_statusReport.SetExitCode(NC_EXIT_WORKER_START);
            break;
        }
        if (dwEventNo == WAIT_FAILED) {
            LOGWRITE(LOG_ERROR, L"dwEventNo Error");
            LOG_API_ERROR(L"WaitForMultipleObjects", GetLastError());
            g_statusReport.SetExitCode(NC_EXIT_LOOP_WAIT);
            break;
        }
        LOGWRITE(LOG_INFO, L"End for Loop");
        break;
    }
    EndPendingConnect(&hListening, &ov);
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
    for (DWORD dwElapsed = 0; dwElapsed <= LOGON_POLL_LIMIT_MS; dwElapsed += LOGON_POLL_STEP_MS) {
        LOGWRITE(LOG_INFO, L"Total waiting time logon is %ld ms.", (long)dwElapsed);
        if (!pManage->GetAccessUserNameLogLvlDbg().empty()) {
            if (g_hEventLogon != nullptr && WaitForSingleObject(g_hEventLogon, kLogonEventPeekMs) == WAIT_OBJECT_0) {
                LOGWRITE(LOG_INFO, L"Because the logon event can be obtained, it will not do anything.");
                return;
            }
            ScopedHandle hToken(GetUserToken());
            if (hToken) ProxyRestorFunc(hToken.Get());
            else LOGWRITE(LOG_ERROR, L"Can not get user token.");
            return;
        }
        // The pause also ends on a stop request, so that stopping does not wait for the poll.
        DWORD dwWait = WAIT_TIMEOUT;
        if (hTimer) {
            HANDLE ahWait[2] = {hTimer.Get(), g_hEventControl};
            dwWait = WaitForMultipleObjects(g_hEventControl != nullptr ? 2 : 1, ahWait, FALSE,
                                            g_serviceTiming.dwLogonPollPauseMs);
        } else {
            Sleep(g_serviceTiming.dwLogonPollPauseMs);
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
    if (dwSessionId == kNoSession) {
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
