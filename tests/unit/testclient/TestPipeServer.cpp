#include "TestPipeServer.h"
#include <atomic>
#include <chrono>

TestPipeServer::TestPipeServer(const std::wstring &strName, DWORD dwMaxInstances)
    : m_strName(strName), m_dwMaxInstances(dwMaxInstances), m_hStop(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_hListening(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
}

TestPipeServer::~TestPipeServer() { Stop(); }

std::wstring TestPipeServer::UniqueName(const wchar_t *pszTag)
{
    static std::atomic<int> s_iCounter(0);
    return L"\\\\.\\pipe\\NolvexTest-" + std::wstring(pszTag) + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(++s_iCounter);
}

HANDLE TestPipeServer::CreateInstance() const
{
    return CreateNamedPipeW(m_strName.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED,
                            PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, m_dwMaxInstances, 512, 512, 1000, nullptr);
}

bool TestPipeServer::Start()
{
    if (!m_hStop || !m_hListening) return false;
    HANDLE hFirst = CreateInstance();
    if (hFirst == INVALID_HANDLE_VALUE) return false;
    m_thread = std::thread(&TestPipeServer::Serve, this, hFirst);
    // Clients started after this find an instance that listens.
    return WaitForSingleObject(m_hListening.Get(), 10000) == WAIT_OBJECT_0;
}

void TestPipeServer::Stop()
{
    if (!m_thread.joinable()) return;
    SetEvent(m_hStop.Get());
    m_thread.join();
}

void TestPipeServer::Serve(HANDLE hFirst)
{
    ScopedFileHandle hPipe(hFirst);
    while (hPipe && AcceptOne(hPipe.Get())) {
        DisconnectNamedPipe(hPipe.Get());
        // A fresh instance for the next client, as the monitor does; the old one goes first, or a
        // one-instance pipe could not make the next.
        hPipe.Reset();
        hPipe.Reset(CreateInstance());
    }
}

bool TestPipeServer::AcceptOne(HANDLE hPipe)
{
    ScopedHandle hEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    OVERLAPPED ov = {};
    ov.hEvent = hEvent.Get();
    DWORD dwBytes = 0;
    BOOL bConnected = ConnectNamedPipe(hPipe, &ov);
    DWORD dwError = GetLastError();
    SetEvent(m_hListening.Get());
    if (!bConnected) {
        // Already connected, or connected and gone again (ERROR_NO_DATA): what the client wrote
        // can still be read in both cases.
        if (dwError == ERROR_IO_PENDING) {
            if (!WaitOverlapped(hPipe, ov, dwBytes)) return false;
        } else if (dwError != ERROR_PIPE_CONNECTED && dwError != ERROR_NO_DATA) {
            return false;
        }
    }
    std::string strBytes;
    if (!ReadAll(hPipe, strBytes)) return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_vecMessages.push_back(strBytes);
    return true;
}

bool TestPipeServer::ReadAll(HANDLE hPipe, std::string &strBytes)
{
    ScopedHandle hEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    for (;;) {
        char buf[1024];
        OVERLAPPED ov = {};
        ov.hEvent = hEvent.Get();
        DWORD dwBytes = 0;
        if (!ReadFile(hPipe, buf, sizeof(buf), &dwBytes, &ov)) {
            DWORD dwError = GetLastError();
            if (dwError == ERROR_BROKEN_PIPE) return true;   // the client closed: message complete
            if (dwError != ERROR_IO_PENDING) return false;
            if (!WaitOverlapped(hPipe, ov, dwBytes)) return GetLastError() == ERROR_BROKEN_PIPE;
        }
        strBytes.append(buf, dwBytes);
    }
}

bool TestPipeServer::WaitOverlapped(HANDLE hPipe, OVERLAPPED &ov, DWORD &dwBytes)
{
    HANDLE ahWait[2] = {ov.hEvent, m_hStop.Get()};
    if (WaitForMultipleObjects(2, ahWait, FALSE, INFINITE) != WAIT_OBJECT_0) {
        CancelIo(hPipe);
        GetOverlappedResult(hPipe, &ov, &dwBytes, TRUE);
        SetLastError(ERROR_OPERATION_ABORTED);
        return false;
    }
    return GetOverlappedResult(hPipe, &ov, &dwBytes, FALSE) != FALSE;
}

std::vector<std::string> TestPipeServer::Messages() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_vecMessages;
}

bool TestPipeServer::WaitForMessages(size_t nCount, DWORD dwTimeoutMs) const
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(dwTimeoutMs);
    while (Messages().size() < nCount) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        Sleep(20);
    }
    return true;
}
