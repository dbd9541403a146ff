#include "Certification.h"
#include "Log.h"
#include "MessageIds.h"
#include "NotifyHook.h"
#include "OSInformation.h"
#include "RegistTerminal.h"
#include "TerminalCertification.h"
#include "TerminalProfile.h"
#include <new>

Certification::Certification(const std::wstring &strNolvexID, const std::wstring &strPassword, long lServiceIndex,
                             const CertificationSeams &seams)
    : m_strNolvexID(strNolvexID), m_strPassword(strPassword), m_lServiceIndex(lServiceIndex), m_seams(seams),
      m_lCancel(0), m_pRegist(nullptr)
{
}

Certification::~Certification()
{
    // GetErrInfo deletes its run before it returns; the connection deletes the certification only
    // after its connect thread has ended.
    CriticalSection::Lock lock(m_csRegist);
    if (m_pRegist) LOGWRITE(LOG_ERROR, L"A registration run is still published as the certification ends");
}

TerminalProfile &Certification::Profile() const
{
    return m_seams.pProfile ? *m_seams.pProfile : TerminalProfile::GetInstance();
}

bool Certification::PasswordTypeIs(const wchar_t *pszType) const
{
    if (m_lServiceIndex < 0 || m_lServiceIndex >= Profile().GetConnectionCount()) return false;
    return Profile().GetRemoteConnectPwType(static_cast<int>(m_lServiceIndex)) == pszType;
}

std::unique_ptr<TerminalCertification> Certification::MakeTerminalCertification() const
{
    std::function<OSInformation *()> pfnOS = m_seams.pfnCreateOSInformation;
    if (!pfnOS) pfnOS = CreateOSInformation;
    return std::unique_ptr<TerminalCertification>(new TerminalCertification(m_lServiceIndex, Profile(), pfnOS));
}

bool Certification::IsTerminalCertEffective() const
{
    return MakeTerminalCertification()->isEffective();
}

void Certification::FillTerminalCertInfo(CertInfo &certInfo, const std::wstring &strPassword, ErrInfo &err) const
{
    std::unique_ptr<TerminalCertification> pTerminal = MakeTerminalCertification();
    ErrInfo terminalErr;
    certInfo.ID = pTerminal->GetTerminalID();
    certInfo.Password = pTerminal->GetTerminalPassword(strPassword, &terminalErr);
    if (terminalErr.ErrCode != 0) {
        err.ErrCode = terminalErr.ErrCode;
        err.DetailCode = terminalErr.DetailCode;
        err.ErrMsg = terminalErr.ErrMsg;
    } else if (certInfo.Password.empty()) {
        err.ErrCode = MSG_UNEXPECTED_ERROR;
    }
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] terminal certification ID [%s] Password {%s} ErrCode %ld", certInfo.ID.c_str(),
             certInfo.Password.c_str(), err.ErrCode);
}

ErrInfo &Certification::RecordOf(ErrInfo *pErrInfo, ErrInfo &local)
{
    return pErrInfo ? *pErrInfo : local;
}

void Certification::NotifyProgress(long lMsgCode) const
{
    if (m_seams.pNotifyHook) m_seams.pNotifyHook->NotifyError(lMsgCode, 0, NotifyHook::STATUS_PROGRESS, L"");
}

long Certification::GetErrInfo(ErrInfo *pErrInfo, bool bConnectError)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] connect error %d", bConnectError ? 1 : 0);
    ErrInfo local;
    NotifyRegistServer(m_strPassword, RecordOf(pErrInfo, local));
    return 0;
}

long Certification::OnetimePasswordCert(const std::wstring &, bool, bool)
{
    return 0;
}

RegistTerminal *Certification::CreateRegist() const
{
    if (m_seams.pfnCreateRegist) return m_seams.pfnCreateRegist();
    return new (std::nothrow) RegistTerminal();
}

bool Certification::PublishRegist(RegistTerminal *pRegist)
{
    CriticalSection::Lock lock(m_csRegist);
    if (IsCancelled()) return false;
    m_pRegist = pRegist;
    return true;
}

void Certification::WithdrawRegist()
{
    // Waits for a Cancel of the cancel thread that is still inside the object.
    CriticalSection::Lock lock(m_csRegist);
    m_pRegist = nullptr;
}

void Certification::NotifyRegistServer(const std::wstring &strPassword, ErrInfo &err)
{
    std::unique_ptr<RegistTerminal> pRegist(CreateRegist());
    if (!pRegist) {
        LOGWRITE(LOG_ERROR, L"Failed to generate a RegistTerminal class");
        err.ErrCode = MSG_UNEXPECTED_ERROR;
        return;
    }
    if (!PublishRegist(pRegist.get())) {
        LOGWRITE(LOG_INFO, L"The certification was cancelled: no failure notice is sent");
        err.Clear();
        err.ErrCode = MSG_CONNECTION_CANCELED;
        return;
    }
    long lResult = pRegist->ExecErrorNotify(static_cast<int>(m_lServiceIndex), strPassword, &err);
    if (lResult != 0) LOGWRITE(LOG_WARN, L"notifyConnectErr failure to Update Terminal Profile. [%ld]", lResult);
    WithdrawRegist();
}

void Certification::CancelCertification()
{
    LOG_SCOPE();
    InterlockedExchange(&m_lCancel, 1);
    // The run stays the connect thread's: it is cancelled here and deleted there, after this
    // Cancel has left it (WithdrawRegist waits for the lock).
    CriticalSection::Lock lock(m_csRegist);
    if (m_pRegist) m_pRegist->Cancel();
    else LOGWRITE(LOG_DEBUG, L"No registration run to cancel");
}
