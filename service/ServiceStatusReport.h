#pragma once
// Every status report of the service goes through here: the service main thread (start-up, stop)
// and the dispatcher thread (HandlerEx) both report, so the record is written under one lock.
// A failing start-up or loop step leaves its service-specific exit code, which every later report
// carries (Win32 exit code ERROR_SERVICE_SPECIFIC_ERROR).
#include "CriticalSection.h"
#include <windows.h>

// What failed, as the service manager shows it in the service-specific exit code.
enum ServiceExitCode : DWORD {
    NC_EXIT_OK = 0,
    NC_EXIT_PIPE_SECURITY = 1,     // the pipe's security descriptor could not be built
    NC_EXIT_LOOP_EVENTS = 2,       // the stop, logon or connect event could not be created
    NC_EXIT_PIPE_INSTANCE = 3,     // no pipe instance could be created or connected
    NC_EXIT_LOOP_WAIT = 4,         // the main loop's wait failed
    NC_EXIT_WORKER_START = 5,      // a worker thread could not be started
    NC_EXIT_WORKERS_RUNNING = 6,   // workers were still running when the stop wait ran out
};

class ServiceStatusReport {
public:
    // Stop, shutdown and session change (0x85).
    static constexpr DWORD ACCEPTED_CONTROLS =
        SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN | SERVICE_ACCEPT_SESSIONCHANGE;

    ServiceStatusReport() = default;
    ServiceStatusReport(const ServiceStatusReport &) = delete;
    ServiceStatusReport &operator=(const ServiceStatusReport &) = delete;

    // Sets the state and reports it (nothing is sent while g_hServiceStatus is null).
    void Report(DWORD dwState, DWORD dwCheckPoint, DWORD dwWaitHint);
    // Reports the current record again (interrogate).
    void ReportCurrent();
    // The first failure is kept: it is the cause, later failures follow from it.
    void SetExitCode(ServiceExitCode code);
    DWORD GetExitCode();
    // Back to a clean record (a new run of the service main).
    void Reset();

private:
    void SendLocked();

    CriticalSection m_cs;
};

extern ServiceStatusReport g_statusReport;
