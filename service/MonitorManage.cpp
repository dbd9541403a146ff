#include "MonitorManage.h"
#include "ActiveSession.h"
#include "ClientProcess.h"
#include "Log.h"
#include "MessageIds.h"
#include "MonitorEnd.h"
#include "MonitorStart.h"
#include "MonitorUpdate.h"
#include "MonitorView.h"
#include "PipeMessageFields.h"
#include "PipeSender.h"
#include "ServiceGlobals.h"
#include "ScopedHandle.h"
#include "StartThreadTable.h"
#include "UpdateGate.h"
#include "UpdateRequester.h"
#include <wtsapi32.h>

volatile LONG g_dwProcessID = 0;
volatile LONG g_iLogLevel = 0;

namespace {
const DWORD kErrorIconStyle = 16;   // MB_ICONERROR
const DWORD kUpdateCheckPauseMs = 1000;
const DWORD kMonitorEndGraceMs = 750;

int QueueWake(HANDLE hThread)
{
    MonitorStart clStart;
    return clStart.QueueUser(hThread);
}

void ApplyLogLevel(long lLevel)
{
    TraceLog::GetInstance().SetLogLevel(static_cast<unsigned int>(lLevel));
}
}  // namespace

MonitorManage::MonitorManage() : m_pSender(nullptr) {}

MonitorManage::~MonitorManage() {}

long MonitorManage::Init()
{
    LOG_SCOPE();
    m_clMonitorStart.reset(new (std::nothrow) MonitorStart());
    if (!m_clMonitorStart) {
        LOGWRITE(LOG_ERROR, L"m_clMonitorStart new Error");
        return 1;
    }
    m_clMonitorUpdate.reset(new (std::nothrow) MonitorUpdate());
    if (!m_clMonitorUpdate) {
        LOGWRITE(LOG_ERROR, L"m_clMonitorUpdate new Error");
        return 1;
    }
    m_clMonitorEnd.reset(new (std::nothrow) MonitorEnd());
    if (!m_clMonitorEnd) {
        LOGWRITE(LOG_ERROR, L"m_clMonitorEnd new Error");
        return 1;
    }
    return 0;
}

void MonitorManage::UseUpdate(std::unique_ptr<MonitorUpdate> pUpdate)
{
    m_clMonitorUpdate = std::move(pUpdate);
}

long MonitorManage::MessageAnalysis(const std::wstring &strMessage, HANDLE hThread)
{
    PipeSender unknown;
    return MessageAnalysis(strMessage, hThread, unknown);
}

long MonitorManage::MessageAnalysis(const std::wstring &strMessage, HANDLE hThread, const PipeSender &sender)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] Message is [%s]", strMessage.c_str());
    m_pSender = &sender;
    sender.Log();
    long lResult = -1;
    std::wstring strUser = GetAccessUserName();
    PipeMessageFields fields(strMessage);
    const std::wstring &strKeyword = fields.Keyword();
    if (strKeyword == L"LogLevel") lResult = OnLogLevel(fields.Rest());
    else if (strKeyword == L"MonitorStart") lResult = OnMonitorStart(strUser, fields.Rest(), hThread);
    else if (strKeyword == L"MonitorEnd") lResult = OnMonitorEnd(strUser, fields.Rest());
    else if (strKeyword == L"DoUpdate") lResult = OnDoUpdate(fields.Rest());
    else if (strKeyword == L"RollBackUpdate") lResult = OnRollBackUpdate();
    else LOGWRITE(LOG_WARN, L"Unknown message keyword [%s]", strKeyword.c_str());
    LOGWRITE(LOG_INFO, L"[OutputInfo] MessageAnalysis return %ld", lResult);
    m_pSender = nullptr;
    return lResult;
}

long MonitorManage::OnLogLevel(const std::wstring &strFields)
{
    LOGWRITE(LOG_INFO, L"ChangeRequestLogLevel");
    PipeMessageFields::Cursor cursor(strFields);
    InterlockedExchange(&g_iLogLevel, cursor.LastNumber());
    ApplyLogLevel(g_iLogLevel);
    return 0;
}

