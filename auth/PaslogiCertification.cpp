#include "PaslogiCertification.h"
#include "HTTP_Connection.h"
#include "HttpLogText.h"
#include "IniFile.h"
#include "Log.h"
#include "MessageIds.h"
#include "OSInformation.h"
#include "PaslogiAuthFile.h"
#include "RandTableFile.h"
#include "RegistFormBody.h"
#include "RegistTerminal.h"
#include "ReplacingFile.h"
#include "TerminalProfile.h"
#include <memory>

const wchar_t PaslogiCertification::ANSWER_FILE_NAME[] = L"Temp.xml";
const wchar_t PaslogiCertification::ANSWER_PART_SUFFIX[] = L".part";

namespace {
const wchar_t kMethodGet[] = L"Get";
const BYTE kProxyDefault = 1;
const wchar_t kPatternCheckType[] = L"2";
const wchar_t kPlainHttpAllowed[] = L"1";

struct ServerCode {
    long lServerCode;
    long lMessageId;
};
// The server's codes (2103xxxx: table request, 2104xxxx: verification) and their message ids.
const ServerCode kServerCodes[] = {
    {21030111, MSG_AUTH_SERVER_ERROR},        {21030112, MSG_AUTH_ACCOUNT_LOCKED},
    {21030113, MSG_PATTERN_AUTH_UNAVAILABLE}, {21030115, MSG_AUTH_SERVER_ERROR},
    {21030116, MSG_RAND_TABLE_EXPIRED},       {21030117, MSG_AUTH_SERVER_ERROR},
    {21030118, MSG_AUTH_SERVER_ERROR},        {21030119, MSG_PATTERN_AUTH_UNAVAILABLE},
    {21030199, MSG_AUTH_SERVER_ERROR},        {21040111, MSG_AUTH_ID_OR_PASSWORD},
    {21040112, MSG_PATTERN_AUTH_UNAVAILABLE}, {21040113, MSG_AUTH_SERVER_ERROR},
    {21040114, MSG_RAND_TABLE_EXPIRED},       {21040118, MSG_AUTH_SERVER_ERROR},
    {21040119, MSG_AUTH_SERVER_ERROR},
};

bool IsEndStatus(long lStatus)
{
    return lStatus == HTTP_Connection::STATUS_IDLE || lStatus == HTTP_Connection::STATUS_CANCELED;
}

std::wstring Encoded(const std::wstring &strText)
{
    bool bOk = true;
    return RegistFormBody::Encode(strText, bOk);
}
}   // namespace

PaslogiCertification::PaslogiCertification(const std::wstring &strNolvexID, long lServiceIndex,
                                           const CertificationSeams &seams)
    : Certification(strNolvexID, std::wstring(), lServiceIndex, seams), m_UseNolvexPW(false), m_pHttp(nullptr),
      m_lLastResult(0), m_lLastSubCode(0)
{
}

PaslogiCertification::~PaslogiCertification() {}

// ---- addresses ----

bool PaslogiCertification::AllowPlainHTTP() const
{
    if (m_seams.pfnAllowPlainHTTP) return m_seams.pfnAllowPlainHTTP();
    IniFile &ini = IniFile::GetInstance();
    ini.ReadOnce();
    return ini.GetAllowPlainHTTP() == kPlainHttpAllowed;
}

std::wstring PaslogiCertification::BaseURL(const std::wstring &strBase, const wchar_t *pszName)
{
    if (strBase.empty()) return strBase;
    if (!RegistTerminal::IsAllowedScheme(strBase, AllowPlainHTTP())) {
        LOGWRITE(LOG_ERROR, L"The profile's %s [%s] is refused: only https is used unless AllowPlainHTTP is \"1\" "
                            L"(the pattern would travel in clear text)", pszName, strBase.c_str());
        return std::wstring();
    }
    return strBase.back() == L'/' ? strBase : strBase + L'/';
}

std::wstring PaslogiCertification::GetRandURL()
{
    std::wstring strBase = BaseURL(Profile().GetPatternAuthRandURL(), L"patternAuthRandURL");
    if (strBase.empty()) return strBase;
    return strBase + Encoded(m_strNolvexID);
}

std::wstring PaslogiCertification::GetCertURL(const std::wstring &strPassword)
{
    std::wstring strBase = BaseURL(Profile().GetPatternAuthURL(), L"patternAuthURL");
    if (strBase.empty()) return strBase;
    return strBase + L"uid=" + Encoded(m_strNolvexID) + L"&pass=" + Encoded(strPassword);
}

