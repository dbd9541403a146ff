#pragma once
// Process-wide state of the service host. The main loop (service main thread) creates the events;
// the control handler (dispatcher thread) sets g_hEventControl / g_hEventLogon and owns
// g_hLogonToken; the hand-off slots pass a new worker's own thread handle to that worker.
#include <windows.h>

extern SERVICE_STATUS_HANDLE g_hServiceStatus;
extern SERVICE_STATUS g_serviceStatus;

extern HANDLE g_hEventControl;   // manual, set once on stop or shutdown, never reset
extern HANDLE g_hEventLogon;     // manual, set on a session logon, reset by the main loop
extern HANDLE g_hLogonToken;     // token of the user of the last logon session

extern HANDLE g_hExcCliantThread;         // client hand-off: free (acts as a lock)
extern HANDLE g_hExcCliantThreadHandle;   // client hand-off: handle published
extern HANDLE g_hExcLogonThread;          // logon hand-off: free
extern HANDLE g_hExcLogonThreadHandle;    // logon hand-off: handle published
extern HANDLE volatile g_hThread;         // slot: client worker just started
extern HANDLE volatile g_hLogonThread;    // slot: logon worker just started

// The service's name, display name and pipe.
extern const wchar_t *const NC_SERVICE_NAME;
extern const wchar_t *const NC_PIPE_NAME;
