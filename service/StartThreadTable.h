#pragma once
// g_hStartThread: user name -> the client worker that watches that user's client. Shared by all
// client workers; every access holds the table's lock, so a MonitorEnd never queues a wake-up to
// a worker that has already left its watch (and closed its handle).
#include "CriticalSection.h"
#include <windows.h>
#include <map>
#include <string>

class StartThreadTable {
public:
    StartThreadTable() = default;
    StartThreadTable(const StartThreadTable &) = delete;
    StartThreadTable &operator=(const StartThreadTable &) = delete;

    // Stores the handle unless the user already has an entry; true when stored.
    bool InsertIfAbsent(const std::wstring &strUser, HANDLE hThread);
    // Calls pfnWake with the user's handle (null when there is none) and erases the entry, both
    // under the lock. Returns what pfnWake returned.
    int WakeAndErase(const std::wstring &strUser, int (*pfnWake)(HANDLE));
    // A watch that ends removes its own entry (only if the entry still holds its handle).
    void EraseIfOwned(const std::wstring &strUser, HANDLE hThread);
    HANDLE Find(const std::wstring &strUser);
    size_t Size();

private:
    CriticalSection m_cs;
    std::map<std::wstring, HANDLE> m_mapThreads;
};

extern StartThreadTable g_hStartThread;
