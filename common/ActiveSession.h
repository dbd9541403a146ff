#pragma once
// The active session of this machine: the one place that enumerates the terminal sessions, for the
// service's messages, the user name its watches are keyed by and the user's registry keys.
#include <windows.h>
#include <string>

class ActiveSession {
public:
    // What Find and FindUserName return besides a system error code of the enumeration.
    static constexpr long FOUND = 0;
    static constexpr long NONE_ACTIVE = -1;

    // The first session whose state is active. Logs "All Session Count  %ld" and
    // "SessionID[%ld]=%ld status=%d" at DEBUG level; callers log the outcome at their own level.
    static long Find(DWORD &dwSessionId);
    // The user name of the active session (NONE_ACTIVE also when its name cannot be read).
    static long FindUserName(std::wstring &strName);
};
