#pragma once
// The process of a client that a worker waits for (a watch or an update), opened once by its id
// with SYNCHRONIZE. Holding the handle pins the process: a later process can never take over the
// id while the worker waits. Where the process cannot be opened, waits end by time only and the
// caller falls back to checking the id.
#include "ScopedHandle.h"
#include <windows.h>

class ClientProcess {
public:
    enum WaitResult { PROCESS_ENDED, STOP_REQUESTED, WOKEN, TIME_UP };

    explicit ClientProcess(DWORD dwProcessId);
    ClientProcess(const ClientProcess &) = delete;
    ClientProcess &operator=(const ClientProcess &) = delete;

    DWORD GetId() const { return m_dwProcessId; }
    bool IsOpen() const { return m_hProcess.IsValid(); }
    // Waits up to dwTimeoutMs (INFINITE allowed only while IsOpen or a stop event exists) for the
    // process to end, the service's stop request (g_hEventControl) or, when bAlertable, an
    // asynchronous procedure call. A failing wait is logged and turns into the fallback (the
    // handle is dropped); it reports TIME_UP.
    WaitResult Wait(DWORD dwTimeoutMs, bool bAlertable);

private:
    DWORD m_dwProcessId;
    ScopedHandle m_hProcess;
};
