#include "RegistTerminal.h"
#include "AplicationInfo.h"
#include "DownloadProgress.h"
#include "ErrInfo.h"
#include "FileIO.h"
#include "HTTP_Connection.h"
#include "IniFile.h"
#include "InstalledFileList.h"
#include "Log.h"
#include "MessageIds.h"
#include "Monitoring.h"
#include "OSInformation.h"
#include "RegistErrorCodeTable.h"
#include "RegistFormBody.h"
#include "RegistSuccessCodeTable.h"
#include "TerminalCertification.h"
#include "TerminalProfile.h"
#include "UpdateArchive.h"
#include "UpdateQuestion.h"
#include "UserSettingFile.h"
#include <memory>

namespace {
const wchar_t kMethodPost[] = L"Post";
const BYTE kProxyDefault = 1;
const wchar_t kNoUpdateAnswer[] = L"diffExistFlag=0";
const wchar_t kProfileMark[] = L"<SystemInformation>";
const wchar_t kHttpScheme[] = L"http:";
const size_t kHttpSchemeChars = 5;
const wchar_t kHttpsScheme[] = L"https:";
const size_t kHttpsSchemeChars = 6;
const wchar_t kArchivePasswordPrefix[] = L"NolvexConnect-";
const long kHttpOk = 200;
const long kTitleLimit = 10000;
const long kMessageLimit = 9999;
const int kFullPercent = 100;

bool StartsWithNoCase(const std::wstring &strText, const wchar_t *pszPrefix, size_t nChars)
{
    return strText.size() >= nChars && _wcsnicmp(strText.c_str(), pszPrefix, nChars) == 0;
}

bool IsEndStatus(long lStatus)
{
    return lStatus == HTTP_Connection::STATUS_IDLE || lStatus == HTTP_Connection::STATUS_CANCELED;
}

// The decimal value of a server's answer, as the answer text itself (its code parser checks it).
std::wstring AnswerCode(const HttpRequestInfo &request)
{
    return request.strResponseText;
}
}   // namespace

RegistTerminal::RegistTerminal() : RegistTerminal(Seams()) {}

RegistTerminal::RegistTerminal(const Seams &seams)
    : m_seams(seams), m_pHttp(nullptr), m_isInternalAddress(false), m_lCancel(0), m_lStatus(STATUS_COMPUTE),
      m_lMsgCode(0), m_isProfileLoad(false), m_isUpdateModule(false), m_isUpdateCancel(false), m_isNetworkError(false),
      m_isNotifyMsg(false), m_lCancelUsed(0), m_hClientWnd(nullptr),
      m_uQuestionTimeoutMs(UpdateQuestion::ANSWER_TIMEOUT_MS)
{
    m_hCancelEvent.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!m_hCancelEvent) LOG_API_ERROR(L"CreateEventW", GetLastError());
}

RegistTerminal::~RegistTerminal()
{
    CloseHttp();
}

void RegistTerminal::SetNotifyHook(NotifyHook *pHook)
{
    m_notifier = StatusNotifier(pHook);
}

void RegistTerminal::SetClientWindow(HWND hWnd)
{
    LOGWRITE(LOG_DEBUG, L"[InputInfo] client window 0x%08I64x", LogHandleValue(hWnd));
    m_hClientWnd = hWnd;
}

void RegistTerminal::SetQuestionTimeout(UINT uTimeoutMs)
{
    m_uQuestionTimeoutMs = uTimeoutMs;
}

// ---- messages ----

void RegistTerminal::SetErrorInfo(long lMsgCode, long lTitleCode, long lDispStatus, const std::wstring &strAddMsg,
                                  bool bNotify)
{
    if (lMsgCode > kMessageLimit && lTitleCode <= kTitleLimit) {
        lTitleCode = lMsgCode;
        lMsgCode = 0;
    }
    if (lDispStatus == STATUS_COMPUTE) {
        bool bCancelLike = lTitleCode == MSG_CONNECTION_CANCELED || lTitleCode == MSG_STATUS_NO_UPDATE_MODULE ||
                           lTitleCode == MSG_PROGRESS_NO_UPDATE_MODULE || lMsgCode == MSG_HTTP_PROFILE_UPDATED_ON_CANCEL;
        lDispStatus = bCancelLike ? STATUS_INFO : STATUS_ERROR;
    }
    {
        CriticalSection::Lock lock(m_csState);
        if (!m_isNotifyMsg) m_isNotifyMsg = bNotify;
        m_strAddMsg = strAddMsg;
        m_lMsgCode = lMsgCode;
        m_lStatus = lDispStatus;
    }
    if (bNotify) {
        LOGWRITE(LOG_INFO, L"Call NotifyError msgCd %ld, titleCd %ld, dispStatus %ld, strAddMsg %s", lMsgCode, lTitleCode,
                 lDispStatus, strAddMsg.c_str());
        m_notifier.Notify(lMsgCode, lTitleCode, lDispStatus, strAddMsg);
    } else {
        LOGWRITE(LOG_INFO, L"Skip NotifyError msgCd %ld, titleCd %ld, dispStatus %ld, strAddMsg %s", lMsgCode, lTitleCode,
                 lDispStatus, strAddMsg.c_str());
    }
}

