#include "Params.h"
#include "Log.h"
#include <oleauto.h>
#include <cstring>

namespace {
const char kHexDigits[] = "0123456789ABCDEF";
const char kUnreserved[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~";
const wchar_t kCookiePrefix[] = L"cookie: ";
const int kLowNibble = 0x0F;
const int kNibbleBits = 4;
}  // namespace

Params::Params() : m_iStatus(STATUS_NONE), m_iLoginKey(FIRST_LOGIN_KEY)
{
    VariantInit(&m_varPostData);
}

Params::~Params()
{
    VariantClear(&m_varPostData);
}

const wchar_t *Params::StatusText(int iStatus)
{
    switch (iStatus) {
    case STATUS_NONE: return L"none";
    case STATUS_LOGIN_PROGRESS: return L"login progress";
    case STATUS_LOGGED_IN: return L"logged in";
    case STATUS_LOGOUT_PROGRESS: return L"logout progress";
    case STATUS_LOGGED_OUT: return L"logged out";
    case STATUS_CONTROL_PROGRESS: return L"control progress";
    case STATUS_RUNNING: return L"running";
    case STATUS_LOGOUT_ERROR: return L"logout error";
    default: return L"";
    }
}

std::wstring Params::GetStatusMessage() const
{
    return StatusText(m_iStatus);
}

bool Params::isNeedLogout() const
{
    return m_iStatus == STATUS_LOGIN_PROGRESS || m_iStatus == STATUS_LOGGED_IN ||
           m_iStatus == STATUS_CONTROL_PROGRESS || m_iStatus == STATUS_RUNNING || m_iStatus == STATUS_LOGOUT_ERROR;
}

const wchar_t *Params::GetHeader()
{
    return L"Content-Type: application/x-www-form-urlencoded\r\n";
}

bool Params::FormEncode(const std::wstring &strText, std::string &strEncoded)
{
    strEncoded.clear();
    if (strText.empty()) return true;
    BOOL bDefaultUsed = FALSE;
    int iLen = WideCharToMultiByte(CP_ACP, 0, strText.c_str(), (int)strText.size(), nullptr, 0, nullptr, &bDefaultUsed);
    if (iLen <= 0) {
        LOG_API_ERROR(L"WideCharToMultiByte", GetLastError());
        return false;
    }
    std::string strAnsi((size_t)iLen, '\0');
    WideCharToMultiByte(CP_ACP, 0, strText.c_str(), (int)strText.size(), &strAnsi[0], iLen, nullptr, &bDefaultUsed);
    if (bDefaultUsed) {
        // A replaced character would send another password than the user typed.
        LOGWRITE(LOG_ERROR, L"A character of the log-on data is not in the ANSI code page");
        return false;
    }
    for (unsigned char c : strAnsi) {
        if (c != '\0' && strchr(kUnreserved, c) != nullptr) {
            strEncoded += (char)c;
        } else if (c == ' ') {
            strEncoded += '+';
        } else {
            strEncoded += '%';
            strEncoded += kHexDigits[(c >> kNibbleBits) & kLowNibble];
            strEncoded += kHexDigits[c & kLowNibble];
        }
    }
    return true;
}

std::string Params::BuildBody(bool &bOk)
{
    std::string strUser;
    std::string strPassword;
    bOk = FormEncode(m_strUserName, strUser) && FormEncode(m_strPassword, strPassword);
    if (!bOk) return std::string();
    return "userName=" + strUser + "&password=" + strPassword + "&login_key=" + std::to_string(m_iLoginKey) +
           "&chgpw=false";
}

const VARIANT &Params::GetLoginPostData()
{
    LOG_SCOPE();
    VariantClear(&m_varPostData);
    bool bOk = false;
    std::string strBody = BuildBody(bOk);
    ++m_iLoginKey;
    if (!bOk) return m_varPostData;
    std::wstring strLogged(strBody.begin(), strBody.end());
    LOGWRITE(LOG_DEBUG, L"Post Data   is {%s}", strLogged.c_str());
    PutBytes(strBody);
    return m_varPostData;
}

bool Params::PutBytes(const std::string &strBody)
{
    SAFEARRAY *pArray = SafeArrayCreateVector(VT_UI1, 0, (ULONG)strBody.size());
    if (pArray == nullptr) {
        LOG_API_ERROR(L"SafeArrayCreateVector", ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    void *pData = nullptr;
    HRESULT hr = SafeArrayAccessData(pArray, &pData);
    if (FAILED(hr)) {
        LOGWRITE(LOG_ERROR, L"Failure to lock the safe array");
        SafeArrayDestroy(pArray);
        return false;
    }
    if (!strBody.empty()) memcpy(pData, strBody.data(), strBody.size());
    hr = SafeArrayUnaccessData(pArray);
    if (FAILED(hr)) {
        LOGWRITE(LOG_ERROR, L"Fails to unlock the safe array");
        SafeArrayDestroy(pArray);
        return false;
    }
    m_varPostData.vt = VT_ARRAY | VT_UI1;
    m_varPostData.parray = pArray;
    return true;
}

std::wstring Params::VariantText(const VARIANT &var)
{
    VARIANT varText;
    VariantInit(&varText);
    std::wstring strText;
    if (SUCCEEDED(VariantChangeType(&varText, const_cast<VARIANT *>(&var), 0, VT_BSTR)) && varText.bstrVal != nullptr)
        strText.assign(varText.bstrVal, SysStringLen(varText.bstrVal));
    VariantClear(&varText);
    return strText;
}

bool Params::SetCookie(const VARIANT &varCookie)
{
    LOG_SCOPE();
    std::wstring strCookie = VariantText(varCookie);
    if (strCookie.empty()) LOGWRITE(LOG_WARN, L"Cookie is NULL");
    if (m_iStatus == STATUS_LOGIN_PROGRESS && !strCookie.empty()) {
        m_strCookie = kCookiePrefix + strCookie;
        m_iStatus = STATUS_CONTROL_PROGRESS;
        return true;
    }
    if (m_iStatus == STATUS_LOGOUT_PROGRESS) {
        m_strCookie.clear();
        m_iStatus = STATUS_LOGGED_OUT;
    }
    return false;
}
