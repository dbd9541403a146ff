#pragma once
// Every worker thread the main loop starts, kept until it has ended. Owned and used by the service
// main thread only (start, reap, the bounded wait of the stop path), so it has no lock.
//
// A worker is started suspended; its own thread handle (a duplicate the worker owns) is written
// into its start record before it runs, so no hand-off between the threads is needed.
#include "ScopedHandle.h"
#include <windows.h>
#include <vector>

class WorkerTable {
public:
    typedef unsigned(__stdcall *WorkerFunc)(void *);

    WorkerTable() = default;
    WorkerTable(const WorkerTable &) = delete;
    WorkerTable &operator=(const WorkerTable &) = delete;

    // Starts pfnWorker with pArg; *phOwnThread (inside pArg's record) receives the worker's own
    // handle first. true when the thread runs: pArg then belongs to it. false (error logged): the
    // thread never ran and pArg still belongs to the caller.
    bool Start(const wchar_t *pszKind, WorkerFunc pfnWorker, void *pArg, ScopedHandle *phOwnThread);
    // Forgets the workers that have ended; returns how many still run.
    size_t Reap();
    // Waits for every worker, at most dwLimitMs in all, and logs each one's end. Returns how many
    // still run afterwards.
    size_t WaitAll(DWORD dwLimitMs);
    size_t Count() const { return m_vecWorkers.size(); }

private:
    struct Worker {
        ScopedHandle hThread;
        DWORD dwThreadId;
        const wchar_t *pszKind;
    };
    static bool HasEnded(const Worker &worker, DWORD dwWaitMs);

    std::vector<Worker> m_vecWorkers;
};