void RegistTerminal::GetErrorInfo(ErrorInfo *pErrorInfo)
{
    if (!pErrorInfo) return;
    CriticalSection::Lock lock(m_csState);
    pErrorInfo->Status = m_lStatus;
    pErrorInfo->MsgCode = m_lMsgCode;
    pErrorInfo->AddMsg = m_strAddMsg;
    pErrorInfo->isProfileLoad = m_isProfileLoad;
    pErrorInfo->isUpdateModule = m_isUpdateModule;
    pErrorInfo->isUpdateCancel = m_isUpdateCancel;
    pErrorInfo->isNetworkError = m_isNetworkError;
    pErrorInfo->isNotifyMsg = m_isNotifyMsg;
}

void RegistTerminal::ResetState()
{
    CriticalSection::Lock lock(m_csState);
    m_lStatus = STATUS_COMPUTE;
    m_lMsgCode = 0;
    m_strAddMsg.clear();
    m_isProfileLoad = m_isUpdateModule = m_isUpdateCancel = m_isNetworkError = m_isNotifyMsg = false;
}

// ---- codes and addresses ----

std::wstring RegistTerminal::GetURLEncode(const std::wstring &strText)
{
    bool bOk = true;
    return RegistFormBody::Encode(strText, bOk);
}

bool RegistTerminal::IsResultCodeFromServer(const std::wstring &strText)
{
    return RegistErrorCodeTable::IsResultCode(strText);
}

long RegistTerminal::GetInternalErrorCode(const std::wstring &strCode, const std::wstring &strOperation,
                                          std::wstring &strText)
{
    return RegistErrorCodeTable::LookupText(strCode, strOperation, strText);
}

long RegistTerminal::GetInternalSuccessCode(const std::wstring &strCategory, const std::wstring &strInfoCode,
                                            const std::wstring &strOperation, bool bCreateProfile)
{
    return RegistSuccessCodeTable::Lookup(strCategory, strInfoCode, strOperation, bCreateProfile);
}

bool RegistTerminal::IsAllowedScheme(const std::wstring &strURL, bool bAllowPlainHTTP)
{
    if (StartsWithNoCase(strURL, kHttpsScheme, kHttpsSchemeChars)) return true;
    return bAllowPlainHTTP && StartsWithNoCase(strURL, kHttpScheme, kHttpSchemeChars);
}

std::wstring RegistTerminal::ArchivePassword(const std::wstring &strUpdateModuleNumber)
{
    return kArchivePasswordPrefix + strUpdateModuleNumber;
}

std::wstring RegistTerminal::GetServerURL()
{
    LOG_SCOPE();
    IniFile &ini = IniFile::GetInstance();
    ini.ReadOnce();
    std::wstring strBase;
    if (!m_isInternalAddress) {
        strBase = ini.GetRegistTerminalServerURL();
        if (strBase.empty()) LOGWRITE(LOG_ERROR, L"IniFile doesn't Set RegistTerminal Server URL");
    } else {
        strBase = TerminalProfile::GetInstance().GetAuthTerminalServerURL();
        if (strBase.empty()) LOGWRITE(LOG_ERROR, L"Profile doesn't Set RegistTerminal Server URL");
    }
    if (strBase.empty()) return strBase;
    if (!IsAllowedScheme(strBase, ini.GetAllowPlainHTTP() == L"1")) {
        LOGWRITE(LOG_ERROR, L"The registration server address [%s] is refused: only https is used unless "
                            L"AllowPlainHTTP is \"1\" (a password would travel in clear text)", strBase.c_str());
        return std::wstring();
    }
    if (strBase.back() != L'/') strBase += L'/';
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] server URL is %s", strBase.c_str());
    return strBase;
}

