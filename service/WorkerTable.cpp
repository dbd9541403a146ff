#include "WorkerTable.h"
#include "Log.h"
#include <process.h>
#include <algorithm>

namespace {
const DWORD kResumeFailed = static_cast<DWORD>(-1);

DWORD Remaining(DWORD dwStart, DWORD dwLimitMs)
{
    DWORD dwElapsed = GetTickCount() - dwStart;
    return dwElapsed < dwLimitMs ? dwLimitMs - dwElapsed : 0;
}
}  // namespace

bool WorkerTable::Start(const wchar_t *pszKind, WorkerFunc pfnWorker, void *pArg, ScopedHandle *phOwnThread)
{
    unsigned uThreadId = 0;
    ScopedHandle hThread(
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, pfnWorker, pArg, CREATE_SUSPENDED, &uThreadId)));
    if (!hThread) {
        LOG_API_ERROR(L"CreateThread", GetLastError());
        return false;
    }
    // Without its own handle a worker still runs; it only cannot be woken by a MonitorEnd.
    if (!DuplicateHandle(GetCurrentProcess(), hThread.Get(), GetCurrentProcess(), phOwnThread->Receive(), 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
        LOG_API_ERROR(L"DuplicateHandle", GetLastError());
        phOwnThread->Reset();
    }
    if (ResumeThread(hThread.Get()) == kResumeFailed) {
        LOG_API_ERROR(L"ResumeThread", GetLastError());
        // It never ran a line of its own code: ending it here leaves nothing half done.
        if (!TerminateThread(hThread.Get(), 1)) LOG_API_ERROR(L"TerminateThread", GetLastError());
        WaitForSingleObject(hThread.Get(), INFINITE);
        phOwnThread->Reset();
        return false;
    }
    m_vecWorkers.push_back(Worker{std::move(hThread), static_cast<DWORD>(uThreadId), pszKind});
    LOGWRITE(LOG_DEBUG, L"Worker %lu (%s) started; %lu workers known.", static_cast<DWORD>(uThreadId), pszKind,
             static_cast<unsigned long>(m_vecWorkers.size()));
    return true;
}

bool WorkerTable::HasEnded(const Worker &worker, DWORD dwWaitMs)
{
    DWORD dwWait = WaitForSingleObject(worker.hThread.Get(), dwWaitMs);
    if (dwWait == WAIT_FAILED) LOG_API_ERROR(L"WaitForSingleObject", GetLastError());
    return dwWait == WAIT_OBJECT_0;
}

size_t WorkerTable::Reap()
{
    m_vecWorkers.erase(std::remove_if(m_vecWorkers.begin(), m_vecWorkers.end(),
                                      [](const Worker &worker) { return HasEnded(worker, 0); }),
                       m_vecWorkers.end());
    return m_vecWorkers.size();
}

size_t WorkerTable::WaitAll(DWORD dwLimitMs)
{
    LOGWRITE(LOG_INFO, L"Waiting for %lu workers to end (at most %lu ms).",
             static_cast<unsigned long>(m_vecWorkers.size()), dwLimitMs);
    DWORD dwStart = GetTickCount();
    std::vector<Worker> vecRunning;
    for (Worker &worker : m_vecWorkers) {
        if (HasEnded(worker, Remaining(dwStart, dwLimitMs))) {
            LOGWRITE(LOG_INFO, L"Worker %lu (%s) has ended.", worker.dwThreadId, worker.pszKind);
        } else {
            LOGWRITE(LOG_WARN, L"Worker %lu (%s) did not end within %lu ms.", worker.dwThreadId, worker.pszKind,
                     dwLimitMs);
            vecRunning.push_back(std::move(worker));
        }
    }
    m_vecWorkers.swap(vecRunning);
    LOGWRITE(LOG_INFO, L"Workers still running: %lu.", static_cast<unsigned long>(m_vecWorkers.size()));
    return m_vecWorkers.size();
}
