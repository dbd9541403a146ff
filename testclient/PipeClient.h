#pragma once
// The client end of the monitor pipe: connect (waiting while every instance is busy), write one
// message, close. The service never answers on the pipe.
#include "ScopedHandle.h"
#include <windows.h>
#include <string>

class PipeClient {
public:
    static const wchar_t *const kMonitorPipe;   // "\\.\pipe\NolvexConnectMonitor"

    // bMissingFails: a pipe seen busy that then does not exist ends the wait with that error.
    PipeClient(const std::wstring &strPipeName, DWORD dwBusyTimeoutMs, bool bMissingFails = false);

    // ERROR_SUCCESS, or the error of the failing call. A pipe whose instances stay busy for the
    // whole time-out gives ERROR_PIPE_BUSY; a pipe that does not exist fails at once.
    DWORD Open();
    // Writes the bytes in one call; the error of the write, or ERROR_WRITE_FAULT for a short write.
    DWORD Write(const std::string &strBytes);
    void Close() { m_hPipe.Reset(); }
    bool IsOpen() const { return m_hPipe.IsValid(); }

private:
    DWORD TryCreate();
    // The error of the wait (ERROR_SUCCESS when an instance became free).
    DWORD WaitForInstance(DWORD dwRemainingMs);

    std::wstring m_strPipeName;
    DWORD m_dwBusyTimeoutMs;
    bool m_bMissingFails;
    ScopedFileHandle m_hPipe;
};