long RegistTerminal::GetRegistTerminalSendParam(int iIndex, const std::wstring &strOperation,
                                                const std::wstring &strPassword, std::wstring &strBody)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] index %d, operation %s", iIndex, strOperation.c_str());
    strBody.clear();
    std::unique_ptr<OSInformation> pOS(CreateOSInformation());
    std::unique_ptr<AplicationInfo> pApp(CreateAplicationInfo());
    if (!pOS || !pApp) {
        LOGWRITE(LOG_ERROR, L"Failed to generate a OSInformation class");
        return MSG_STATUS_INTERNAL_ERROR;
    }
    ErrInfo err;
    TerminalCertification certification(iIndex);
    std::wstring strIdentInfo = certification.GetTerminalIDInfo(&err);
    if (strIdentInfo.empty()) {
        LOGWRITE(LOG_ERROR, L"The terminal id info cannot be computed (%ld)", err.ErrCode);
        return MSG_ENCRYPTION_ERROR;
    }
    IniFile &ini = IniFile::GetInstance();
    ini.ReadOnce();
    TerminalProfile &profile = TerminalProfile::GetInstance();
    RegistFormBody::Values values;
    values.strComputerName = pOS->GetComputerNameW();
    values.strComputerSid =
        ini.GetComSid() == L"0" ? RegistFormBody::SidFromTerminalIdInfo(strIdentInfo) : pOS->GetComputerSID();
    values.bSendConnectPassword =
        !profile.GetFilePath().empty() && iIndex >= 0 && profile.GetRemoteConnectPwType(iIndex) != L"0";
    values.strConnectPassword = profile.GetConnectPassword();
    values.strNolvexId = UserSettingFile::GetInstance().GetNolvexID();
    values.strHddSerialNumber = pOS->GetHDDSerialNo();
    values.strInstalledVersion = pApp->GetModuleVersion();
    values.bSendMacAddress = ini.GetMACInvalid() != L"1";
    if (values.bSendMacAddress) {
        std::unique_ptr<std::vector<std::wstring>> pMacs(pOS->GetMACAddress());
        if (pMacs) values.vecMacAddresses = *pMacs;
    }
    values.strStandardPassword = strPassword;
    values.strTerminalAuthId = profile.GetAuthTerminalID();
    values.strTerminalIdentInfo = strIdentInfo;
    strBody = RegistFormBody::Build(values);
    return strBody.empty() ? static_cast<long>(MSG_ENCRYPTION_ERROR) : 0L;
}

std::vector<std::wstring> RegistTerminal::GetInstalledFolderInfo()
{
    std::unique_ptr<AplicationInfo> pApp(CreateAplicationInfo());
    if (!pApp) {
        LOGWRITE(LOG_ERROR, L"Failed to generate a AplicationInfo class");
        return std::vector<std::wstring>();
    }
    return InstalledFileList::Build(pApp->GetInstallPath(), &m_lCancel);
}

// ---- the HTTP connection ----

bool RegistTerminal::OpenHttp()
{
    CriticalSection::Lock lock(m_csHttp);
    if (m_pHttp) return true;
    m_pHttp = m_seams.pfnCreateHttp ? m_seams.pfnCreateHttp() : CreateHTTPConnection();
    if (!m_pHttp) LOGWRITE(LOG_ERROR, L"Failed to generate a HTTP_Connection class");
    return m_pHttp != nullptr;
}

// Only the connect thread deletes the connection; Cancel holds the lock while it uses it.
void RegistTerminal::CloseHttp()
{
    HTTP_Connection *pHttp = nullptr;
    {
        CriticalSection::Lock lock(m_csHttp);
        pHttp = m_pHttp;
        m_pHttp = nullptr;
    }
    delete pHttp;
}

long RegistTerminal::WaitTransfer()
{
    long lStatus = m_pHttp->GetStatus();
    while (!IsEndStatus(lStatus)) lStatus = m_pHttp->WaitStatusChange();
    return lStatus;
}

RegistTerminal::ExchangeEnd RegistTerminal::RunRequest(HttpRequestInfo &request, const std::wstring &strFolder,
                                                       long &lOpenFailure)
{
    if (IsCancelled()) return END_CANCELLED;
    if (!m_pHttp->URLOpen(&request, strFolder)) {
        LOGWRITE(LOG_ERROR, L"Thread Can't Create");
        lOpenFailure = request.lResult;
        return END_FAILED;
    }
    lOpenFailure = 0;
    long lStatus = WaitTransfer();
    if (lStatus == HTTP_Connection::STATUS_CANCELED) {
        LOGWRITE(LOG_INFO, L"Cancel Terminal Server Access : %ld", request.lResult);
        return END_CANCELLED;
    }
    return END_OK;
}

