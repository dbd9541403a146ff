#pragma once
// The credentials a connection service presents to its gateway, by the service's password type
// (docs/certification.md). One object per connect attempt, made by GetCertification. The connect
// thread calls every operation but CancelCertification, which the cancel thread may call at any
// time; the registration run that GetErrInfo starts is reached by both under m_csRegist.
#include "CertInfo.h"
#include "CertificationSeams.h"
#include "CriticalSection.h"
#include "ErrInfo.h"
#include <windows.h>
#include <memory>
#include <string>

class RegistTerminal;
class TerminalCertification;
class TerminalProfile;

class Certification {
public:
    // The input panel the client must show next.
    static constexpr long PANEL_NONE = 0;
    static constexpr long PANEL_PATTERN = 1;
    static constexpr long PANEL_PASSWORD = 2;
    static constexpr long PANEL_FAILURE = 255;

    virtual ~Certification();
    Certification(const Certification &) = delete;
    Certification &operator=(const Certification &) = delete;

    // Clears the record and gives the next panel (PANEL_*).
    virtual long GetNextPanel(ErrInfo *pErrInfo) = 0;
    // The credentials: 0, or the message id also put in the record's ErrCode.
    virtual long GetCertInfo(CertInfo &certInfo, ErrInfo *pErrInfo) = 0;
    // Reports a failed log-on (to the registration server) and fills the record. Always 0.
    virtual long GetErrInfo(ErrInfo *pErrInfo, bool bConnectError);
    // Takes the password typed at connect time: 0 or a message id. Here: nothing, 0.
    virtual long OnetimePasswordCert(const std::wstring &strPassword, bool bAlreadyDone, bool bUseProfilePassword);
    // Stops a registration run of GetErrInfo (from another thread); later runs do not start.
    virtual void CancelCertification();

protected:
    Certification(const std::wstring &strNolvexID, const std::wstring &strPassword, long lServiceIndex,
                  const CertificationSeams &seams);

    TerminalProfile &Profile() const;
    bool IsCancelled() const { return m_lCancel != 0; }
    // The service's remoteConnectPwType equals the text given.
    bool PasswordTypeIs(const wchar_t *pszType) const;
    std::unique_ptr<TerminalCertification> MakeTerminalCertification() const;
    bool IsTerminalCertEffective() const;
    // Device authentication's account and password into certInfo, failures into err.
    void FillTerminalCertInfo(CertInfo &certInfo, const std::wstring &strPassword, ErrInfo &err) const;
    // The failure notice to the registration server with this password; fills err.
    void NotifyRegistServer(const std::wstring &strPassword, ErrInfo &err);
    void NotifyProgress(long lMsgCode) const;
    // The record to fill: the caller's, or local when it gave none.
    static ErrInfo &RecordOf(ErrInfo *pErrInfo, ErrInfo &local);

    const std::wstring m_strNolvexID;
    std::wstring m_strPassword;
    const long m_lServiceIndex;
    const CertificationSeams m_seams;

private:
    RegistTerminal *CreateRegist() const;
    // Publishes the run for the cancel thread; false (nothing published) after a cancel.
    bool PublishRegist(RegistTerminal *pRegist);
    void WithdrawRegist();

    volatile LONG m_lCancel;
    CriticalSection m_csRegist;
    RegistTerminal *m_pRegist;      // owned by the thread in GetErrInfo; reached by the cancel under m_csRegist
};
