#pragma once
// A pipe server for the client's tests, made like the monitor's instances (inbound, byte mode,
// 512-byte buffers). Its thread accepts one client at a time and keeps every byte that client
// wrote until it closed its end.
#include "ScopedHandle.h"
#include <windows.h>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TestPipeServer {
public:
    explicit TestPipeServer(const std::wstring &strName, DWORD dwMaxInstances = 10);
    ~TestPipeServer();   // stops the thread

    // Returns once the first instance listens, so a client started afterwards is served.
    bool Start();
    void Stop();

    // Everything each client wrote, in the order the clients closed.
    std::vector<std::string> Messages() const;
    // Waits until at least nCount clients were served; false when the time ran out.
    bool WaitForMessages(size_t nCount, DWORD dwTimeoutMs) const;

    static std::wstring UniqueName(const wchar_t *pszTag);

private:
    HANDLE CreateInstance() const;
    void Serve(HANDLE hFirst);
    bool AcceptOne(HANDLE hPipe);
    bool ReadAll(HANDLE hPipe, std::string &strBytes);
    bool WaitOverlapped(HANDLE hPipe, OVERLAPPED &ov, DWORD &dwBytes);

    std::wstring m_strName;
    DWORD m_dwMaxInstances;
    ScopedHandle m_hStop;
    ScopedHandle m_hListening;   // set once the first ConnectNamedPipe is under way
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_vecMessages;
};
