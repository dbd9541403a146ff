#include "UserImpersonation.h"
#include "Log.h"

UserImpersonation::UserImpersonation(HANDLE hImpersonationToken) : m_bActive(false)
{
    if (hImpersonationToken == nullptr) return;
    if (!SetThreadToken(nullptr, hImpersonationToken)) {
        LOG_API_ERROR(L"SetThreadToken", GetLastError());
        return;
    }
    m_bActive = true;
}

UserImpersonation::~UserImpersonation()
{
    if (m_bActive && !Revert()) {
        // Never go on as the user: the thread's work cannot be trusted any more.
        LOGWRITE(LOG_ERROR, L"The thread could not end its impersonation; it stops.");
        ExitThread(ERROR_CANNOT_IMPERSONATE);
    }
}

bool UserImpersonation::Revert()
{
    if (!m_bActive) return true;
    if (!RevertToSelf()) {
        LOG_API_ERROR(L"RevertToSelf", GetLastError());
        return false;
    }
    m_bActive = false;
    return true;
}
