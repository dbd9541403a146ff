#include "ActiveSession.h"
#include "Log.h"
#include "ScopedHandle.h"
#include <wtsapi32.h>

namespace {
// The error of a failed call; never 0, so that a failure cannot be reported as success.
long FailureCode()
{
    DWORD dwError = GetLastError();
    return dwError != ERROR_SUCCESS ? (long)dwError : (long)ERROR_GEN_FAILURE;
}
}  // namespace

long ActiveSession::Find(DWORD &dwSessionId)
{
    PWTS_SESSION_INFOW pSessions = nullptr;
    DWORD dwCount = 0;
    if (!WTSEnumerateSessionsW(WTS_CURRENT_SERVER_HANDLE, 0, 1, &pSessions, &dwCount)) return FailureCode();
    ScopedWtsMemory hSessions(pSessions);
    LOGWRITE(LOG_DEBUG, L"All Session Count  %ld", (long)dwCount);
    for (DWORD i = 0; i < dwCount; ++i) {
        LOGWRITE(LOG_DEBUG, L"SessionID[%ld]=%ld status=%d", (long)i, (long)pSessions[i].SessionId,
                 (int)pSessions[i].State);
        if (pSessions[i].State == WTSActive) {
            dwSessionId = pSessions[i].SessionId;
            return FOUND;
        }
    }
    return NONE_ACTIVE;
}

long ActiveSession::FindUserName(std::wstring &strName)
{
    strName.clear();
    DWORD dwSessionId = 0;
    long lResult = Find(dwSessionId);
    if (lResult != FOUND) return lResult;
    LPWSTR pszName = nullptr;
    DWORD dwBytes = 0;
    if (!WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, dwSessionId, WTSUserName, &pszName, &dwBytes)) {
        return NONE_ACTIVE;
    }
    ScopedWtsMemory hName(pszName);
    if (pszName != nullptr) strName = pszName;
    return strName.empty() ? NONE_ACTIVE : FOUND;
}
