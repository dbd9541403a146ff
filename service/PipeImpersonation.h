#pragma once
// The calling thread acts as the client of a pipe instance for the enclosing scope; the
// impersonation ends on every way out. Revert() tells whether the thread is itself again: a
// thread that stays the client must not go on.
#include <windows.h>

class PipeImpersonation {
public:
    explicit PipeImpersonation(HANDLE hPipe);
    ~PipeImpersonation();
    PipeImpersonation(const PipeImpersonation &) = delete;
    PipeImpersonation &operator=(const PipeImpersonation &) = delete;

    bool IsActive() const { return m_bActive; }
    bool Revert();

private:
    bool m_bActive;
    bool m_bReverted;
};
