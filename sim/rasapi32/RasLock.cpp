#include "RasLock.h"
#include "SimLog.h"

namespace {
const wchar_t kMutexName[] = L"NolvexSimRasapi32";
const DWORD kLockWaitMs = 10000;
}  // namespace

RasLock::RasLock() : m_hMutex(CreateMutexW(nullptr, FALSE, kMutexName)), m_bHeld(false)
{
    if (!m_hMutex) {
        SimLog::ApiError(L"CreateMutexW", GetLastError());
        return;
    }
    DWORD dwWait = WaitForSingleObject(m_hMutex.Get(), kLockWaitMs);
    // An owner that ended without releasing leaves the files as whole as ever (each is replaced whole).
    m_bHeld = dwWait == WAIT_OBJECT_0 || dwWait == WAIT_ABANDONED;
    if (!m_bHeld) SimLog::ApiError(L"WaitForSingleObject", dwWait == WAIT_TIMEOUT ? WAIT_TIMEOUT : GetLastError());
}

RasLock::~RasLock()
{
    if (m_bHeld && !ReleaseMutex(m_hMutex.Get())) SimLog::ApiError(L"ReleaseMutex", GetLastError());
}
