#include "Monitoring.h"
#include "Log.h"
#include "OSInformation.h"
#include "ScopedHandle.h"
#include <memory>
#include <vector>

const wchar_t Monitoring::SERVICE_NAME[] = L"NolvexConnectMonitor";
const wchar_t Monitoring::PIPE_NAME[] = L"\\\\.\\pipe\\NolvexConnectMonitor";

namespace {
// The enumeration buffer of one EnumServicesStatus call; more services come in further calls.
const DWORD kEnumBufferBytes = 3600;
const DWORD kWin32Services = SERVICE_WIN32;         // 0x30: own and shared processes
const DWORD kEveryState = SERVICE_STATE_ALL;        // 3: active and inactive
const wchar_t kUpdateKeyword[] = L"DoUpdate";

bool IsRetriedOpenError(DWORD dwError)
{
    return dwError == ERROR_PIPE_BUSY || dwError == ERROR_FILE_NOT_FOUND;
}
}   // namespace

Monitoring::Monitoring() : Monitoring(Seams()) {}

Monitoring::Monitoring(const Seams &seams) : m_seams(seams) {}

bool Monitoring::IsServiceRunning()
{
    LOG_SCOPE();
    DWORD dwState = 0;
    DWORD dwResult = FindServiceState(dwState);
    const wchar_t *pszName = m_seams.strServiceName.c_str();
    if (dwResult == ERROR_SERVICE_DOES_NOT_EXIST) {
        LOGWRITE(LOG_WARN, L"Not Found %s from SCM", pszName);
        return false;
    }
    if (dwResult != ERROR_SUCCESS) return false;   // logged where it failed
    if (dwState == SERVICE_RUNNING) {
        LOGWRITE(LOG_INFO, L"Find %s, Service is Running.", pszName);
        return true;
    }
    LOGWRITE(LOG_WARN, L"Find %s, but Not Running. status[0x%08x]", pszName, static_cast<unsigned int>(dwState));
    return false;
}

DWORD Monitoring::FindServiceState(DWORD &dwState)
{
    LOGWRITE(LOG_DEBUG, L"[API Call] OpenSCManager SC_MANAGER_ENUMERATE_SERVICE");
    ScopedServiceHandle hManager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE));
    if (!hManager) {
        DWORD dwError = GetLastError();
        LOG_API_ERROR(L"OpenSCManager", dwError);
        return dwError;
    }
    return ScanServices(hManager.Get(), dwState);
}

DWORD Monitoring::ScanServices(SC_HANDLE hManager, DWORD &dwState)
{
    // DWORD-aligned for the records the call writes at its start.
    std::vector<DWORD> vecBuffer(kEnumBufferBytes / sizeof(DWORD));
    auto *pServices = reinterpret_cast<ENUM_SERVICE_STATUSW *>(vecBuffer.data());
    DWORD dwResume = 0;
    for (;;) {
        DWORD dwNeeded = 0, dwReturned = 0;
        BOOL bDone = EnumServicesStatusW(hManager, kWin32Services, kEveryState, pServices, kEnumBufferBytes,
                                         &dwNeeded, &dwReturned, &dwResume);
        DWORD dwError = bDone ? ERROR_SUCCESS : GetLastError();
        if (!bDone && dwError != ERROR_MORE_DATA) {
            LOG_API_ERROR(L"EnumServicesStatus", dwError);
            return dwError;
        }
        // A call that answers "more data" has still filled the buffer with whole records.
        for (DWORD i = 0; i < dwReturned; ++i) {
            if (pServices[i].lpServiceName != nullptr && m_seams.strServiceName == pServices[i].lpServiceName) {
                dwState = pServices[i].ServiceStatus.dwCurrentState;
                return ERROR_SUCCESS;
            }
        }
        if (bDone) return ERROR_SERVICE_DOES_NOT_EXIST;
        if (dwReturned == 0) {
            // Not even one record fits: the next call would answer the same.
            LOG_API_ERROR(L"EnumServicesStatus", dwError);
            return dwError;
        }
    }
}

long Monitoring::SetUpdateNotification(const std::wstring &strUpdateFolder)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] Update folder is [%s]", strUpdateFolder.c_str());
    std::unique_ptr<OSInformation> pInfo(CreateOSInformation());
    if (!pInfo) return ERROR_NOT_ENOUGH_MEMORY;   // logged by the factory
    std::wstring strMessage = std::wstring(kUpdateKeyword) + L"=" + pInfo->GetPID() + L"," + strUpdateFolder;
    long lResult = NotificationExec(strMessage);
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] SetUpdateNotification return is %ld", lResult);
    return lResult;
}