long MonitorManage::OnMonitorStart(const std::wstring &strUser, const std::wstring &strFields, HANDLE hThread)
{
    PipeMessageFields::Cursor cursor(strFields);
    DWORD dwProcessId = static_cast<DWORD>(cursor.NextNumber());
    InterlockedExchange(&g_dwProcessID, static_cast<LONG>(dwProcessId));
    m_strUserFolderPath = cursor.NextField();
    m_strLanguage = cursor.NextField();
    InterlockedExchange(&g_iLogLevel, cursor.LastNumber());
    LOGWRITE(LOG_DEBUG, L"[InputInfo] ProcessID is %ld", (long)dwProcessId);
    LOGWRITE(LOG_DEBUG, L"[InputInfo] UserFolderPath is %s", m_strUserFolderPath.c_str());
    LOGWRITE(LOG_DEBUG, L"[InputInfo] Language is %s", m_strLanguage.c_str());
    ApplyLogLevel(g_iLogLevel);

    // The id is checked once the designed way (its log lines); from then on the watch waits on
    // the process itself, so its end is seen at once and a reused id cannot confuse the watch.
    m_clMonitorStart->ProcessCheck(dwProcessId);
    ClientProcess process(dwProcessId);
    // Registered only now, right before the alertable waits: the wake-up of a MonitorEnd must
    // not be delivered inside the check above (its library loads), where nobody waits for it.
    bool bRegistered = g_hStartThread.InsertIfAbsent(strUser, hThread);
    if (!bRegistered) {
        LOGWRITE(LOG_INFO, L"A watch of [%s] is registered already; its handle is kept.", strUser.c_str());
    }
    LOGWRITE(LOG_INFO, L"Start while Loop");
    WatchEnd end = WatchClient(&process);
    if (end == WATCH_CLIENT_GONE) end = SettleClientEnd(strUser, hThread, bRegistered);
    long lResult = 0;
    if (end == WATCH_STOPPED) {
        LOGWRITE(LOG_INFO, L"The service stops: the watch of [%s] ends without end handling.", strUser.c_str());
    } else {
        lResult = EndHandling(end == WATCH_WOKEN);
    }
    // The watch is over: its entry must not let a later MonitorEnd wake a closed handle.
    g_hStartThread.EraseIfOwned(strUser, hThread);
    LOGWRITE(LOG_INFO, L"End while Loop");
    return lResult;
}

MonitorManage::WatchEnd MonitorManage::WatchClient(ClientProcess *pProcess)
{
    for (;;) {
        switch (pProcess->Wait(g_serviceTiming.dwWatchIntervalMs, true)) {
        case ClientProcess::WOKEN:
            return WATCH_WOKEN;
        case ClientProcess::STOP_REQUESTED:
            return WATCH_STOPPED;
        case ClientProcess::PROCESS_ENDED:
            LOGWRITE(LOG_INFO, L"The client process %lu has ended.", pProcess->GetId());
            LOGWRITE(LOG_INFO, L"End ProcessCheck");
            return WATCH_CLIENT_GONE;
        case ClientProcess::TIME_UP:
            LOGWRITE(LOG_INFO, L"MonitorStart End");
            if (!ClientStillRuns(pProcess)) {
                LOGWRITE(LOG_INFO, L"End ProcessCheck");
                return WATCH_CLIENT_GONE;
            }
            LOGWRITE(LOG_INFO, L"Continued ProcessCheck");
            break;
        }
    }
}

MonitorManage::WatchEnd MonitorManage::SettleClientEnd(const std::wstring &strUser, HANDLE hThread,
                                                        bool bRegistered)
{
    // A client that ends normally writes MonitorEnd just before it exits; another worker may still
    // be reading it. Its wake-up (or the erased entry, should the wake-up have been taken by some
    // other alertable wait) is awaited a moment before the end is taken as a crash.
    DWORD dwWait = g_hEventControl != nullptr ? WaitForSingleObjectEx(g_hEventControl, kMonitorEndGraceMs, TRUE)
                                              : SleepEx(kMonitorEndGraceMs, TRUE);
    if (dwWait == WAIT_OBJECT_0) return WATCH_STOPPED;
    if (dwWait == WAIT_FAILED) LOG_API_ERROR(L"WaitForSingleObjectEx", GetLastError());
    bool bArrived = dwWait == WAIT_IO_COMPLETION || (bRegistered && g_hStartThread.Find(strUser) != hThread);
    if (!bArrived) return WATCH_CLIENT_GONE;
    LOGWRITE(LOG_INFO, L"The MonitorEnd of [%s] came with the end of its client.", strUser.c_str());
    return WATCH_WOKEN;
}