// ---- registration and failure notice ----

long RegistTerminal::PrepareExchange(int iIndex, const std::wstring &strOperation, const std::wstring &strPassword,
                                     std::wstring &strURL, std::wstring &strBody)
{
    if (!OpenHttp()) return MSG_STATUS_INTERNAL_ERROR;
    std::wstring strBase = GetServerURL();
    if (strBase.empty()) {
        LOGWRITE(LOG_ERROR, L"Can't Get Regist Terminal Server URL");
        return MSG_INI_INVALID;
    }
    strURL = strBase + strOperation;
    if (IsCancelled()) return MSG_CONNECTION_CANCELED;
    UserSettingFile &settings = UserSettingFile::GetInstance();
    if (!settings.HasBeenRead()) settings.ReadSetting();
    if (settings.GetNolvexID().empty()) {
        LOGWRITE(LOG_ERROR, L"The user setting file holds no NolvexID");
        return MSG_USER_SETTING_INVALID;
    }
    return GetRegistTerminalSendParam(iIndex, strOperation, strPassword, strBody);
}

long RegistTerminal::ExecRegistTerminal(int iIndex, const std::wstring &strPassword, long lUpdateFlags, bool bRetry,
                                        long iAccessURL)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] index %d, password {%s}, flags 0x%lx, retry %d, access %ld", iIndex,
             strPassword.c_str(), lUpdateFlags, (int)bRetry, iAccessURL);
    ResetState();
    if (iAccessURL == ACCESS_URL_EXTERNAL) m_isInternalAddress = false;
    if (iAccessURL == ACCESS_URL_INTERNAL) m_isInternalAddress = true;
    if (bRetry) {
        if (!m_isInternalAddress) {
            LOGWRITE(LOG_INFO, L"Called Retry Connect, but Do Nothing.");
            return 0;
        }
        LOGWRITE(LOG_INFO, L"Retry Connect Start.");
    }
    bool bProfileExisted = !TerminalProfile::GetInstance().GetFilePath().empty();
    SetErrorInfo(0, MSG_PROGRESS_SENDING_INFO, STATUS_INFO, L"", true);
    std::wstring strURL, strBody;
    long lResult = PrepareExchange(iIndex, RegistErrorCodeTable::OP_REGIST, strPassword, strURL, strBody);
    if (lResult != 0) {
        FinishExchange(lResult, STATUS_COMPUTE, L"");
        return lResult;
    }
    HttpRequestInfo request;
    request.strURL = strURL;
    request.strMethod = kMethodPost;
    request.strData = strBody;
    request.bProxyFlag = kProxyDefault;
    long lOpenFailure = 0;
    std::wstring strResultText;   // the server's code in brackets, when the result is one
    ExchangeEnd end = RunRequest(request, TerminalProfile::GetInstance().GetDirPath(), lOpenFailure);
    if (end == END_CANCELLED) {
        lResult = MSG_CONNECTION_CANCELED;
    } else if (end == END_FAILED) {
        lResult = MSG_STATUS_INTERNAL_ERROR;
    } else if (request.lResult != 0) {
        LOGWRITE(LOG_ERROR, L"Failed!! Terminal Server Access");
        lResult = RegistFailed(request, bProfileExisted, lUpdateFlags, strResultText);
        if (lResult == 0) {   // the caller connects the VPN and asks again
            ReleaseResponseBuffer(request);
            CloseHttp();
            return 0;
        }
    } else {
        LOGWRITE(LOG_INFO, L"Success!! Terminal Server Access, Download TerminalProfile.");
        lResult = RegistAnswered(request, bProfileExisted, lUpdateFlags, strResultText);
    }
    ReleaseResponseBuffer(request);
    long lStatus = STATUS_COMPUTE;
    {
        CriticalSection::Lock lock(m_csState);
        if (lResult == 0 || m_isProfileLoad) lStatus = STATUS_INFO;
    }
    FinishExchange(lResult, lStatus, strResultText);
    return lResult;
}

