#pragma once
// A private pipe instance and a client for it, for tests of the pipe server's pieces.
#include "ScopedHandle.h"
#include <windows.h>
#include <string>
#include <thread>

class TestPipe {
public:
    explicit TestPipe(SECURITY_ATTRIBUTES *pSecurity = nullptr)
    {
        m_strName = L"\\\\.\\pipe\\NolvexTest-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                    std::to_wstring(++s_iCounter);
        m_hServer.Reset(CreateNamedPipeW(m_strName.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED,
                                         PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 10, 512, 512, 1000,
                                         pSecurity));
        m_hConnected.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        m_ov.hEvent = m_hConnected.Get();
        if (!ConnectNamedPipe(m_hServer.Get(), &m_ov) && GetLastError() == ERROR_PIPE_CONNECTED) {
            SetEvent(m_hConnected.Get());
        }
    }
    HANDLE Server() const { return m_hServer.Get(); }
    const std::wstring &Name() const { return m_strName; }

    // Opens the client end (for writing, as the product's client does) and waits for the connect.
    HANDLE OpenClient()
    {
        m_hClient.Reset(CreateFileW(m_strName.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        WaitForSingleObject(m_hConnected.Get(), 5000);
        return m_hClient.Get();
    }
    bool WriteBytes(const void *pData, DWORD dwBytes)
    {
        DWORD dwWritten = 0;
        return WriteFile(m_hClient.Get(), pData, dwBytes, &dwWritten, nullptr) && dwWritten == dwBytes;
    }
    bool WriteText(const std::wstring &str)
    {
        return WriteBytes(str.data(), static_cast<DWORD>(str.size() * sizeof(wchar_t)));
    }
    void CloseClient() { m_hClient.Reset(); }
    // What the service does once it has its message: the client's pending write then ends.
    void DisconnectServer() { DisconnectNamedPipe(m_hServer.Get()); }

private:
    static int s_iCounter;
    std::wstring m_strName;
    ScopedFileHandle m_hServer;
    ScopedFileHandle m_hClient;
    ScopedHandle m_hConnected;
    OVERLAPPED m_ov = {};
};
