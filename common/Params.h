#pragma once
// Parameters of a web log-on of the hosted browser: user name, password, the log-on, log-off and
// control addresses, the session cookie and the log-on status. Builds the log-on request body.
// Used by one thread (the browser host's).
#include <windows.h>
#include <oaidl.h>
#include <string>

class Params {
public:
    enum Status {
        STATUS_NONE = 0,
        STATUS_LOGIN_PROGRESS = 1,
        STATUS_LOGGED_IN = 2,
        STATUS_LOGOUT_PROGRESS = 3,
        STATUS_LOGGED_OUT = 4,
        STATUS_CONTROL_PROGRESS = 5,
        STATUS_RUNNING = 6,
        STATUS_LOGOUT_ERROR = 7,
    };
    static constexpr int FIRST_LOGIN_KEY = 1;

    Params();
    ~Params();
    Params(const Params &) = delete;
    Params &operator=(const Params &) = delete;

    void SetUserName(const std::wstring &str) { m_strUserName = str; }
    void SetPassword(const std::wstring &str) { m_strPassword = str; }
    void SetLoginUrl(const std::wstring &str) { m_strLoginUrl = str; }
    void SetLogoutUrl(const std::wstring &str) { m_strLogoutUrl = str; }
    void SetControlUrl(const std::wstring &str) { m_strControlUrl = str; }
    const std::wstring &GetLoginUrl() const { return m_strLoginUrl; }
    const std::wstring &GetLogoutUrl() const { return m_strLogoutUrl; }
    const std::wstring &GetControlUrl() const { return m_strControlUrl; }
    const std::wstring &GetCookieHeader() const { return m_strCookie; }

    void SetStatus(int iStatus) { m_iStatus = iStatus; }
    int GetStatus() const { return m_iStatus; }
    std::wstring GetStatusMessage() const;
    static const wchar_t *StatusText(int iStatus);
    bool isLogout() const { return m_iStatus == STATUS_LOGGED_OUT; }
    bool isNeedLogout() const;

    // The form body "userName=...&password=...&login_key=N&chgpw=false" in the ANSI code page,
    // the two values percent-encoded, as a byte array (VT_ARRAY | VT_UI1) of exactly the bytes
    // sent; the login key counter goes up by one. VT_EMPTY when it cannot be built (a character
    // the code page cannot carry, no memory). The result stays owned by this object until the
    // next call.
    const VARIANT &GetLoginPostData();
    // "Content-Type: application/x-www-form-urlencoded\r\n".
    static const wchar_t *GetHeader();
    bool SetCookie(const VARIANT &varCookie);

    // The percent-encoding of the ANSI bytes of the text (unreserved characters kept, blank as
    // "+"); false when the code page cannot carry every character.
    static bool FormEncode(const std::wstring &strText, std::string &strEncoded);

private:
    std::string BuildBody(bool &bOk);
    bool PutBytes(const std::string &strBody);
    static std::wstring VariantText(const VARIANT &var);

    int m_iStatus;
    int m_iLoginKey;
    std::wstring m_strCookie;
    std::wstring m_strLoginUrl;
    std::wstring m_strLogoutUrl;
    std::wstring m_strControlUrl;
    std::wstring m_strUserName;
    std::wstring m_strPassword;
    VARIANT m_varPostData;
};