long RegistTerminal::RegistFailed(const HttpRequestInfo &request, bool bProfileExisted, long lUpdateFlags,
                                  std::wstring &strResultText)
{
    if (request.lHttpStatus == kHttpOk) {
        LOGWRITE(LOG_ERROR, L"Terminal Regist Server return Error!");
        return GetInternalErrorCode(AnswerCode(request), RegistErrorCodeTable::OP_REGIST, strResultText);
    }
    {
        CriticalSection::Lock lock(m_csState);
        m_isNetworkError = true;
    }
    if (!m_isInternalAddress && bProfileExisted) {
        if (lUpdateFlags & UPDATE_FLAG_NO_INTERNAL_RETRY) {
            LOGWRITE(LOG_ERROR, L"HTTP Connection Error! Connection was not able to be established.");
            return request.lResult;
        }
        if (TerminalProfile::GetInstance().GetAuthTerminalServerURL().empty()) {
            LOGWRITE(LOG_ERROR, L"HTTP Connection Error! Can't Get Internal URL from Profile");
            return MSG_PROFILE_CONTAINS_ERROR;
        }
        LOGWRITE(LOG_WARN, L"HTTP Connection Error! Retry After VPN Connection");
        CriticalSection::Lock lock(m_csState);
        m_lMsgCode = request.lResult;
        m_isInternalAddress = true;
        return 0;
    }
    LOGWRITE(LOG_ERROR, L"HTTP Connection Error! Connection was not able to be established.");
    return request.lResult;
}

long RegistTerminal::RegistAnswered(const HttpRequestInfo &request, bool bProfileExisted, long lUpdateFlags,
                                    std::wstring &strResultText)
{
    const std::wstring &strText = request.strResponseText;
    if (strText.find(kProfileMark) != std::wstring::npos) {
        long lResult = StoreProfile(strText, MSG_PROFILE_CREATE_FAILED);
        if (lResult != 0) return lResult;
        return UpdateStep(bProfileExisted, lUpdateFlags);
    }
    if (IsResultCodeFromServer(strText)) {
        LOGWRITE(LOG_ERROR, L"Terminal Regist Server return Error! %7s", strText.c_str());
        return GetInternalErrorCode(strText, RegistErrorCodeTable::OP_REGIST, strResultText);
    }
    LOGWRITE(LOG_ERROR, L"Successful connection, but it is unknown return value.");
    return MSG_REGIST_TERMINAL_FAILED;
}

long RegistTerminal::StoreProfile(const std::wstring &strText, long lWriteFailureId)
{
    ProfileStore::Seams seams;
    seams.pfnStepHook = m_seams.pfnStoreStepHook;
    ProfileStore store(TerminalProfile::GetInstance(), UserSettingFile::GetInstance(), seams);
    long lResult = store.Store(strText, lWriteFailureId);
    if (lResult == 0) {
        CriticalSection::Lock lock(m_csState);
        m_isProfileLoad = true;
    }
    return lResult;
}

long RegistTerminal::SuccessCode(const std::wstring &strOperation, bool bCreateProfile)
{
    TerminalProfile &profile = TerminalProfile::GetInstance();
    return GetInternalSuccessCode(profile.GetNoticeCategory(), profile.GetNoticeInfoCode(), strOperation, bCreateProfile);
}

long RegistTerminal::UpdateStep(bool bProfileExisted, long lUpdateFlags)
{
    long lFlag = lUpdateFlags & UPDATE_FLAG_MASK;
    LOGWRITE(LOG_INFO, L"Get Update Flag %ld", lFlag);
    if (lFlag == 0) {
        long lResult = SuccessCode(RegistErrorCodeTable::OP_REGIST, !bProfileExisted);
        LOGWRITE(LOG_INFO, L"Exec Regist Terminal : %ld", lResult);
        return lResult;
    }
    long lUpdate = ExecUpdate(bProfileExisted);
    if (lUpdate == 0) {
        long lResult = SuccessCode(RegistErrorCodeTable::OP_REGIST, !bProfileExisted);
        LOGWRITE(LOG_INFO, L"Success Update : %ld", lResult);
        return lResult;
    }
    if (lUpdate == MSG_CONNECTION_CANCELED) {
        LOGWRITE(LOG_INFO, L"Cancel Update : %ld", lUpdate);
        return MSG_HTTP_PROFILE_UPDATED_ON_CANCEL;
    }
    if (lUpdate == MSG_STATUS_NO_UPDATE_MODULE || lUpdate == MSG_PROGRESS_NO_UPDATE_MODULE) {
        LOGWRITE(LOG_INFO, L"Update Module is Nothing : %ld", lUpdate);
        return SuccessCode(RegistErrorCodeTable::OP_REGIST, !bProfileExisted);
    }
    LOGWRITE(LOG_ERROR, L"ExecUpdate return Error : %ld", lUpdate);
    return lUpdate;
}

