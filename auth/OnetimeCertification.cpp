#include "OnetimeCertification.h"
#include "Log.h"
#include "MessageIds.h"

namespace {
// Password type with which the one-time password goes to the gateway directly.
const wchar_t kOnetimeDirect[] = L"3";
}   // namespace

OnetimeCertification::OnetimeCertification(const std::wstring &strNolvexID, long lServiceIndex,
                                           const CertificationSeams &seams)
    : Certification(strNolvexID, std::wstring(), lServiceIndex, seams)
{
}

long OnetimeCertification::GetNextPanel(ErrInfo *pErrInfo)
{
    LOG_SCOPE();
    if (pErrInfo) pErrInfo->Clear();
    return PANEL_PASSWORD;
}

long OnetimeCertification::OnetimePasswordCert(const std::wstring &strPassword, bool bAlreadyDone, bool)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] password {%s} already done %d", strPassword.c_str(), bAlreadyDone ? 1 : 0);
    if (bAlreadyDone) {
        LOGWRITE(LOG_INFO, L"External authentication is not performed for the second time.");
        return 0;
    }
    if (strPassword.empty()) {
        LOGWRITE(LOG_ERROR, L"Can't Get Password");
        return MSG_PROMPT_PASSWORD;
    }
    if (IsTerminalCertEffective()) {
        LOGWRITE(LOG_ERROR, L"Can't Set ID & PW, cause Terminal Certification is setting");
        return MSG_AUTH_PROFILE_INVALID;
    }
    if (PasswordTypeIs(kOnetimeDirect)) {
        LOGWRITE(LOG_ERROR, L"Can't Set ID & PW, cause ConnectPasswordType is onetime direct");
        return MSG_AUTH_PROFILE_INVALID;
    }
    m_strPassword = strPassword;
    return 0;
}

long OnetimeCertification::GetCertInfo(CertInfo &certInfo, ErrInfo *pErrInfo)
{
    LOG_SCOPE();
    ErrInfo local;
    ErrInfo &err = RecordOf(pErrInfo, local);
    err.Clear();
    if (IsTerminalCertEffective()) {
        LOGWRITE(LOG_ERROR, L"A one-time password cannot be combined with device authentication");
        certInfo.ID.clear();
        certInfo.Password.clear();
        err.ErrCode = MSG_AUTH_PROFILE_INVALID;
    } else {
        certInfo.ID = m_strNolvexID;
        certInfo.Password = m_strPassword;
    }
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] ID {%s} Password {%s} return %ld", certInfo.ID.c_str(),
             certInfo.Password.c_str(), err.ErrCode);
    return err.ErrCode;
}
