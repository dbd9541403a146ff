// The read-and-apply half of ProxyInformation (see ProxyInformation.h).
#include "ProxyInformation.h"
#include "Log.h"
#include "ScopedHandle.h"
#include <wininet.h>
#include <vector>

const wchar_t ProxyInformation::CONNECTIONS_KEY[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";
const wchar_t ProxyInformation::DEFAULT_CONNECTION_VALUE[] = L"DefaultConnectionSettings";

namespace {
const wchar_t kLocalBypass[] = L"<local>";
const wchar_t kApplyApiName[] = L"ApplyProxySetting";
const DWORD kFlagsSize = sizeof(DWORD);
}  // namespace

ProxyInformation::ProxyInformation(const std::wstring &strNolvexID)
    : m_bAutoProxy(0), m_bDirect(1), m_bAutoDetect(0), m_clSetting(strNolvexID)
{
}

ProxyInformation::~ProxyInformation()
{
}

std::wstring ProxyInformation::TakeText(wchar_t *pszValue)
{
    ScopedGlobal hOwner(static_cast<HGLOBAL>(pszValue));
    return pszValue != nullptr ? std::wstring(pszValue) : std::wstring();
}

bool ProxyInformation::GetProxySetting(const std::wstring &strConnectionName)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] ConnectionName is %s", strConnectionName.c_str());
    INTERNET_PER_CONN_OPTIONW options[5] = {};
    options[0].dwOption = INTERNET_PER_CONN_AUTOCONFIG_URL;
    options[1].dwOption = INTERNET_PER_CONN_AUTODISCOVERY_FLAGS;
    options[2].dwOption = INTERNET_PER_CONN_FLAGS;
    options[3].dwOption = INTERNET_PER_CONN_PROXY_BYPASS;
    options[4].dwOption = INTERNET_PER_CONN_PROXY_SERVER;
    INTERNET_PER_CONN_OPTION_LISTW list = {};
    list.dwSize = sizeof(list);
    list.pszConnection = strConnectionName.empty() ? nullptr : const_cast<wchar_t *>(strConnectionName.c_str());
    list.dwOptionCount = sizeof(options) / sizeof(options[0]);
    list.pOptions = options;
    DWORD dwSize = sizeof(list);
    LOGWRITE(LOG_DEBUG, L"[API Call] InternetQueryOptionW");
    if (!InternetQueryOptionW(nullptr, INTERNET_OPTION_PER_CONNECTION_OPTION, &list, &dwSize)) {
        DWORD dwError = GetLastError();
        LOGWRITE(LOG_ERROR, L"InternetQueryOption failed! ,%ld", (long)dwError);
        LOG_API_ERROR(L"InternetQueryOptionW", dwError);
        return false;
    }
    LOGWRITE(LOG_DEBUG, L"[API Return] InternetQueryOptionW");
    m_strAutoConfigURL = TakeText(options[0].Value.pszValue);
    m_strBypass = TakeText(options[3].Value.pszValue);
    m_strProxyAddress = TakeText(options[4].Value.pszValue);
    DWORD dwFlags = options[2].Value.dwValue;
    m_bAutoProxy = (dwFlags & PROXY_TYPE_AUTO_PROXY_URL) ? 1 : 0;
    m_bDirect = (dwFlags & PROXY_TYPE_PROXY) ? 0 : 1;
    m_bAutoDetect = IsProxyAutoDetect(strConnectionName) ? 1 : 0;
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] Flags is %lu, ProxyAddress is %s, ProxyBypass is %s, AutoConfigURL is %s",
             dwFlags, m_strProxyAddress.c_str(), m_strBypass.c_str(), m_strAutoConfigURL.c_str());
    return true;
}

DWORD ProxyInformation::ComposeFlags() const
{
    DWORD dwFlags = PROXY_TYPE_DIRECT;
    if (m_bAutoProxy) dwFlags |= PROXY_TYPE_AUTO_PROXY_URL;
    if (!m_bDirect) dwFlags |= PROXY_TYPE_PROXY;
    if (m_bAutoDetect) dwFlags |= PROXY_TYPE_AUTO_DETECT;
    return dwFlags;
}

void ProxyInformation::ApplyError(DWORD dwError)
{
    LOG_API_ERROR(kApplyApiName, dwError);
}

bool ProxyInformation::SetOptions()
{
    INTERNET_PER_CONN_OPTIONW options[4] = {};
    options[0].dwOption = INTERNET_PER_CONN_AUTOCONFIG_URL;
    options[0].Value.pszValue = const_cast<wchar_t *>(m_strAutoConfigURL.c_str());
    options[1].dwOption = INTERNET_PER_CONN_FLAGS;
    options[1].Value.dwValue = ComposeFlags();
    options[2].dwOption = INTERNET_PER_CONN_PROXY_BYPASS;
    options[2].Value.pszValue = const_cast<wchar_t *>(m_strBypass.c_str());
    options[3].dwOption = INTERNET_PER_CONN_PROXY_SERVER;
    options[3].Value.pszValue = const_cast<wchar_t *>(m_strProxyAddress.c_str());
    INTERNET_PER_CONN_OPTION_LISTW list = {};
    list.dwSize = sizeof(list);
    list.pszConnection = m_strConnectionName.empty() ? nullptr : const_cast<wchar_t *>(m_strConnectionName.c_str());
    list.dwOptionCount = sizeof(options) / sizeof(options[0]);
    list.pOptions = options;
    LOGWRITE(LOG_DEBUG, L"[API Call] InternetSetOptionW option:%lu flags:%lu",
             (unsigned long)INTERNET_OPTION_PER_CONNECTION_OPTION, options[1].Value.dwValue);
    if (!InternetSetOptionW(nullptr, INTERNET_OPTION_PER_CONNECTION_OPTION, &list, sizeof(list))) {
        ApplyError(GetLastError());
        return false;
    }
    LOGWRITE(LOG_DEBUG, L"[API Return] InternetSetOptionW");
    return true;
}