long RegistTerminal::ExecErrorNotify(int iIndex, const std::wstring &strPassword, ErrInfo *pErrInfo)
{
    LOG_SCOPE();
    ErrInfo local;
    ErrInfo *pErr = pErrInfo ? pErrInfo : &local;
    pErr->Clear();
    ResetState();
    SetErrorInfo(0, MSG_PROGRESS_SENDING_INFO, STATUS_INFO, L"", true);
    std::wstring strURL, strBody;
    long lResult = PrepareExchange(iIndex, RegistErrorCodeTable::OP_NOTIFY, strPassword, strURL, strBody);
    if (lResult == 0) {
        HttpRequestInfo request;
        request.strURL = strURL;
        request.strMethod = kMethodPost;
        request.strData = strBody;
        request.bProxyFlag = kProxyDefault;
        long lOpenFailure = 0;
        ExchangeEnd end = RunRequest(request, TerminalProfile::GetInstance().GetDirPath(), lOpenFailure);
        if (end == END_CANCELLED) lResult = MSG_CONNECTION_CANCELED;
        else if (end == END_FAILED) lResult = MSG_STATUS_INTERNAL_ERROR;
        else NotifyAnswered(request, pErr);
        ReleaseResponseBuffer(request);
    }
    if (lResult == MSG_CONNECTION_CANCELED) SetErrorInfo(MSG_CONNECTION_CANCELED, 0, STATUS_COMPUTE, L"", false);
    else if (lResult != 0) pErr->ErrCode = lResult;
    LOGWRITE(LOG_INFO,
             L"[Output Information] ErrInfo->ErrCode %ld, ErrInfo->Publicher %ld, ErrInfo->ErrMsg %s, ErrInfo->ReloadProfile %d",
             pErr->ErrCode, pErr->Publicher, pErr->ErrMsg.c_str(), (int)pErr->ReloadProfile);
    WaitCancelEnd();
    CloseHttp();
    return lResult;
}

void RegistTerminal::NotifyAnswered(const HttpRequestInfo &request, ErrInfo *pErr)
{
    const std::wstring &strText = request.strResponseText;
    if (request.lResult != 0 && request.lHttpStatus != kHttpOk) {
        LOGWRITE(LOG_ERROR, L"Failed!! Terminal Server Access");
        pErr->ErrCode = MSG_STATUS_AUTH_FAILED;
        pErr->Publicher = 0;
        return;
    }
    if (request.lResult == 0 && strText.find(kProfileMark) != std::wstring::npos) {
        long lResult = StoreProfile(strText, MSG_FILE_IO_ERROR);
        if (lResult != 0) {
            pErr->ErrCode = lResult;
            return;
        }
        pErr->ErrCode = SuccessCode(RegistErrorCodeTable::OP_NOTIFY, true);
        pErr->ReloadProfile = true;
        return;
    }
    pErr->Publicher = 1;
    if (IsResultCodeFromServer(strText)) {
        pErr->ErrCode = GetInternalErrorCode(strText, RegistErrorCodeTable::OP_NOTIFY, pErr->ErrMsg);
        pErr->DetailCode = 0;
        return;
    }
    LOGWRITE(LOG_ERROR, L"Successful connection, but it is unknown return value.");
    pErr->ErrCode = MSG_AUTH_FAIL_REASON_UNKNOWN;
}

void RegistTerminal::FinishExchange(long lResult, long lDispStatus, const std::wstring &strText)
{
    if (lResult != 0) SetErrorInfo(lResult, 0, lDispStatus, strText, false);
    WaitCancelEnd();
    CloseHttp();
}

void RegistTerminal::WaitCancelEnd()
{
    if (!m_lCancelUsed || !m_hCancelEvent) return;
    if (WaitForSingleObject(m_hCancelEvent.Get(), CANCEL_EVENT_WAIT_MS) != WAIT_OBJECT_0)
        LOGWRITE(LOG_WARN, L"The cancel did not finish within %lu ms", CANCEL_EVENT_WAIT_MS);
}

// ---- cancel ----

