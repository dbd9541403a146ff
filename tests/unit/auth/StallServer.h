#pragma once
// A loopback HTTP server inside the test program that answers every request with headers and
// then holds the body back until it is stopped: the stalled server of the cancel cases. A request
// for "/silent" gets not even the headers.
#include "ScopedHandle.h"
#include <winsock2.h>
#include <windows.h>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

class StallServer {
public:
    StallServer();
    ~StallServer();
    bool Start();
    void Stop();
    std::wstring URL(const std::wstring &strPath) const;
    long Connections() const { return m_lConnections; }
    // True once a request has been read (within dwLimitMs).
    bool WaitForRequest(DWORD dwLimitMs);

private:
    void AcceptLoop();
    void Serve(SOCKET s);

    SOCKET m_listen;
    unsigned short m_nPort;
    std::atomic<long> m_lConnections;
    std::atomic<bool> m_bStop;
    ScopedHandle m_hStop;
    ScopedHandle m_hRequestSeen;
    std::thread m_acceptor;
    std::vector<std::thread> m_served;
};
