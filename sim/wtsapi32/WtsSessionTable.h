#pragma once
// The sessions the simulator reports, as a Vista-or-later machine shows them: session 0
// "Services" (disconnected, no user) and the console session, active with its user when someone
// is logged on, otherwise connected (the logon screen) without a user. When the console session
// is 0 (Windows XP) only the console session exists.
#include <windows.h>
#include <wtsapi32.h>
#include <string>
#include <vector>

class WtsScenario;

struct WtsSession {
    DWORD dwId;
    std::wstring strWinStation;
    WTS_CONNECTSTATE_CLASS state;
    std::wstring strUser;
    std::wstring strDomain;
};

class WtsSessionTable {
public:
    WtsSessionTable(const WtsScenario &scenario, DWORD dwConsoleSessionId, ULONGLONG ullNow);

    const std::vector<WtsSession> &GetSessions() const { return m_vecSessions; }
    // nullptr when there is no session with that id.
    const WtsSession *Find(DWORD dwId) const;

private:
    std::vector<WtsSession> m_vecSessions;
};