void RegistTerminal::Cancel()
{
    LOG_SCOPE();
    if (m_hCancelEvent && !ResetEvent(m_hCancelEvent.Get())) LOG_API_ERROR(L"ResetEvent", GetLastError());
    InterlockedExchange(&m_lCancelUsed, 1);
    SetErrorInfo(0, MSG_PROGRESS_CANCELING_CONNECT, STATUS_CANCELLING, L"", true);
    InterlockedExchange(&m_lCancel, 1);
    {
        CriticalSection::Lock lock(m_csHttp);
        if (m_pHttp) {
            m_pHttp->Cancel();
            LOGWRITE(LOG_INFO, L"wait for http connect cancel...");
            long lStatus = m_pHttp->GetStatus();
            while (!IsEndStatus(lStatus)) lStatus = m_pHttp->WaitStatusChange();
        } else {
            LOGWRITE(LOG_INFO, L"finish m_httpcon");
        }
    }
    LOGWRITE(LOG_INFO, L"cancel request finish!");
    SetErrorInfo(0, MSG_CONNECTION_CANCELED, STATUS_INFO, L"", true);
    if (m_hCancelEvent && !SetEvent(m_hCancelEvent.Get())) LOG_API_ERROR(L"SetEvent", GetLastError());
}

// ---- module update ----

long RegistTerminal::AskUpdate()
{
    UpdateQuestion question(m_hClientWnd, m_hCancelEvent.Get(), m_uQuestionTimeoutMs);
    UpdateQuestion::Answer answer = question.Ask();
    if (answer == UpdateQuestion::YES) return 0;
    if (IsCancelled()) return MSG_CONNECTION_CANCELED;   // a cancel, not the user's answer
    LOGWRITE(LOG_INFO, L"The update is not carried out: %s", answer == UpdateQuestion::NO ? L"declined" : L"no answer");
    CriticalSection::Lock lock(m_csState);
    m_isUpdateCancel = true;
    return MSG_CONNECTION_CANCELED;
}

std::wstring RegistTerminal::UpdateBody()
{
    std::wstring strBody;
    for (const std::wstring &strEntry : GetInstalledFolderInfo()) {
        if (strEntry.find(L"changelist.xml") != std::wstring::npos || strEntry.find(L"Thumbs.db") != std::wstring::npos)
            continue;
        strBody += L"installedFileInfo=" + strEntry + L"&";
    }
    std::unique_ptr<AplicationInfo> pApp(CreateAplicationInfo());
    std::wstring strVersion = pApp ? pApp->GetModuleVersion() : std::wstring();
    strBody += L"installedVersion=" + GetURLEncode(strVersion) + L"&";
    strBody += L"updateModuleNumber=" + GetURLEncode(TerminalProfile::GetInstance().GetUpdateModuleNumber());
    return strBody;
}

void RegistTerminal::NotifyPercent(int iPercent)
{
    wchar_t szText[16] = {};
    _snwprintf(szText, sizeof(szText) / sizeof(szText[0]) - 1, L" %3d%%", iPercent);
    SetErrorInfo(0, MSG_PROGRESS_DOWNLOADING, STATUS_PROGRESS, szText, true);
}

// Polls the transfer: the receiving status does not change while the blocks arrive, so the
// percentage is read every PROGRESS_PAUSE_MS. A cancel ends the transfer through Cancel.
long RegistTerminal::WaitDownload(HttpRequestInfo &request)
{
    DownloadProgress progress;
    long lStatus = m_pHttp->GetStatus();
    while (!IsEndStatus(lStatus) && lStatus != HTTP_Connection::STATUS_ERROR) {
        if (lStatus == HTTP_Connection::STATUS_RECEIVING && IsCancelled()) {
            LOGWRITE(LOG_INFO, L"Cancel at Downloading!!");
            m_pHttp->Cancel();
            WaitTransfer();
            return HTTP_Connection::STATUS_CANCELED;
        }
        long long llReceived = 0, llTotal = 0;
        m_pHttp->GetProgress(llReceived, llTotal);
        int iPercent = DownloadProgress::Percent(llReceived, llTotal);
        if (lStatus == HTTP_Connection::STATUS_RECEIVING && progress.Changed(iPercent)) NotifyPercent(iPercent);
        Sleep(PROGRESS_PAUSE_MS);
        lStatus = m_pHttp->GetStatus();
    }
    if (lStatus == HTTP_Connection::STATUS_ERROR) lStatus = WaitTransfer();
    if (lStatus == HTTP_Connection::STATUS_IDLE && request.lResult == 0 && !request.strDownloadedFile.empty() &&
        progress.Changed(kFullPercent))
        NotifyPercent(kFullPercent);
    return lStatus;
}

