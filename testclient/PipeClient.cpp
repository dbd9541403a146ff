#include "PipeClient.h"
#include "Log.h"

const wchar_t *const PipeClient::kMonitorPipe = L"\\\\.\\pipe\\NolvexConnectMonitor";

PipeClient::PipeClient(const std::wstring &strPipeName, DWORD dwBusyTimeoutMs)
    : m_strPipeName(strPipeName), m_dwBusyTimeoutMs(dwBusyTimeoutMs)
{
}

DWORD PipeClient::Open()
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] pipe is %s, busy time-out %lu ms", m_strPipeName.c_str(), m_dwBusyTimeoutMs);
    DWORD dwStart = GetTickCount();
    for (;;) {
        DWORD dwError = TryCreate();
        if (dwError != ERROR_PIPE_BUSY) return dwError;
        // Another client holds every instance: wait for the server's next one, then race for it.
        DWORD dwElapsed = GetTickCount() - dwStart;
        if (dwElapsed >= m_dwBusyTimeoutMs) return ERROR_PIPE_BUSY;
        dwError = WaitForInstance(m_dwBusyTimeoutMs - dwElapsed);
        if (dwError != ERROR_SUCCESS) return dwError;
    }
}

DWORD PipeClient::TryCreate()
{
    LOGWRITE(LOG_DEBUG, L"[API Call] CreateFileW %s", m_strPipeName.c_str());
    m_hPipe.Reset(CreateFileW(m_strPipeName.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (m_hPipe) return ERROR_SUCCESS;
    DWORD dwError = GetLastError();
    if (dwError != ERROR_PIPE_BUSY) LOG_API_ERROR(L"CreateFileW", dwError);
    return dwError;
}

DWORD PipeClient::WaitForInstance(DWORD dwRemainingMs)
{
    if (WaitNamedPipeW(m_strPipeName.c_str(), dwRemainingMs)) return ERROR_SUCCESS;
    DWORD dwError = GetLastError();
    if (dwError == ERROR_SEM_TIMEOUT) return ERROR_PIPE_BUSY;   // still busy when the time ran out
    LOG_API_ERROR(L"WaitNamedPipeW", dwError);
    return dwError;
}

DWORD PipeClient::Write(const std::string &strBytes)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] %lu bytes", static_cast<unsigned long>(strBytes.size()));
    if (!m_hPipe) return ERROR_INVALID_HANDLE;
    DWORD dwWritten = 0;
    if (!WriteFile(m_hPipe.Get(), strBytes.data(), static_cast<DWORD>(strBytes.size()), &dwWritten, nullptr)) {
        DWORD dwError = GetLastError();
        LOG_API_ERROR(L"WriteFile", dwError);
        return dwError;
    }
    if (dwWritten != strBytes.size()) {
        LOGWRITE(LOG_ERROR, L"[OutputInfo] short write: %lu of %lu bytes", dwWritten,
                 static_cast<unsigned long>(strBytes.size()));
        return ERROR_WRITE_FAULT;
    }
    return ERROR_SUCCESS;
}
