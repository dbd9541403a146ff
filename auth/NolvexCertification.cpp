#include "NolvexCertification.h"
#include "Log.h"
#include "MessageIds.h"

NolvexCertification::NolvexCertification(const std::wstring &strNolvexID, const std::wstring &strPassword,
                                         long lServiceIndex, const CertificationSeams &seams)
    : NolvexCertification(strNolvexID, strPassword, lServiceIndex, seams, MSG_PROMPT_PASSWORD)
{
}

NolvexCertification::NolvexCertification(const std::wstring &strNolvexID, const std::wstring &strPassword,
                                         long lServiceIndex, const CertificationSeams &seams, long lEmptyPasswordCode)
    : Certification(strNolvexID, strPassword, lServiceIndex, seams), m_lEmptyPasswordCode(lEmptyPasswordCode)
{
}

long NolvexCertification::GetNextPanel(ErrInfo *pErrInfo)
{
    LOG_SCOPE();
    if (pErrInfo) pErrInfo->Clear();
    return PANEL_NONE;
}

long NolvexCertification::GetCertInfo(CertInfo &certInfo, ErrInfo *pErrInfo)
{
    LOG_SCOPE();
    ErrInfo local;
    ErrInfo &err = RecordOf(pErrInfo, local);
    err.Clear();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] NolvexID {%s} index %ld", m_strNolvexID.c_str(), m_lServiceIndex);
    if (m_strNolvexID.empty()) {
        LOGWRITE(LOG_ERROR, L"NolvexID is empty");
        err.ErrCode = MSG_PROMPT_NOLVEX_ID;
    } else if (m_strPassword.empty()) {
        LOGWRITE(LOG_ERROR, L"Password is empty");
        err.ErrCode = m_lEmptyPasswordCode;
    } else if (IsTerminalCertEffective()) {
        FillTerminalCertInfo(certInfo, m_strPassword, err);
    } else {
        certInfo.ID = m_strNolvexID;
        certInfo.Password = m_strPassword;
    }
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] GetCertInfo return is %ld", err.ErrCode);
    return err.ErrCode;
}