long Monitoring::NotificationExec(const std::wstring &strMessage)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] Message is [%s]", strMessage.c_str());
    if (strMessage.size() > MAX_MESSAGE_CHARS) {
        // The service would read only the start of it and act on a cut folder path.
        LOGWRITE(LOG_ERROR, L"The message has %lu characters; the service takes at most %lu. Not sent.",
                 static_cast<unsigned long>(strMessage.size()), static_cast<unsigned long>(MAX_MESSAGE_CHARS));
        return ERROR_INVALID_PARAMETER;
    }
    HANDLE hOpened = INVALID_HANDLE_VALUE;
    DWORD dwError = OpenPipe(hOpened);
    ScopedFileHandle hPipe(hOpened);
    if (dwError == ERROR_SUCCESS) dwError = WriteMessage(hPipe.Get(), strMessage);
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] NotificationExec return is %ld", static_cast<long>(dwError));
    return static_cast<long>(dwError);
}

DWORD Monitoring::OpenPipe(HANDLE &hPipe)
{
    const wchar_t *pszPipe = m_seams.strPipeName.c_str();
    DWORD dwStart = GetTickCount();
    DWORD dwLastLogged = ERROR_SUCCESS;
    for (;;) {
        LOGWRITE(LOG_DEBUG, L"[API Call] CreateFile %s", pszPipe);
        hPipe = CreateFileW(pszPipe, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
        if (hPipe != INVALID_HANDLE_VALUE) return ERROR_SUCCESS;
        DWORD dwError = GetLastError();
        DWORD dwElapsed = GetTickCount() - dwStart;
        if (!IsRetriedOpenError(dwError) || dwElapsed >= m_seams.dwRetryLimitMs) {
            LOG_API_ERROR(L"CreateFile", dwError);
            if (IsRetriedOpenError(dwError))
                LOGWRITE(LOG_ERROR, L"The pipe %s could not be opened within %lu ms; the message is not sent.",
                         pszPipe, static_cast<unsigned long>(m_seams.dwRetryLimitMs));
            return dwError;
        }
        if (dwError != dwLastLogged) {   // one line per change, not one per try
            LOGWRITE(LOG_WARN, L"The pipe %s is %s (rc:[%ld]); trying again for up to %lu ms.", pszPipe,
                     dwError == ERROR_PIPE_BUSY ? L"busy" : L"absent", static_cast<long>(dwError),
                     static_cast<unsigned long>(m_seams.dwRetryLimitMs - dwElapsed));
            dwLastLogged = dwError;
        }
        WaitForPipe(dwError, m_seams.dwRetryLimitMs - dwElapsed);
    }
}

void Monitoring::WaitForPipe(DWORD dwOpenError, DWORD dwRemainingMs)
{
    // WaitNamedPipe ends when an instance is free, at the time-out, or at once when no instance
    // exists (or, under Wine, when the instance waited for is closed): then pause a moment.
    // A time-out of 0 would mean the pipe's own default.
    DWORD dwWaitMs = dwRemainingMs == 0 ? 1 : dwRemainingMs;
    if (dwOpenError == ERROR_PIPE_BUSY && WaitNamedPipeW(m_seams.strPipeName.c_str(), dwWaitMs)) return;
    DWORD dwWaitError = dwOpenError == ERROR_PIPE_BUSY ? GetLastError() : ERROR_FILE_NOT_FOUND;
    if (dwWaitError == ERROR_SEM_TIMEOUT) return;   // the bound has passed: the next try is the last
    Sleep(dwRemainingMs < PIPE_ABSENT_PAUSE_MS ? dwRemainingMs : PIPE_ABSENT_PAUSE_MS);
}

DWORD Monitoring::WriteMessage(HANDLE hPipe, const std::wstring &strMessage)
{
    // The text and its terminating zero, in one write.
    std::vector<wchar_t> vecBuffer(strMessage.begin(), strMessage.end());
    vecBuffer.push_back(L'\0');
    DWORD dwBytes = static_cast<DWORD>(vecBuffer.size() * sizeof(wchar_t));
    DWORD dwWritten = 0;
    LOGWRITE(LOG_DEBUG, L"[API Call] WriteFile %lu bytes", static_cast<unsigned long>(dwBytes));
    if (!WriteFile(hPipe, vecBuffer.data(), dwBytes, &dwWritten, nullptr)) {
        DWORD dwError = GetLastError();
        LOG_API_ERROR(L"WriteFile", dwError);
        return dwError;
    }
    if (dwWritten != dwBytes) {
        LOG_API_ERROR(L"WriteFile", ERROR_WRITE_FAULT);
        LOGWRITE(LOG_ERROR, L"Only %lu of %lu bytes were written.", static_cast<unsigned long>(dwWritten),
                 static_cast<unsigned long>(dwBytes));
        return ERROR_WRITE_FAULT;
    }
    LOGWRITE(LOG_INFO, L"Send Message To Service [%s]", strMessage.c_str());
    return ERROR_SUCCESS;
}