std::wstring PaslogiCertification::LoggedURL(const std::wstring &strURL)
{
    size_t nSlash = strURL.rfind(L'/');
    if (nSlash == std::wstring::npos) return HttpLogText::Braced(strURL);
    return strURL.substr(0, nSlash + 1) + HttpLogText::Braced(strURL.substr(nSlash + 1));
}

long PaslogiCertification::GetInternalErrorCode(long lServerCode, std::wstring &strText)
{
    long lMessageId = lServerCode == 0 ? MSG_RAND_TABLE_RETRIEVAL_FAILED : MSG_AUTH_SERVER_ERROR;
    for (const ServerCode &entry : kServerCodes) {
        if (entry.lServerCode == lServerCode) {
            lMessageId = entry.lMessageId;
            break;
        }
    }
    strText = L"[" + std::to_wstring(lServerCode) + L"]";
    return lMessageId;
}

// ---- the exchange ----

std::wstring PaslogiCertification::DownloadFolder() const
{
    std::wstring strFolder = m_seams.strDownloadFolder;
    if (strFolder.empty()) {
        std::function<OSInformation *()> pfnOS = m_seams.pfnCreateOSInformation;
        std::unique_ptr<OSInformation> pOS(pfnOS ? pfnOS() : CreateOSInformation());
        if (!pOS) {
            LOGWRITE(LOG_ERROR, L"Failed to generate a OSInformation class");
            return strFolder;
        }
        strFolder = pOS->GetAppDataFolderPath(nullptr);
    }
    if (!strFolder.empty() && strFolder.back() != L'\\') strFolder += L'\\';
    return strFolder;
}

HTTP_Connection *PaslogiCertification::CreateHttp() const
{
    return m_seams.pfnCreateHttp ? m_seams.pfnCreateHttp() : CreateHTTPConnection();
}

