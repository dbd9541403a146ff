#pragma once
// "http METHOD URL [options]": one exchange (or several) through the HTTP adapter, printing the
// statuses seen, the result, the HTTP status, the lengths and the body or the file written
// (docs/testclient.md).
#include "HttpRequestInfo.h"
#include <windows.h>
#include <string>
#include <vector>

class WinHTTPAdapter;

class HttpCommand {
public:
    explicit HttpCommand(const std::vector<std::wstring> &vecArgs);
    // 0 when every exchange gave result 0, 3 otherwise, 2 for bad input.
    int Run();

private:
    bool ParseArgs();
    bool ParseOption(const std::wstring &strOption, const std::wstring &strValue);
    void FillRequest(HttpRequestInfo &request) const;
    long RunOnce(WinHTTPAdapter &adapter, HttpRequestInfo &request, bool bPrint);
    long WaitForEnd(WinHTTPAdapter &adapter, std::vector<long> &vecSeen, DWORD &dwCancelToEndMs);
    void PrintResult(WinHTTPAdapter &adapter, const HttpRequestInfo &request, const std::vector<long> &vecSeen,
                     DWORD dwCancelToEndMs) const;
    void PauseIfAsked(size_t nDone) const;
    void LeakOnPurpose() const;
    static std::wstring JoinNumbers(const std::vector<long> &vec);

    std::vector<std::wstring> m_vecArgs;
    std::wstring m_strMethod;
    std::wstring m_strURL;
    std::wstring m_strData;
    std::wstring m_strFolder;
    std::wstring m_strUser, m_strPassword, m_strProxyUser, m_strProxyPassword;
    BYTE m_bProxyFlag;
    DWORD m_dwCancelAfterMs;
    bool m_bCancel;
    DWORD m_dwWaitMs;
    DWORD m_dwRepeat;
    std::vector<DWORD> m_vecPauseAt;
    DWORD m_dwLeakBytes;
    bool m_bLeakThread;
    bool m_bShowBody;
};
