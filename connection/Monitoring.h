#pragma once
// The client side of the monitor service: is it running (asked of the service control manager),
// and one message to its pipe. No state of its own beyond where it looks; every call builds and
// frees what it uses, so one object may be used from any thread.
#include <windows.h>
#include <string>

class Monitoring {
public:
    static const wchar_t SERVICE_NAME[];   // "NolvexConnectMonitor"
    static const wchar_t PIPE_NAME[];      // "\\.\pipe\NolvexConnectMonitor"
    // How long a busy or absent pipe is tried again before the message is given up. The service
    // keeps its pipe listening, so a longer gap means it has stopped or hangs.
    static constexpr DWORD PIPE_RETRY_LIMIT_MS = 5000;
    // Pause between two tries while the pipe does not exist (WaitNamedPipe returns at once then).
    static constexpr DWORD PIPE_ABSENT_PAUSE_MS = 100;
    // The service reads at most 1023 bytes: the longest text it takes whole.
    static constexpr size_t MAX_MESSAGE_CHARS = 511;

    // Where to look; the product uses the defaults, tests a pipe and a bound of their own.
    struct Seams {
        std::wstring strPipeName = PIPE_NAME;
        std::wstring strServiceName = SERVICE_NAME;
        DWORD dwRetryLimitMs = PIPE_RETRY_LIMIT_MS;
    };

    Monitoring();
    explicit Monitoring(const Seams &seams);

    // True when the service exists and its state is running.
    bool IsServiceRunning();
    // Sends "DoUpdate=<this process id>,<folder>". 0 when the service received it, else the
    // system error code (ERROR_PIPE_BUSY / ERROR_FILE_NOT_FOUND after the retries, ...).
    long SetUpdateNotification(const std::wstring &strUpdateFolder);
    // The whole message with its terminating zero; retries a busy or absent pipe for a few
    // seconds (WaitNamedPipe) before it gives up. 0 or the system error code.
    long NotificationExec(const std::wstring &strMessage);

private:
    // 0 and the service's state when found, ERROR_SERVICE_DOES_NOT_EXIST when not, else the error.
    DWORD FindServiceState(DWORD &dwState);
    DWORD ScanServices(SC_HANDLE hManager, DWORD &dwState);
    // 0 with the pipe open, or the error of the last try once the bound has passed.
    DWORD OpenPipe(HANDLE &hPipe);
    // Waits for a busy instance to come free or, for an absent pipe, a moment; at most dwRemainingMs.
    void WaitForPipe(DWORD dwOpenError, DWORD dwRemainingMs);
    DWORD WriteMessage(HANDLE hPipe, const std::wstring &strMessage);

    Seams m_seams;
};