void PaslogiCertification::RemoveStaleAnswer(const std::wstring &strPath)
{
    if (GetFileAttributesW(strPath.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    LOGWRITE(LOG_WARN, L"An answer file left by an earlier run is deleted unread [%s]", strPath.c_str());
    DeleteAnswer(strPath);
}

void PaslogiCertification::DeleteAnswer(const std::wstring &strPath)
{
    if (strPath.empty()) return;
    if (!DeleteFileW(strPath.c_str())) {
        DWORD dwError = GetLastError();
        if (dwError != ERROR_FILE_NOT_FOUND) LOG_API_ERROR(L"DeleteFileW", dwError);
    }
}

long PaslogiCertification::StartRequest(HTTP_Connection *pHttp, HttpRequestInfo &request)
{
    CriticalSection::Lock lock(m_csHttp);
    if (IsCancelled()) {
        LOGWRITE(LOG_INFO, L"Cancel!! Paslogi Server Access");
        return MSG_LABEL_CANCEL;
    }
    if (!pHttp->URLOpen(&request, std::wstring())) {
        LOGWRITE(LOG_ERROR, L"Failed to start the pattern server access");
        return MSG_AUTH_SERVER_MEMORY;
    }
    m_pHttp = pHttp;
    return 0;
}

void PaslogiCertification::WithdrawHttp()
{
    // Waits for a cancel that is still polling the connection.
    CriticalSection::Lock lock(m_csHttp);
    m_pHttp = nullptr;
}

long PaslogiCertification::SaveAnswer(const HttpRequestInfo &request, const std::wstring &strPath)
{
    // The server's bytes as received, replacing the file in one step: a reader never sees a part.
    ReplacingFile file;
    const void *pData = request.hResponseBuffer ? LocalLock(request.hResponseBuffer) : nullptr;
    DWORD dwSize = pData ? static_cast<DWORD>(request.lResponseLength) : 0;
    bool bOk = file.Open(strPath, strPath + ANSWER_PART_SUFFIX) && (dwSize == 0 || file.Write(pData, dwSize)) &&
               file.Commit(ReplacingFile::KEEP_CACHED);
    if (pData) LocalUnlock(request.hResponseBuffer);
    if (!bOk) {
        LOGWRITE(LOG_ERROR, L"Error! Writing Failure Paslogi Return File.");
        return MSG_FILE_IO_ERROR;
    }
    LOGWRITE(LOG_INFO, L"Success!! Paslogi Server Access, Download Return File %s", strPath.c_str());
    return 0;
}

long PaslogiCertification::WaitAnswer(HTTP_Connection *pHttp, HttpRequestInfo &request, const std::wstring &strFolder,
                                      std::wstring &strOutPath)
{
    long lStatus = pHttp->GetStatus();
    while (!IsEndStatus(lStatus)) lStatus = pHttp->WaitStatusChange();
    if (lStatus == HTTP_Connection::STATUS_CANCELED || IsCancelled()) {
        LOGWRITE(LOG_INFO, L"Cancel!! Paslogi Server Access");
        return MSG_LABEL_CANCEL;
    }
    if (request.lResult != 0) {
        LOGWRITE(LOG_ERROR, L"Failed!! Paslogi Server Access HTTP Status %ld result %ld", request.lHttpStatus,
                 request.lResult);
        m_lLastSubCode = MSG_STATUS_AUTH_SERVER_LINK_FAILED;
        return request.lResult;
    }
    std::wstring strPath = strFolder + ANSWER_FILE_NAME;
    long lResult = SaveAnswer(request, strPath);
    if (lResult == 0) strOutPath = strPath;
    return lResult;
}

long PaslogiCertification::AccessPaslogi(const std::wstring &strURL, const std::wstring &strFolder,
                                         std::wstring &strOutPath)
{
    LOG_SCOPE();
    strOutPath.clear();
    m_lLastSubCode = 0;
    long lResult = MSG_STATUS_AUTH_FAILED;
    RemoveStaleAnswer(strFolder + ANSWER_FILE_NAME);
    std::unique_ptr<HTTP_Connection> pHttp(CreateHttp());
    if (!pHttp) {
        LOGWRITE(LOG_ERROR, L"Failed to generate a HTTP_Connection class");
        lResult = MSG_AUTH_SERVER_MEMORY;
    } else {
        HttpRequestInfo request;
        request.strURL = strURL;
        request.strMethod = kMethodGet;
        request.bProxyFlag = kProxyDefault;
        lResult = StartRequest(pHttp.get(), request);
        if (lResult == 0) {
            lResult = WaitAnswer(pHttp.get(), request, strFolder, strOutPath);
            WithdrawHttp();
        }
        ReleaseResponseBuffer(request);
    }
    InterlockedExchange(&m_lLastResult, lResult);
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] AccessPaslogi return is %ld sub code %ld", lResult, m_lLastSubCode);
    return lResult;
}

// ---- the certification's slots ----

long PaslogiCertification::TableAnswered(const std::wstring &strPath, ErrInfo &err)
{
    RandTableFile &table = RandTableFile::GetInstance();
    table.ReadSetting(strPath);
    DeleteAnswer(strPath);
    m_strRand = table.GetRandTable();
    long lCode = table.GetResultCode();
    if (lCode != RandTableFile::CODE_TABLE_OK || m_strRand.empty()) {
        LOGWRITE(LOG_ERROR, L"Failed To Get RandTableFile Code=%ld Comment=%s", lCode, table.GetComment().c_str());
        m_strRand.clear();
        err.ErrCode = GetInternalErrorCode(lCode, err.ErrMsg);
        m_strLastErrText = err.ErrMsg;
        InterlockedExchange(&m_lLastResult, err.ErrCode);
        return PANEL_FAILURE;
    }
    LOGWRITE(LOG_INFO, L"Succeed To Get RandTableFile");
    LOGWRITE(LOG_DEBUG, L"[Rand Table]%s", m_strRand.c_str());
    NotifyProgress(MSG_PROGRESS_RNT_RETRIEVED);
    InterlockedExchange(&m_lLastResult, 0);
    return PANEL_PATTERN;
}

long PaslogiCertification::GetNextPanel(ErrInfo *pErrInfo)
{
    LOG_SCOPE();
    ErrInfo local;
    ErrInfo &err = RecordOf(pErrInfo, local);
    err.Clear();
    m_strLastErrText.clear();
    m_strRand.clear();
    std::wstring strBase = Profile().GetPatternAuthRandURL();
    std::wstring strURL = GetRandURL();
    if (strURL.empty()) {
        if (!strBase.empty()) {
            // An address that is refused is a fault of the profile, not the absence of a table.
            err.ErrCode = MSG_PROFILE_CONTAINS_ERROR;
            InterlockedExchange(&m_lLastResult, err.ErrCode);
            return PANEL_FAILURE;
        }
        LOGWRITE(LOG_INFO, L"URL to get a random number is empty.");
        return PANEL_PASSWORD;
    }
    LOGWRITE(LOG_DEBUG, L"[InputInfo] table URL %s", LoggedURL(strURL).c_str());
    NotifyProgress(MSG_PROGRESS_RNT_RETRIEVING);
    std::wstring strPath;
    AccessPaslogi(strURL, DownloadFolder(), strPath);
    if (strPath.empty()) {
        LOGWRITE(LOG_ERROR, L"Failed To Get RandTableFile Can't HTTP Connect");
        err.ErrCode = m_lLastResult;
        err.ErrMsg = m_strLastErrText;
        return PANEL_PASSWORD;
    }
    return TableAnswered(strPath, err);
}

long PaslogiCertification::VerifyAnswered(const std::wstring &strPath)
{
    PaslogiAuthFile &answer = PaslogiAuthFile::GetInstance();
    answer.ReadSetting(strPath);
    DeleteAnswer(strPath);
    long lCode = answer.GetResultCode();
    if (lCode == PaslogiAuthFile::CODE_VERIFIED) {
        LOGWRITE(LOG_INFO, L"The pattern was verified");
        m_strPassword = Profile().GetConnectPassword();
        m_UseNolvexPW = true;
        return 0;
    }
    long lResult = GetInternalErrorCode(lCode, m_strLastErrText);
    LOGWRITE(LOG_ERROR, L"Paslogi Server returns %ld %s", lCode, answer.GetComment().c_str());
    return lResult;
}

long PaslogiCertification::OnetimePasswordCert(const std::wstring &strPassword, bool bAlreadyDone,
                                               bool bUseProfilePassword)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] password {%s} already done %d profile password %d", strPassword.c_str(),
             bAlreadyDone ? 1 : 0, bUseProfilePassword ? 1 : 0);
    if (bAlreadyDone) {
        LOGWRITE(LOG_INFO, L"External authentication is not performed for the second time.");
        return 0;
    }
    if (strPassword.empty() && !bUseProfilePassword) {
        LOGWRITE(LOG_ERROR, L"Can't Get Password");
        return MSG_PROMPT_PASSWORD;
    }
    if (!IsTerminalCertEffective() && !PasswordTypeIs(kPatternCheckType)) {
        m_strPassword = strPassword;
        return 0;
    }
    if (bUseProfilePassword) {
        m_strPassword = Profile().GetConnectPassword();
        m_UseNolvexPW = true;
        return 0;
    }
    std::wstring strURL = GetCertURL(strPassword);
    if (strURL.empty()) {
        LOGWRITE(LOG_ERROR, L"Can't Get Paslogi Certification URL");
        return MSG_PROFILE_CONTAINS_ERROR;
    }
    LOGWRITE(LOG_DEBUG, L"[InputInfo] verification URL %s", LoggedURL(strURL).c_str());
    NotifyProgress(MSG_PROGRESS_AUTH_QUERYING);
    std::wstring strPath;
    long lResult = AccessPaslogi(strURL, DownloadFolder(), strPath);
    if (lResult == 0) lResult = VerifyAnswered(strPath);
    InterlockedExchange(&m_lLastResult, lResult);
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] OnetimePasswordCert return is %ld", lResult);
    return lResult;
}

