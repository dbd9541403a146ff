#pragma once
// Acts as a user on the calling thread for one scope (SetThreadToken with an impersonation
// token), reverting on every way out.
#include <windows.h>

class UserImpersonation {
public:
    explicit UserImpersonation(HANDLE hImpersonationToken);
    ~UserImpersonation();
    UserImpersonation(const UserImpersonation &) = delete;
    UserImpersonation &operator=(const UserImpersonation &) = delete;

    bool IsActive() const { return m_bActive; }
    // Ends the impersonation now: false (logged) when the thread could not revert.
    bool Revert();

private:
    bool m_bActive;
};
