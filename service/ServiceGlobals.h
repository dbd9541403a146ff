#pragma once
// Process-wide state of the service host. The main loop (service main thread) creates the events
// and publishes them here for as long as Run lasts; the control handler (dispatcher thread) sets
// g_hEventControl / g_hEventLogon. Lock order, where two are held: the status report's lock is
// never held while another is taken; g_hLogonToken's and the pipe pool's locks are leaves.
#include <windows.h>

extern SERVICE_STATUS_HANDLE g_hServiceStatus;
extern SERVICE_STATUS g_serviceStatus;   // written only through g_statusReport (ServiceStatusReport.h)

extern HANDLE g_hEventControl;   // manual, set once on stop or shutdown, never reset
extern HANDLE g_hEventLogon;     // manual, set on a session logon, reset by the main loop

// The waits whose length tests shorten. The product never changes these values; a test build of
// the service sets them once in its entry, before anything runs.
struct ServiceTiming {
    DWORD dwWatchIntervalMs;    // one wait of a client watch between two process checks
    DWORD dwLogonPollPauseMs;   // the pause between two start-up logon polls (counted as 1000 ms)
};
extern ServiceTiming g_serviceTiming;

// The service's name, display name and pipe.
extern const wchar_t *const NC_SERVICE_NAME;
extern const wchar_t *const NC_PIPE_NAME;