bool MonitorManage::ClientStillRuns(ClientProcess *pProcess)
{
    // An open handle that the wait did not find signalled is a live process; without one, the
    // designed check of the id is all there is.
    if (pProcess->IsOpen()) return true;
    return m_clMonitorStart->ProcessCheck(pProcess->GetId()) == 1;
}

long MonitorManage::EndHandling(bool bWoken)
{
    // Woken by a MonitorEnd, the user settings stay unread, so the disconnect step finds no
    // connection type and only the log level is reset. Otherwise the client ended without a
    // MonitorEnd: restore its proxy, then hang up its connection.
    UserSetting setting;
    setting.strUserFolderPath = m_strUserFolderPath;
    if (!bWoken && !RestoreAfterAbruptEnd(&setting)) return 0;
    long lResult = DisconnectByType(setting.strConnectType, setting.iConnectIndex);
    LOGWRITE(LOG_INFO, L"SetLogLevel  0");
    ApplyLogLevel(0);
    return lResult;
}

bool MonitorManage::RestoreAfterAbruptEnd(UserSetting *pSetting)
{
    UserSetting &setting = *pSetting;
    int iRead = m_clMonitorEnd->GetUserSetting(&setting);
    if (iRead != 1) {
        LOGWRITE(LOG_ERROR, L"[OutputInfo] GetUserSetting Error %d", iRead);
        return false;
    }
    wchar_t szFolder[MAX_PATH] = {};
    lstrcpynW(szFolder, m_strUserFolderPath.c_str(), MAX_PATH);
    if (!m_clMonitorEnd->SetProxyRestor(szFolder)) {
        LOGWRITE(LOG_ERROR, L"SetProxyRestor Error");
        ApplyLogLevel(0);
        return false;
    }
    return true;
}

long MonitorManage::DisconnectByType(const std::wstring &strConnectType, int iConnectIndex)
{
    if (strConnectType == L"0") return m_clMonitorEnd->Disconnect(iConnectIndex, L"NolvexConnectL2TP");
    // Type "1" needs the initialization file loaded first (dial-up or mobile broadband); the
    // connection classes that read it come later, together with the disconnect itself.
    if (strConnectType == L"1") return m_clMonitorEnd->Disconnect(iConnectIndex, L"NolvexConnectDial");
    if (strConnectType == L"2") return m_clMonitorEnd->Disconnect(iConnectIndex, L"");
    LOGWRITE(LOG_WARN, L"Can't Find Connect Info From UserSettingFile.");
    return 0;
}

long MonitorManage::OnMonitorEnd(const std::wstring &strUser, const std::wstring &strFields)
{
    m_strUserFolderPath = strFields;
    LOGWRITE(LOG_DEBUG, L"[InputInfo] UserFolderPath is %s", m_strUserFolderPath.c_str());
    g_hStartThread.WakeAndErase(strUser, QueueWake);
    LOGWRITE(LOG_INFO, L"SetLogLevel  0");
    ApplyLogLevel(0);
    return 0;
}

long MonitorManage::OnDoUpdate(const std::wstring &strFields)
{
    PipeMessageFields::Cursor cursor(strFields);
    DWORD dwProcessId = static_cast<DWORD>(cursor.NextNumber());
    m_strDiffFolderPath = cursor.Remainder();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] DiffFolderPath is %s", m_strDiffFolderPath.c_str());
    if (!SenderMayUpdate(L"DoUpdate", true, dwProcessId)) return -1;
    if (!WaitForProcessEnd(dwProcessId)) {
        LOGWRITE(LOG_WARN, L"The service stops: the update of [%s] is not applied.", m_strDiffFolderPath.c_str());
        return -1;
    }
    LOGWRITE(LOG_INFO, L"SetLogLevel  %d", (int)g_iLogLevel);
    ApplyLogLevel(g_iLogLevel);
    LOGWRITE(LOG_INFO, L"End Update ProcessCheck");
    long lResult = -1;
    {
        UpdateGate::Hold hold(g_updateGate, L"DoUpdate");
        if (!hold.Entered()) {
            LOGWRITE(LOG_ERROR, L"Another update or rollback is running; the DoUpdate is refused.");
        } else {
            m_clMonitorUpdate->SetRequester(m_pSender->GetUserToken());
            lResult = m_clMonitorUpdate->UpdateMainProc(m_strDiffFolderPath);
            m_clMonitorUpdate->SetRequester(nullptr);
        }
    }
    ApplyLogLevel(0);
    if (lResult != 0) {
        LOGWRITE(LOG_ERROR, L"Update Process Error");
        return lResult;
    }
    LOGWRITE(LOG_INFO, L"UpdateProc End");
    return 0;
}

