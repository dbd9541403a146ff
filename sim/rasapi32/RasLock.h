#pragma once
// The simulator's one lock across processes: every process of the prefix reads and changes the
// same phonebook and connection files. A named mutex, held for the life of the object; a wait that
// does not end within the limit is reported and the call goes on unlocked rather than hang.
#include <windows.h>
#include "ScopedHandle.h"

class RasLock {
public:
    RasLock();
    ~RasLock();
    RasLock(const RasLock &) = delete;
    RasLock &operator=(const RasLock &) = delete;

private:
    ScopedHandle m_hMutex;
    bool m_bHeld;
};