long RegistTerminal::ExecUpdate(bool bProfileExisted)
{
    LOG_SCOPE();
    if (IsCancelled()) return MSG_CONNECTION_CANCELED;
    SetErrorInfo(0, bProfileExisted ? MSG_PROGRESS_UPDATE_QUERYING : MSG_PROGRESS_REG_QUERYING, STATUS_INFO, L"", true);
    TerminalProfile &profile = TerminalProfile::GetInstance();
    if (profile.GetUpdateExecFlag() != L"1") {
        LOGWRITE(LOG_INFO, L"There is No Update Module");
        return MSG_STATUS_NO_UPDATE_MODULE;
    }
    if (IsCancelled()) return MSG_CONNECTION_CANCELED;
    if (profile.GetExecConfirm() == L"1") {
        long lAnswer = AskUpdate();
        if (lAnswer != 0) return lAnswer;
    }
    if (!Monitoring().IsServiceRunning()) {
        LOGWRITE(LOG_ERROR, L"The monitor service does not run: no update");
        return MSG_UPDATE_SERVICE_STOPPED;
    }
    if (!OpenHttp()) return MSG_AUTH_SERVER_MEMORY;
    std::wstring strBase = GetServerURL();
    if (strBase.empty()) return MSG_INI_INVALID;
    if (IsCancelled()) return MSG_CONNECTION_CANCELED;
    HttpRequestInfo request;
    request.strURL = strBase + RegistErrorCodeTable::OP_UPDATE;
    request.strMethod = kMethodPost;
    request.strData = UpdateBody();
    request.bProxyFlag = kProxyDefault;
    if (IsCancelled()) return MSG_CONNECTION_CANCELED;
    std::wstring strDownloadFolder = UpdateArchive::DownloadFolder(profile.GetDirPath());
    if (strDownloadFolder.empty()) return MSG_FILE_IO_ERROR;
    if (!m_pHttp->URLOpen(&request, strDownloadFolder)) {
        LOGWRITE(LOG_ERROR, L"Thread Can't Create");
        return MSG_AUTH_SERVER_MEMORY;
    }
    long lStatus = WaitDownload(request);
    long lResult = MSG_CONNECTION_CANCELED;
    if (lStatus != HTTP_Connection::STATUS_CANCELED) lResult = UpdateAnswered(request);
    ReleaseResponseBuffer(request);
    CloseHttp();
    return lResult;
}

long RegistTerminal::UpdateAnswered(const HttpRequestInfo &request)
{
    if (request.lResult != 0) {
        LOGWRITE(LOG_ERROR, L"Failed!! Terminal Server Access");
        if (request.lHttpStatus != kHttpOk) return request.lResult;
        LOGWRITE(LOG_ERROR, L"Terminal Regist Server return Error!");
        std::wstring strText;
        return GetInternalErrorCode(AnswerCode(request), RegistErrorCodeTable::OP_UPDATE, strText);
    }
    if (request.strResponseText == kNoUpdateAnswer) {
        LOGWRITE(LOG_INFO, L"Success Access Server, But There is No Update Module");
        return MSG_PROGRESS_NO_UPDATE_MODULE;
    }
    if (!request.strDownloadedFile.empty()) return UnpackAndHandOver(request.strDownloadedFile);
    LOGWRITE(LOG_ERROR, L"Terminal Regist Server return Error!");
    std::wstring strText;
    return GetInternalErrorCode(AnswerCode(request), RegistErrorCodeTable::OP_UPDATE, strText);
}

long RegistTerminal::UnpackAndHandOver(const std::wstring &strDownloadedFile)
{
    SetErrorInfo(0, MSG_PROGRESS_UNCOMPRESSING, STATUS_PROGRESS, L"", true);
    TerminalProfile &profile = TerminalProfile::GetInstance();
    std::wstring strFolder;
    long lResult = UpdateArchive::Unpack(strDownloadedFile, profile.GetDirPath(),
                                         ArchivePassword(profile.GetUpdateModuleNumber()), strFolder);
    if (lResult != 0) return lResult;
    if (!strFolder.empty() && strFolder.back() == L'\\') strFolder.pop_back();
    long lSent = Monitoring().SetUpdateNotification(strFolder);
    if (lSent != 0) {
        LOGWRITE(LOG_ERROR, L"The monitor service did not receive the update (%ld)", lSent);
        FileIO().RemoveFolder(strFolder);
        return MSG_UPDATE_SERVICE_STOPPED;
    }
    CriticalSection::Lock lock(m_csState);
    m_isUpdateModule = true;
    return 0;
}
