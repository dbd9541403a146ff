#pragma once
// The answers of the wininet stand-in: per-connection proxy options read from and written to the
// registry as Windows keeps them (ConnectionSettingsBlob), the three change notifications
// accepted, every call journalled. A scenario line "fail_option=<n>" makes every call for option
// n fail with ERROR_INTERNET_INTERNAL_ERROR, so tests can see how the product takes a failure.
#include "ConnectionSettingsBlob.h"
#include <windows.h>
#include <wininet.h>
#include <string>

class WinInetSimulator {
public:
    WinInetSimulator();

    BOOL SetOption(HINTERNET hInternet, DWORD dwOption, void *pBuffer, DWORD dwLength);
    BOOL QueryOption(HINTERNET hInternet, DWORD dwOption, void *pBuffer, DWORD *pdwLength);

    static const wchar_t CONNECTIONS_KEY[];
    static const wchar_t DEFAULT_VALUE[];
    static std::wstring Folder();

private:
    BOOL SetPerConnection(const INTERNET_PER_CONN_OPTION_LISTW *pList, DWORD dwLength);
    BOOL QueryPerConnection(INTERNET_PER_CONN_OPTION_LISTW *pList, DWORD *pdwLength);
    BOOL Notify(DWORD dwOption, const void *pBuffer);
    static bool IsValidList(const INTERNET_PER_CONN_OPTION_LISTW *pList, DWORD dwLength);
    static std::wstring ValueName(const wchar_t *pszConnection);
    static bool LoadBlob(const std::wstring &strValue, ConnectionSettingsBlob &blob);
    static DWORD SaveBlob(const std::wstring &strValue, const ConnectionSettingsBlob &blob);
    static wchar_t *CopyForCaller(const std::wstring &strText);
    bool IsScriptedFailure(DWORD dwOption) const;
    void Journal(const char *pszCall, DWORD dwOption, const std::wstring &strConnection,
                 const ConnectionSettingsBlob *pBlob, DWORD dwError) const;
    static BOOL Finish(DWORD dwError);

    DWORD m_dwFailOption;
};
