#include "ClientProcess.h"
#include "Log.h"
#include "ServiceGlobals.h"

ClientProcess::ClientProcess(DWORD dwProcessId) : m_dwProcessId(dwProcessId)
{
    m_hProcess.Reset(OpenProcess(SYNCHRONIZE, FALSE, dwProcessId));
    if (!m_hProcess) {
        DWORD dwErr = GetLastError();
        LOGWRITE(LOG_WARN, L"The client process %lu cannot be opened (error %lu); its id is checked at each tick.",
                 dwProcessId, dwErr);
    }
}

ClientProcess::WaitResult ClientProcess::Wait(DWORD dwTimeoutMs, bool bAlertable)
{
    HANDLE ahWait[2];
    DWORD dwCount = 0;
    const DWORD dwStopIndex = g_hEventControl != nullptr ? dwCount : MAXIMUM_WAIT_OBJECTS;
    if (g_hEventControl != nullptr) ahWait[dwCount++] = g_hEventControl;
    const DWORD dwProcessIndex = m_hProcess ? dwCount : MAXIMUM_WAIT_OBJECTS;
    if (m_hProcess) ahWait[dwCount++] = m_hProcess.Get();
    DWORD dwWait = dwCount > 0 ? WaitForMultipleObjectsEx(dwCount, ahWait, FALSE, dwTimeoutMs, bAlertable)
                               : SleepEx(dwTimeoutMs, bAlertable);
    if (dwWait == WAIT_IO_COMPLETION) return WOKEN;
    if (dwWait == WAIT_OBJECT_0 + dwStopIndex) return STOP_REQUESTED;
    if (dwWait == WAIT_OBJECT_0 + dwProcessIndex) return PROCESS_ENDED;
    if (dwWait == WAIT_FAILED) {
        LOG_API_ERROR(L"WaitForMultipleObjectsEx", GetLastError());
        m_hProcess.Reset();
        // Never spin: the next wait of the caller runs on the stop event (or sleeps) only.
    }
    return TIME_UP;
}
