#include "PipeClient.h"
#include "Log.h"

const wchar_t *const PipeClient::kMonitorPipe = L"\\\\.\\pipe\\NolvexConnectMonitor";

namespace {
const DWORD kRetryPauseMs = 50;
}  // namespace

PipeClient::PipeClient(const std::wstring &strPipeName, DWORD dwBusyTimeoutMs, bool bMissingFails)
    : m_strPipeName(strPipeName), m_dwBusyTimeoutMs(dwBusyTimeoutMs), m_bMissingFails(bMissingFails)
{
}

DWORD PipeClient::Open()
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] pipe is %s, busy time-out %lu ms", m_strPipeName.c_str(), m_dwBusyTimeoutMs);
    DWORD dwStart = GetTickCount();
    DWORD dwError = TryCreate();
    bool bSeen = dwError == ERROR_PIPE_BUSY && !m_bMissingFails;
    // Once the pipe was seen busy, a moment without any instance (the server closing one and
    // creating the next) is part of the wait, not the end of it.
    while (dwError == ERROR_PIPE_BUSY || (bSeen && dwError == ERROR_FILE_NOT_FOUND)) {
        DWORD dwElapsed = GetTickCount() - dwStart;
        if (dwElapsed >= m_dwBusyTimeoutMs) break;
        DWORD dwWaitError = WaitForInstance(m_dwBusyTimeoutMs - dwElapsed);
        if (m_bMissingFails && dwWaitError == ERROR_FILE_NOT_FOUND) {
            dwError = dwWaitError;
            break;
        }
        dwError = TryCreate();
    }
    if (dwError != ERROR_SUCCESS) LOG_API_ERROR(L"CreateFileW", dwError);
    return dwError;
}

DWORD PipeClient::TryCreate()
{
    LOGWRITE(LOG_DEBUG, L"[API Call] CreateFileW %s", m_strPipeName.c_str());
    m_hPipe.Reset(CreateFileW(m_strPipeName.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    return m_hPipe ? ERROR_SUCCESS : GetLastError();
}

DWORD PipeClient::WaitForInstance(DWORD dwRemainingMs)
{
    // 0 would mean "the pipe's default time-out" to WaitNamedPipe.
    if (WaitNamedPipeW(m_strPipeName.c_str(), dwRemainingMs == 0 ? 1 : dwRemainingMs)) return ERROR_SUCCESS;
    DWORD dwError = GetLastError();
    if (dwError == ERROR_SEM_TIMEOUT) return dwError;
    // The instance went away while we waited (Wine then reports 676) or none exists right now.
    LOGWRITE(LOG_WARN, L"[API Return] WaitNamedPipeW rc:[%ld], trying again", static_cast<long>(dwError));
    Sleep(kRetryPauseMs);
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
