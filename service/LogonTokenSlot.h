#pragma once
// g_hLogonToken: the token of the user of the last logon session. The control handler replaces it
// on each logon; the main loop gives each logon worker a duplicate of its own, so a later logon
// that closes the slot's token never pulls it from under a running worker.
#include "ScopedHandle.h"
#include "CriticalSection.h"
#include <windows.h>

class LogonTokenSlot {
public:
    LogonTokenSlot() = default;
    LogonTokenSlot(const LogonTokenSlot &) = delete;
    LogonTokenSlot &operator=(const LogonTokenSlot &) = delete;

    // Closes the held token; true when there was one.
    bool Discard();
    // Takes ownership of hToken (may be null).
    void Store(HANDLE hToken);
    // A handle of its own to the held token; empty when none is held or duplication fails.
    ScopedHandle Duplicate();
    // The held value, for the log line only.
    HANDLE Peek();

private:
    CriticalSection m_cs;
    ScopedHandle m_hToken;
};

extern LogonTokenSlot g_hLogonToken;
