#pragma once
// Pattern authentication (certificate types 2 and 4): the random number table comes from the
// pattern authentication server, the user derives a pattern from it, and the server verifies the
// pattern before the connection uses the profile's connectPassword. docs/certification.md
// describes the exchange, its answers ("Temp.xml") and its codes.
//
// The connect thread runs every operation but CancelCertification; the cancel thread reaches the
// running server access only through m_pHttp under m_csHttp.
#include "Certification.h"
#include "CriticalSection.h"

class HTTP_Connection;
struct HttpRequestInfo;

class PaslogiCertification : public Certification {
public:
    // The server's answer file in the download folder.
    static const wchar_t ANSWER_FILE_NAME[];
    // The name it has while it is being written.
    static const wchar_t ANSWER_PART_SUFFIX[];

    PaslogiCertification(const std::wstring &strNolvexID, long lServiceIndex,
                         const CertificationSeams &seams = CertificationSeams());
    ~PaslogiCertification() override;

    // Fetches the table: PANEL_PATTERN with the table, PANEL_PASSWORD when there is no table
    // server (or it could not be reached), PANEL_FAILURE when the server refused.
    long GetNextPanel(ErrInfo *pErrInfo) override;
    long GetCertInfo(CertInfo &certInfo, ErrInfo *pErrInfo) override;
    // A local failure (the pattern was never verified) or the registration server's notice.
    long GetErrInfo(ErrInfo *pErrInfo, bool bConnectError) override;
    // Has the server verify the pattern: 0 or a message id.
    long OnetimePasswordCert(const std::wstring &strPassword, bool bAlreadyDone, bool bUseProfilePassword) override;
    // Also stops a running server access; the last result becomes 3045.
    void CancelCertification() override;

    // The table address: patternAuthRandURL, "/", the URL-encoded NolvexID; empty when none.
    std::wstring GetRandURL();
    // The verification address: patternAuthURL, "/", "uid=" ID "&pass=" password, URL-encoded.
    std::wstring GetCertURL(const std::wstring &strPassword);
    // The message id for a server code; strText gets the code in brackets.
    static long GetInternalErrorCode(long lServerCode, std::wstring &strText);

    long GetLastResult() const { return m_lLastResult; }
    bool IsUsingNolvexPW() const { return m_UseNolvexPW; }

private:
    // The base with a trailing "/"; empty when none or when its scheme is refused.
    std::wstring BaseURL(const std::wstring &strBase, const wchar_t *pszName);
    bool AllowPlainHTTP() const;
    std::wstring DownloadFolder() const;
    HTTP_Connection *CreateHttp() const;
    // One exchange; on success strOutPath names the answer file. The result is also kept.
    long AccessPaslogi(const std::wstring &strURL, const std::wstring &strFolder, std::wstring &strOutPath);
    // Starts the request unless a cancel came first; publishes the connection for the cancel.
    long StartRequest(HTTP_Connection *pHttp, HttpRequestInfo &request);
    long WaitAnswer(HTTP_Connection *pHttp, HttpRequestInfo &request, const std::wstring &strFolder,
                    std::wstring &strOutPath);
    long SaveAnswer(const HttpRequestInfo &request, const std::wstring &strPath);
    void WithdrawHttp();
    // Deletes an answer file left by an earlier run (a crash): it is never read.
    static void RemoveStaleAnswer(const std::wstring &strPath);
    static void DeleteAnswer(const std::wstring &strPath);
    long TableAnswered(const std::wstring &strPath, ErrInfo &err);
    long VerifyAnswered(const std::wstring &strPath);
    // The URL for the log: what follows its last "/" (the ID, the pattern) stays in braces.
    static std::wstring LoggedURL(const std::wstring &strURL);

    std::wstring m_strRand;
    bool m_UseNolvexPW;
    HTTP_Connection *m_pHttp;       // only during a server access; guarded by m_csHttp
    CriticalSection m_csHttp;
    volatile LONG m_lLastResult;
    long m_lLastSubCode;
    std::wstring m_strLastErrText;
};
