#pragma once
// One update or rollback at a time, and what the stop path needs to wait for it: whether one
// runs and how far it is (a step counter that grows with each step, for the stop's wait hint).
// g_updateGate is shared by every client worker and the service main thread; its lock guards only
// its own fields and calls nothing else.
#include "CriticalSection.h"
#include <windows.h>

class UpdateGate {
public:
    UpdateGate();
    ~UpdateGate();
    UpdateGate(const UpdateGate &) = delete;
    UpdateGate &operator=(const UpdateGate &) = delete;

    // true when the caller may run its update now (nothing else runs); false when one runs.
    bool TryEnter(const wchar_t *pszWhat);
    void Leave();
    // The running work reached another step.
    void Step(const wchar_t *pszStep);

    bool IsBusy();
    // Progress counter (grows with every step; 0 when nothing ever ran).
    DWORD GetProgress();
    // Waits up to dwMs for the running work to end: true when nothing runs any more.
    bool WaitIdle(DWORD dwMs);

    // Holds the gate for one scope; Entered() tells whether it was free.
    class Hold {
    public:
        Hold(UpdateGate &gate, const wchar_t *pszWhat) : m_gate(gate), m_bEntered(gate.TryEnter(pszWhat)) {}
        ~Hold()
        {
            if (m_bEntered) m_gate.Leave();
        }
        Hold(const Hold &) = delete;
        Hold &operator=(const Hold &) = delete;
        bool Entered() const { return m_bEntered; }

    private:
        UpdateGate &m_gate;
        bool m_bEntered;
    };

private:
    CriticalSection m_cs;
    HANDLE m_hIdle;   // manual reset, set while nothing runs
    bool m_bBusy;
    DWORD m_dwProgress;
};

extern UpdateGate g_updateGate;