bool MonitorManage::SenderMayUpdate(const wchar_t *pszMessage, bool bCheckNamed, DWORD dwNamedProcess)
{
    // Only the installed client may ask: the service runs as SYSTEM and every local user can
    // write to its pipe.
    std::wstring strReason;
    UpdateRequester requester;
    if (requester.IsAllowed(UpdateRequester::FromSender(*m_pSender), m_clMonitorUpdate->GetInstallPath(), bCheckNamed,
                            dwNamedProcess, strReason))
        return true;
    LOGWRITE(LOG_ERROR, L"The %s is refused: %s.", pszMessage, strReason.c_str());
    return false;
}

bool MonitorManage::WaitForProcessEnd(DWORD dwProcessId)
{
    // The designed check runs first; then the worker waits on the process itself (the handle pins
    // it, so a reused id never keeps the update waiting) or, where it cannot be opened, checks the
    // id once a second instead of at once and burning a processor. A stop ends the wait.
    ClientProcess process(dwProcessId);
    LOGWRITE(LOG_INFO, L"MonitorUpdate Start");
    if (m_clMonitorStart->ProcessCheck(dwProcessId) != 1) return true;
    for (;;) {
        LOGWRITE(LOG_INFO, L"Continued Update ProcessCheck");
        ClientProcess::WaitResult result = process.Wait(process.IsOpen() ? INFINITE : kUpdateCheckPauseMs, false);
        if (result == ClientProcess::STOP_REQUESTED) return false;
        if (result == ClientProcess::PROCESS_ENDED) return true;
        if (process.IsOpen()) continue;
        LOGWRITE(LOG_INFO, L"MonitorUpdate Start");
        if (m_clMonitorStart->ProcessCheck(dwProcessId) != 1) return true;
    }
}

long MonitorManage::OnRollBackUpdate()
{
    if (!SenderMayUpdate(L"RollBackUpdate", false, 0)) return -1;
    long lRollback = -1;
    {
        UpdateGate::Hold hold(g_updateGate, L"RollBackUpdate");
        if (hold.Entered()) lRollback = m_clMonitorUpdate->CopyRollback();
        else LOGWRITE(LOG_ERROR, L"Another update or rollback is running; the RollBackUpdate is refused.");
    }
    std::unique_ptr<MonitorView> pView(new (std::nothrow) MonitorView(m_strLanguage));
    if (!pView) {
        LOGWRITE(LOG_ERROR, L"MonitorView new Error");
        return -1;
    }
    if (lRollback != 0) {
        pView->ShowMessage(MSG_ROLLBACK_FAILED, L"NolvexConnect", kErrorIconStyle);
        LOGWRITE(LOG_ERROR, L"CopyRollback Error");
        return lRollback;
    }
    return 0;
}

std::wstring MonitorManage::GetAccessUserName()
{
    LOG_SCOPE();
    return QueryActiveUserName(LOG_INFO);
}

std::wstring MonitorManage::GetAccessUserNameLogLvlDbg()
{
    LOGWRITE(LOG_DEBUG, L"START");
    std::wstring strName = QueryActiveUserName(LOG_DEBUG);
    LOGWRITE(LOG_DEBUG, L"END");
    return strName;
}

std::wstring MonitorManage::QueryActiveUserName(int iLevel)
{
    // Errors follow the caller's level too: the start-up poll asks up to 301 times.
    const int iErrLevel = iLevel == LOG_DEBUG ? LOG_DEBUG : LOG_ERROR;
    std::wstring strName;
    long lResult = ActiveSession::FindUserName(strName);
    if (lResult > 0) {
        LOGWRITE(iErrLevel, L"APIError [%s] rc:[%ld] msg:[%s]", L"WTSEnumerateSessions", lResult,
                 SystemErrorText((DWORD)lResult).c_str());
        return std::wstring();
    }
    if (strName.empty()) LOGWRITE(iErrLevel, L"Can't Get Active User Name");
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] GetAccessUserName() return is [%s]", strName.c_str());
    return strName;
}
