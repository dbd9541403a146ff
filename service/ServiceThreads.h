#pragma once
// Worker threads of the service host and the waits they share.
//
// Every worker is started by the main loop through its WorkerTable, which the stop path waits on.
// A worker gets everything it needs in its start record and owns the record:
// - client worker (ThreadFunc): one per accepted pipe client; reads the one message, learns who
//   sent it, gives the instance back to g_pipeInstances at once and runs the message analysis with
//   its own thread handle (a MonitorStart keeps it for the client's life; a MonitorEnd wakes it).
// - logon worker (ThreadLogOn): one per logon; restores the proxy of the token's user.
// Every wait of a worker includes g_hEventControl.
#include "ScopedHandle.h"
#include <windows.h>

struct ClientPipeData {
    ScopedFileHandle hPipe;    // the connected instance, given back to the pool after the read
    ScopedHandle hOwnThread;   // the worker's own thread handle, for the wake-up of a watch
};

struct LogonWorkerData {
    ScopedHandle hToken;       // the logged-on user's token (a duplicate of g_hLogonToken's)
    ScopedHandle hOwnThread;
};

// How long a connected client may stay silent before its instance is dropped.
const DWORD NC_CLIENT_IDLE_LIMIT_MS = 10000;

// Waits without time limit on (hEvent, g_hEventControl, g_hEventLogon): 1 when hEvent comes
// first, 0 when stop or logon wins or the wait fails.
int WaitEvent(HANDLE hEvent);

unsigned __stdcall ThreadFunc(void *pClientPipeData);
unsigned __stdcall ThreadLogOn(void *pLogonWorkerData);
