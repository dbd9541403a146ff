#pragma once
// Process check of the watched client and the wake-up of a watching worker.
#include <windows.h>

class MonitorStart {
public:
    // 1 while a process with exactly this id exists, 0 otherwise (also on any failure).
    int ProcessCheck(DWORD dwProcessId);
    // Queues a no-op asynchronous procedure call to the thread (nothing for a null handle); 0.
    int QueueUser(HANDLE hThread);
};

// The wake-up call itself: its delivery ends the watcher's alertable wait.
void CALLBACK APCFunc(ULONG_PTR dwData);
