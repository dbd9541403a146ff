#pragma once
// What the simulated terminal services answer. One object per call: the scenario is read afresh
// each time, so a test can change it while the programs under test keep running.
#include "JsonLine.h"
#include "WtsScenario.h"
#include "WtsSessionTable.h"
#include <windows.h>
#include <wtsapi32.h>
#include <string>

class WtsSimulator {
public:
    WtsSimulator();

    BOOL EnumerateSessions(HANDLE hServer, DWORD dwReserved, DWORD dwVersion, bool bWide, void **ppInfo,
                           DWORD *pdwCount);
    BOOL QuerySessionInformation(HANDLE hServer, DWORD dwSessionId, WTS_INFO_CLASS infoClass, bool bWide,
                                 void **ppBuffer, DWORD *pdwBytes);
    BOOL QueryUserToken(ULONG ulSessionId, HANDLE *phToken);

    struct SessionMessage {
        const char *pszCall;        // "WTSSendMessageW" or "WTSSendMessageA", as journalled
        std::wstring strTitle;
        DWORD dwTitleLength;        // in bytes, as the caller passed it
        std::wstring strMessage;
        DWORD dwMessageLength;
        DWORD dwStyle;
        DWORD dwTimeout;
        BOOL bWait;
    };
    BOOL SendSessionMessage(HANDLE hServer, DWORD dwSessionId, const SessionMessage &message, DWORD *pdwResponse);

    // Only the local machine is simulated.
    static HANDLE OpenServer(const std::wstring &strName);
    static bool IsLocalServer(HANDLE hServer);
    // Wine delivers no session notifications; registering only checks the window.
    static BOOL RegisterSessionNotification(HWND hWnd, DWORD dwFlags);

    // NOLVEX_SIM_DIR (a test seam: parallel tests use folders of their own), else C:\nolvex-sim;
    // then "\wtsapi32".
    static std::wstring Folder();

    // The last step of every entry point: sets the last error and gives TRUE only for 0.
    static BOOL Finish(DWORD dwError);

private:
    static WtsScenario LoadScenario(const std::wstring &strFolder);
    static DWORD ConsoleSessionId();
    DWORD ResolveSessionId(DWORD dwSessionId) const;
    DWORD CheckServer(HANDLE hServer) const;
    DWORD DuplicateProcessToken(HANDLE *phToken) const;
    void *SessionValue(const WtsSession &session, WTS_INFO_CLASS infoClass, bool bWide, DWORD *pdwBytes,
                       DWORD *pdwError) const;
    template <typename Char>
    void *SessionValueAs(const WtsSession &session, WTS_INFO_CLASS infoClass, DWORD *pdwBytes, DWORD *pdwError) const;
    JsonLine NewRecord(const char *pszCall) const;
    void Record(JsonLine &line, BOOL bResult, DWORD dwError) const;

    std::wstring m_strFolder;
    WtsScenario m_scenario;
    ULONGLONG m_ullNow;
    WtsSessionTable m_table;
};
