#include "WtsSessionTable.h"
#include "WtsScenario.h"

WtsSessionTable::WtsSessionTable(const WtsScenario &scenario, DWORD dwConsoleSessionId, ULONGLONG ullNow)
{
    if (dwConsoleSessionId != 0) m_vecSessions.push_back({0, L"Services", WTSDisconnected, L"", L""});
    WtsSession console = {dwConsoleSessionId, L"Console", WTSConnected, L"", L""};
    if (scenario.IsLoggedOn(ullNow)) {
        console.state = WTSActive;
        console.strUser = scenario.GetUser();
        console.strDomain = scenario.GetDomain();
    }
    m_vecSessions.push_back(console);
}

const WtsSession *WtsSessionTable::Find(DWORD dwId) const
{
    for (const WtsSession &session : m_vecSessions) {
        if (session.dwId == dwId) return &session;
    }
    return nullptr;
}
