#pragma once
// g_pipeInstances: pipe instances whose client has been served. A worker disconnects its instance
// once it has the message and gives it back here; the main loop connects it again for the next
// client. Instances are never closed while the service runs, so the pipe's name never vanishes
// (a client then sees "busy" at worst, never "not found"), and a returned instance sets the freed
// event, which wakes a main loop that found every instance busy.
// Shared by the main loop and the client workers; every access holds the pool's lock (a leaf).
#include "ScopedHandle.h"
#include "CriticalSection.h"
#include <windows.h>
#include <vector>

class PipeInstancePool {
public:
    PipeInstancePool();
    ~PipeInstancePool();
    PipeInstancePool(const PipeInstancePool &) = delete;
    PipeInstancePool &operator=(const PipeInstancePool &) = delete;

    // Starts taking instances back; false (error logged) when the freed event cannot be made.
    bool Open();
    // Closes every pooled instance; instances given back later are closed at once.
    void Close();
    // Auto-reset, set whenever an instance comes back (null before Open and after Close).
    HANDLE FreedEvent();
    // A pooled instance, or an empty owner.
    ScopedFileHandle Take();
    // Takes a disconnected instance back (closes it when the pool is closed).
    void Return(ScopedFileHandle hPipe);
    size_t Size();

private:
    CriticalSection m_cs;
    ScopedHandle m_hFreed;
    std::vector<ScopedFileHandle> m_vecFree;
    bool m_bOpen;
};

extern PipeInstancePool g_pipeInstances;
