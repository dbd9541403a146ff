#pragma once
// "certify INDEX ID PASSWORD [options]": one connect attempt's certification as the connection
// would run it (GetCertification, GetNextPanel, OnetimePasswordCert, GetCertInfo and, on request,
// GetErrInfo), every step printed; the password never in plain text (docs/testclient.md).
#include "NotifyHook.h"
#include <windows.h>
#include <string>
#include <vector>

class Certification;
struct ErrInfo;

class CertifyCommand : public NotifyHook {
public:
    explicit CertifyCommand(const std::vector<std::wstring> &vecArgs);
    // 0 when the certification ran (its results are printed), 2 for bad input.
    int Run();
    void NotifyError(long lMsgCode, long lTitleCode, long lDispStatus, const std::wstring &strAddMsg) override;

    // What a password becomes on the output: its length and the SHA-256 of its UTF-8 bytes.
    static std::wstring MaskedPassword(const std::wstring &strPassword);

private:
    bool ParseOptions();
    int Certify(Certification &cert);
    static void PrintCertInfo(Certification &cert, ErrInfo &err);
    static void PrintErrInfo(const std::wstring &strPrefix, const ErrInfo &err);
    void StartCancel(Certification &cert);
    void EndCancel();
    static DWORD WINAPI CancelThread(LPVOID pParam);

    std::vector<std::wstring> m_vecArgs;
    long m_lIndex = 0;
    std::wstring m_strID;
    std::wstring m_strPassword;
    bool m_bOnetime = false;
    std::wstring m_strOnetime;
    bool m_bProfilePassword = false;
    bool m_bReport = false;
    bool m_bConnectError = false;
    bool m_bBiosSerial = false;
    std::wstring m_strBiosSerial;
    DWORD m_dwCancelAfterMs = INFINITE;
    Certification *m_pCancelTarget = nullptr;
    HANDLE m_hCancelThread = nullptr;
};
