// Sets per-connection proxy options for the LAN default and for one entry, reads them back
// through WinINet and through the registry, and tries the three notifications. Prints one line
// per finding: "name=value".
#include <windows.h>
#include <wininet.h>
#include <cstdio>
#include <string>

namespace {

const wchar_t CONNECTIONS_KEY[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";
const DWORD FLAGS_OFFSET = 8;
const DWORD FLAGS_SIZE = 4;

void Print(const wchar_t *pszWhat, const wchar_t *pszValue)
{
    wprintf(L"%ls=%ls\n", pszWhat, pszValue ? pszValue : L"(null)");
}

bool SetOptions(const wchar_t *pszConnection, DWORD dwFlags, const wchar_t *pszServer,
                const wchar_t *pszBypass, const wchar_t *pszUrl)
{
    INTERNET_PER_CONN_OPTIONW options[4] = {};
    options[0].dwOption = INTERNET_PER_CONN_AUTOCONFIG_URL;
    options[0].Value.pszValue = const_cast<wchar_t *>(pszUrl);
    options[1].dwOption = INTERNET_PER_CONN_FLAGS;
    options[1].Value.dwValue = dwFlags;
    options[2].dwOption = INTERNET_PER_CONN_PROXY_BYPASS;
    options[2].Value.pszValue = const_cast<wchar_t *>(pszBypass);
    options[3].dwOption = INTERNET_PER_CONN_PROXY_SERVER;
    options[3].Value.pszValue = const_cast<wchar_t *>(pszServer);
    INTERNET_PER_CONN_OPTION_LISTW list = {};
    list.dwSize = sizeof(list);
    list.pszConnection = const_cast<wchar_t *>(pszConnection);
    list.dwOptionCount = 4;
    list.pOptions = options;
    BOOL bOk = InternetSetOptionW(nullptr, INTERNET_OPTION_PER_CONNECTION_OPTION, &list, sizeof(list));
    wprintf(L"set[%ls]=%d err=%lu\n", pszConnection ? pszConnection : L"LAN", bOk, bOk ? 0 : GetLastError());
    return bOk != FALSE;
}

void QueryOptions(const wchar_t *pszConnection)
{
    INTERNET_PER_CONN_OPTIONW options[5] = {};
    options[0].dwOption = INTERNET_PER_CONN_AUTOCONFIG_URL;
    options[1].dwOption = INTERNET_PER_CONN_AUTODISCOVERY_FLAGS;
    options[2].dwOption = INTERNET_PER_CONN_FLAGS;
    options[3].dwOption = INTERNET_PER_CONN_PROXY_BYPASS;
    options[4].dwOption = INTERNET_PER_CONN_PROXY_SERVER;
    INTERNET_PER_CONN_OPTION_LISTW list = {};
    list.dwSize = sizeof(list);
    list.pszConnection = const_cast<wchar_t *>(pszConnection);
    list.dwOptionCount = 5;
    list.pOptions = options;
    DWORD dwSize = sizeof(list);
    BOOL bOk = InternetQueryOptionW(nullptr, INTERNET_OPTION_PER_CONNECTION_OPTION, &list, &dwSize);
    const wchar_t *pszName = pszConnection ? pszConnection : L"LAN";
    wprintf(L"query[%ls]=%d err=%lu\n", pszName, bOk, bOk ? 0 : GetLastError());
    if (!bOk) return;
    wprintf(L"query[%ls].flags=%lu autodiscovery=%lu\n", pszName, options[2].Value.dwValue,
            options[1].Value.dwValue);
    Print(L"  url", options[0].Value.pszValue);
    Print(L"  bypass", options[3].Value.pszValue);
    Print(L"  server", options[4].Value.pszValue);
    GlobalFree(options[0].Value.pszValue);
    GlobalFree(options[3].Value.pszValue);
    GlobalFree(options[4].Value.pszValue);
}

void DumpRegistry()
{
    HKEY hKey = nullptr;
    LONG lRc = RegOpenKeyExW(HKEY_CURRENT_USER, CONNECTIONS_KEY, 0, KEY_READ, &hKey);
    wprintf(L"open connections key rc=%ld\n", lRc);
    if (lRc != ERROR_SUCCESS) return;
    for (DWORD dwIndex = 0;; ++dwIndex) {
        wchar_t szName[256];
        DWORD dwName = 256;
        BYTE abData[4096];
        DWORD dwData = sizeof(abData);
        DWORD dwType = 0;
        if (RegEnumValueW(hKey, dwIndex, szName, &dwName, nullptr, &dwType, abData, &dwData) != ERROR_SUCCESS)
            break;
        wprintf(L"value[%ls] type=%lu size=%lu bytes=", szName, dwType, dwData);
        for (DWORD i = 0; i < dwData; ++i) wprintf(L"%02x", abData[i]);
        if (dwData >= FLAGS_OFFSET + FLAGS_SIZE) {
            DWORD dwFlags = 0;
            memcpy(&dwFlags, abData + FLAGS_OFFSET, FLAGS_SIZE);
            wprintf(L" flags=%lu", dwFlags);
        }
        wprintf(L"\n");
    }
    RegCloseKey(hKey);
}

void Notify(DWORD dwOption, const wchar_t *pszName)
{
    BOOL bOk = InternetSetOptionW(nullptr, dwOption, nullptr, 0);
    wprintf(L"notify %ls(%lu)=%d err=%lu\n", pszName, dwOption, bOk, bOk ? 0 : GetLastError());
}

}  // namespace

int wmain()
{
    QueryOptions(nullptr);
    SetOptions(nullptr, PROXY_TYPE_DIRECT | PROXY_TYPE_PROXY | PROXY_TYPE_AUTO_PROXY_URL |
                            PROXY_TYPE_AUTO_DETECT,
               L"lanproxy:8080", L"<local>;*.lan", L"http://pac/ProxyBypass.pac");
    QueryOptions(nullptr);
    SetOptions(L"ProbeEntry", PROXY_TYPE_DIRECT | PROXY_TYPE_PROXY, L"entryproxy:3128", L"*.entry", L"");
    QueryOptions(L"ProbeEntry");
    QueryOptions(nullptr);
    SetOptions(nullptr, PROXY_TYPE_DIRECT, L"", L"", L"");
    QueryOptions(nullptr);
    QueryOptions(L"ProbeEntry");
    DumpRegistry();
    Notify(INTERNET_OPTION_PROXY_SETTINGS_CHANGED, L"proxy settings changed");
    Notify(INTERNET_OPTION_SETTINGS_CHANGED, L"settings changed");
    Notify(INTERNET_OPTION_REFRESH, L"refresh");
    return 0;
}
