#include "UpdateGate.h"
#include "Log.h"

UpdateGate g_updateGate;

UpdateGate::UpdateGate() : m_hIdle(CreateEventW(nullptr, TRUE, TRUE, nullptr)), m_bBusy(false), m_dwProgress(0) {}

UpdateGate::~UpdateGate()
{
    if (m_hIdle != nullptr) CloseHandle(m_hIdle);
}

bool UpdateGate::TryEnter(const wchar_t *pszWhat)
{
    CriticalSection::Lock lock(m_cs);
    if (m_bBusy) return false;
    m_bBusy = true;
    ++m_dwProgress;
    if (m_hIdle != nullptr && !ResetEvent(m_hIdle)) LOG_API_ERROR(L"ResetEvent", GetLastError());
    return true;
}

void UpdateGate::Leave()
{
    CriticalSection::Lock lock(m_cs);
    m_bBusy = false;
    ++m_dwProgress;
    if (m_hIdle != nullptr && !SetEvent(m_hIdle)) LOG_API_ERROR(L"SetEvent", GetLastError());
}

void UpdateGate::Step(const wchar_t *pszStep)
{
    CriticalSection::Lock lock(m_cs);
    ++m_dwProgress;
}

bool UpdateGate::IsBusy()
{
    CriticalSection::Lock lock(m_cs);
    return m_bBusy;
}

DWORD UpdateGate::GetProgress()
{
    CriticalSection::Lock lock(m_cs);
    return m_dwProgress;
}

bool UpdateGate::WaitIdle(DWORD dwMs)
{
    if (m_hIdle == nullptr) return !IsBusy();
    DWORD dwWait = WaitForSingleObject(m_hIdle, dwMs);
    if (dwWait == WAIT_FAILED) LOG_API_ERROR(L"WaitForSingleObject", GetLastError());
    return dwWait == WAIT_OBJECT_0;
}
