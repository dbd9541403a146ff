#pragma once
// Waiting for what another thread or process finishes within microseconds: spin with a pause
// first, then give the processor away, then sleep a millisecond at a time. The caller bounds the
// wait.
#include <windows.h>

class SpinBackoff {
public:
    void Pause()
    {
        if (m_iRounds < kSpins) YieldProcessor();
        else if (m_iRounds < kYields) SwitchToThread();
        else Sleep(1);
        ++m_iRounds;
    }
    int Rounds() const { return m_iRounds; }

private:
    static const int kSpins = 64;
    static const int kYields = 256;
    int m_iRounds = 0;
};
