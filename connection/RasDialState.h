#pragma once
// The dial state of the process: one RAS dial at a time. It owns the connection handle of the
// dial, the error the callback reported and the two manual-reset events ("DialEvent" and
// "FuncEvent"); one lock guards them all, so the callback and a cancel on other threads never touch
// an event that the dialling thread has closed.
#include <windows.h>
#include "RasHeaders.h"

class RasDialState {
public:
    static RasDialState &Instance();

    // Claims the process's one dial; false when another dial holds it.
    bool Claim();
    void Release();
    bool IsClaimed();

    // Makes both events (closing any left from an earlier dial); false with the system error.
    bool CreateEvents(DWORD &dwError);
    void CloseEvents();
    // Waits for the dial event; WAIT_OBJECT_0, WAIT_TIMEOUT or WAIT_FAILED.
    DWORD WaitDial(DWORD dwLimitMs);
    // Signals the dial event (and the callback event); false when no dial is waiting.
    bool SignalDial();
    bool IsDialSignalled();
    void SignalFunc();

    void Reset();
    HRASCONN Handle();
    void SetHandle(HRASCONN hConn);
    DWORD Error();
    void SetError(DWORD dwError);
    // The callback saw RASCS_Connected.
    bool IsConnected();
    void SetConnected();

private:
    RasDialState();
    ~RasDialState();
    RasDialState(const RasDialState &) = delete;
    RasDialState &operator=(const RasDialState &) = delete;

    CRITICAL_SECTION m_lock;
    bool m_bClaimed;
    HRASCONN m_hConn;
    DWORD m_dwError;
    bool m_bConnected;
    HANDLE m_hDialEvent;
    HANDLE m_hFuncEvent;
};
