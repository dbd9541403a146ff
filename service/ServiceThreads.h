#pragma once
// Worker threads of the service host and the waits they share.
//
// Client worker (ThreadFunc): started by the main loop for each accepted pipe client; owns the
// ClientPipeData and the pipe instance in it, releases the instance as soon as the one message is
// read, and owns (closes) its own thread handle, which the message analysis uses to wake it.
// Logon worker (ThreadLogOn): started by the main loop for each logon; reads g_hLogonToken,
// which stays owned by the control handler.
#include <windows.h>

struct ClientPipeData {
    HANDLE hPipe;
};

// How long a connected client may stay silent before its instance is dropped.
const DWORD NC_CLIENT_IDLE_LIMIT_MS = 10000;

// Waits without time limit on (hEvent, g_hEventControl, g_hEventLogon): 1 when hEvent comes
// first, 0 when stop or logon wins or the wait fails.
int WaitEvent(HANDLE hEvent);

unsigned __stdcall ThreadFunc(void *pClientPipeData);
unsigned __stdcall ThreadLogOn(void *hUserToken);
