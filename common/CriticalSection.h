#pragma once
// A process-local recursive lock (a critical section: Windows XP has no slim locks) with a scoped
// holder that releases it on every way out.
#include <windows.h>

class CriticalSection {
public:
    CriticalSection() { InitializeCriticalSection(&m_cs); }
    // A lock held only for microseconds: a waiting thread spins this often before it sleeps.
    explicit CriticalSection(DWORD dwSpinCount) { InitializeCriticalSectionAndSpinCount(&m_cs, dwSpinCount); }
    ~CriticalSection() { DeleteCriticalSection(&m_cs); }
    CriticalSection(const CriticalSection &) = delete;
    CriticalSection &operator=(const CriticalSection &) = delete;

    void Enter() { EnterCriticalSection(&m_cs); }
    void Leave() { LeaveCriticalSection(&m_cs); }
    // Takes the lock only if that needs no wait.
    bool TryEnter() { return TryEnterCriticalSection(&m_cs) != FALSE; }

    class Lock {
    public:
        explicit Lock(CriticalSection &cs) : m_cs(cs) { m_cs.Enter(); }
        ~Lock() { m_cs.Leave(); }
        Lock(const Lock &) = delete;
        Lock &operator=(const Lock &) = delete;

    private:
        CriticalSection &m_cs;
    };

private:
    CRITICAL_SECTION m_cs;
};
