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
    // A thread left acting as the user has less rights than the service, never more: what follows
    // fails rather than reaching further, and the failure is in the log.
    if (m_bActive && !Revert()) LOGWRITE(LOG_ERROR, L"The thread could not end its impersonation.");
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