long PaslogiCertification::GetCertInfo(CertInfo &certInfo, ErrInfo *pErrInfo)
{
    LOG_SCOPE();
    ErrInfo local;
    ErrInfo &err = RecordOf(pErrInfo, local);
    err.Clear();
    m_strLastErrText.clear();
    if (IsTerminalCertEffective()) {
        FillTerminalCertInfo(certInfo, m_strPassword, err);
    } else {
        certInfo.ID = m_strNolvexID;
        certInfo.Password = PasswordTypeIs(kPatternCheckType) ? Profile().GetConnectPassword() : m_strPassword;
    }
    certInfo.Rand = m_strRand;
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] ID {%s} Password {%s} return %ld", certInfo.ID.c_str(),
             certInfo.Password.c_str(), err.ErrCode);
    return err.ErrCode;
}

long PaslogiCertification::GetErrInfo(ErrInfo *pErrInfo, bool bConnectError)
{
    LOG_SCOPE();
    ErrInfo local;
    ErrInfo &err = RecordOf(pErrInfo, local);
    if (!bConnectError && (m_strPassword.empty() || !m_UseNolvexPW)) {
        LOGWRITE(LOG_INFO, L"m_UseNolvexPW=%d", m_UseNolvexPW ? 1 : 0);
        err.Clear();
        err.ErrCode = m_lLastResult != 0 ? m_lLastResult : static_cast<long>(MSG_STATUS_AUTH_FAILED);
        err.DetailCode = m_lLastSubCode;
        err.ErrMsg = m_strLastErrText;
        return 0;
    }
    NotifyRegistServer(m_strPassword, err);
    return 0;
}

void PaslogiCertification::CancelCertification()
{
    LOG_SCOPE();
    Certification::CancelCertification();
    {
        CriticalSection::Lock lock(m_csHttp);
        if (m_pHttp) {
            m_pHttp->Cancel();
            LOGWRITE(LOG_INFO, L"wait for the pattern server access to end...");
            long lStatus = m_pHttp->GetStatus();
            while (!IsEndStatus(lStatus)) lStatus = m_pHttp->WaitStatusChange();
        }
    }
    InterlockedExchange(&m_lLastResult, MSG_LABEL_CANCEL);
}
