#include "StallServer.h"
#include <ws2tcpip.h>
#include <cstring>

namespace {
const char kHeaders[] = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\nContent-Type: text/plain\r\n\r\nfirst bytes ";
const DWORD kStallLimitMs = 30000;
const int kRequestBufferBytes = 4096;
const char kSilentPath[] = " /silent ";
}   // namespace

StallServer::StallServer() : m_listen(INVALID_SOCKET), m_nPort(0), m_lConnections(0), m_bStop(false)
{
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    m_hStop.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    m_hRequestSeen.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

StallServer::~StallServer()
{
    Stop();
    WSACleanup();
}

bool StallServer::Start()
{
    m_listen = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (m_listen == INVALID_SOCKET) return false;
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int iLength = sizeof(addr);
    if (bind(m_listen, reinterpret_cast<sockaddr *>(&addr), sizeof(addr)) != 0 || listen(m_listen, SOMAXCONN) != 0 ||
        getsockname(m_listen, reinterpret_cast<sockaddr *>(&addr), &iLength) != 0)
        return false;
    m_nPort = ntohs(addr.sin_port);
    m_acceptor = std::thread([this]() { AcceptLoop(); });
    return true;
}

void StallServer::Stop()
{
    if (m_bStop.exchange(true)) return;
    SetEvent(m_hStop.Get());
    if (m_listen != INVALID_SOCKET) closesocket(m_listen);
    if (m_acceptor.joinable()) m_acceptor.join();
    for (std::thread &t : m_served) t.join();
}

bool StallServer::WaitForRequest(DWORD dwLimitMs)
{
    return WaitForSingleObject(m_hRequestSeen.Get(), dwLimitMs) == WAIT_OBJECT_0;
}

std::wstring StallServer::URL(const std::wstring &strPath) const
{
    return L"http://127.0.0.1:" + std::to_wstring(m_nPort) + strPath;
}

void StallServer::AcceptLoop()
{
    for (;;) {
        SOCKET s = accept(m_listen, nullptr, nullptr);
        if (s == INVALID_SOCKET) return;
        ++m_lConnections;
        m_served.emplace_back([this, s]() { Serve(s); });
    }
}

void StallServer::Serve(SOCKET s)
{
    char acRequest[kRequestBufferBytes + 1] = {};
    int iRead = recv(s, acRequest, kRequestBufferBytes, 0);
    SetEvent(m_hRequestSeen.Get());
    bool bSilent = iRead > 0 && strstr(acRequest, kSilentPath) != nullptr;
    if (!bSilent) send(s, kHeaders, static_cast<int>(sizeof(kHeaders) - 1), 0);
    WaitForSingleObject(m_hStop.Get(), kStallLimitMs);
    closesocket(s);
}
