#pragma once
// A manual-reset event owned by Run and published in a process-wide variable for the other
// threads (g_hEventControl, g_hEventLogon). The variable is cleared before the event is closed.
#include "ScopedHandle.h"
#include <windows.h>

class PublishedEvent {
public:
    explicit PublishedEvent(HANDLE *phGlobal);
    ~PublishedEvent();
    PublishedEvent(const PublishedEvent &) = delete;
    PublishedEvent &operator=(const PublishedEvent &) = delete;

    // Creates the event (clear) and publishes it; false (error logged) when it cannot be created.
    bool Create();
    HANDLE Get() const { return m_hEvent.Get(); }

private:
    HANDLE *m_phGlobal;
    ScopedHandle m_hEvent;
};