bool ProxyInformation::Notify(DWORD dwOption)
{
    LOGWRITE(LOG_DEBUG, L"[API Call] InternetSetOptionW option:%lu", dwOption);
    if (!InternetSetOptionW(nullptr, dwOption, nullptr, 0)) {
        ApplyError(GetLastError());
        return false;
    }
    LOGWRITE(LOG_DEBUG, L"[API Return] InternetSetOptionW");
    return true;
}

bool ProxyInformation::ApplyProxySetting(const std::wstring &strConnectionName)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] ConnectionName is %s", strConnectionName.c_str());
    m_strConnectionName = strConnectionName;
    bool bApplied = SetOptions() && Notify(INTERNET_OPTION_PROXY_SETTINGS_CHANGED) &&
                    Notify(INTERNET_OPTION_SETTINGS_CHANGED) && Notify(INTERNET_OPTION_REFRESH);
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] ApplyProxySetting is %s", bApplied ? L"true" : L"false");
    return bApplied;
}

bool ProxyInformation::IsProxyAutoDetect(const std::wstring &strValueName)
{
    LOG_SCOPE();
    const wchar_t *pszValue = strValueName.empty() ? DEFAULT_CONNECTION_VALUE : strValueName.c_str();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] ValueName is %s", pszValue);
    ScopedRegKey hKey;
    LONG lRc = RegOpenKeyExW(HKEY_CURRENT_USER, CONNECTIONS_KEY, 0, KEY_QUERY_VALUE, hKey.Receive());
    if (lRc != ERROR_SUCCESS) {
        LOG_API_ERROR(L"IsProxyAutoDetect", lRc);
        return false;
    }
    DWORD dwType = 0;
    DWORD dwSize = 0;
    lRc = RegQueryValueExW(hKey.Get(), pszValue, nullptr, &dwType, nullptr, &dwSize);
    if (lRc == ERROR_FILE_NOT_FOUND) return false;
    std::vector<BYTE> vecData(dwSize);
    if (lRc == ERROR_SUCCESS && dwSize > 0)
        lRc = RegQueryValueExW(hKey.Get(), pszValue, nullptr, &dwType, vecData.data(), &dwSize);
    if (lRc != ERROR_SUCCESS) {
        LOG_API_ERROR(L"RegQueryValueExW", lRc);
        return false;
    }
    if (dwType != REG_BINARY || dwSize < BLOB_FLAGS_OFFSET + kFlagsSize) return false;
    DWORD dwFlags = 0;
    memcpy(&dwFlags, vecData.data() + BLOB_FLAGS_OFFSET, kFlagsSize);
    bool bAutoDetect = (dwFlags & BLOB_AUTO_DETECT) != 0;
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] IsProxyAutoDetect is %s", bAutoDetect ? L"true" : L"false");
    return bAutoDetect;
}

bool ProxyInformation::IsFlagOn(const std::wstring &strValue)
{
    return strValue == ProxySetting::FLAG_ON;
}

bool ProxyInformation::ReadSetting(const std::wstring &strFilePath, const std::wstring &strEntry)
{
    LOG_SCOPE();
    if (!m_clSetting.ReadSetting(strFilePath, strEntry)) return false;
    m_bAutoDetect = IsFlagOn(m_clSetting.GetValue(ProxySetting::AUTO_DETECT)) ? 1 : 0;
    m_bAutoProxy = IsFlagOn(m_clSetting.GetValue(ProxySetting::AUTO_PROXY)) ? 1 : 0;
    m_strAutoConfigURL = m_clSetting.GetValue(ProxySetting::AUTO_CONFIG_URL);
    m_bDirect = IsFlagOn(m_clSetting.GetValue(ProxySetting::DIRECT)) ? 1 : 0;
    m_strProxyAddress = m_clSetting.GetValue(ProxySetting::PROXY_ADDRESS);
    m_strBypass = m_clSetting.GetValue(ProxySetting::PROXY_BYPASS);
    return true;
}

void ProxyInformation::SetProxyAddress(const std::wstring &strHost, const std::wstring &strPort)
{
    m_strProxyAddress = strPort.empty() ? strHost : strHost + L":" + strPort;
}

void ProxyInformation::SetProxyBypass(const std::wstring &strBypass, bool bLocal)
{
    m_strBypass = strBypass;
    if (!bLocal) return;
    if (!m_strBypass.empty()) m_strBypass += L";";
    m_strBypass += kLocalBypass;
}
