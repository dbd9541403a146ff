#pragma once
// Holds a critical section for the enclosing scope.
#include <windows.h>

class CriticalSectionLock {
public:
    explicit CriticalSectionLock(CRITICAL_SECTION *pcs) : m_pcs(pcs) { EnterCriticalSection(m_pcs); }
    ~CriticalSectionLock() { LeaveCriticalSection(m_pcs); }
    CriticalSectionLock(const CriticalSectionLock &) = delete;
    CriticalSectionLock &operator=(const CriticalSectionLock &) = delete;

private:
    CRITICAL_SECTION *m_pcs;
};
