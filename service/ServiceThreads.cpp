#include "ServiceThreads.h"
#include "FileIO.h"
#include "Log.h"
#include "PipeMessageReader.h"
#include "MonitorEnd.h"
#include "MonitorManage.h"
#include "ScopedHandle.h"
#include "ServiceGlobals.h"
#include "WinOSInformation.h"
#include <memory>
#include <string>

namespace {

// Takes the own thread handle out of a hand-off slot: wait for "published", reset it, take the
// handle (polling every 1 ms until it is there), clear the slot, set "free" again.
bool TakeHandOff(HANDLE hPublished, HANDLE hFree, HANDLE volatile *phSlot, HANDLE *phOwn)
{
    if (WaitForSingleObject(hPublished, INFINITE) != WAIT_OBJECT_0) {
        LOG_API_ERROR(L"WaitForSingleObject", GetLastError());
    }
    if (!ResetEvent(hPublished)) {
        LOG_API_ERROR(L"ResetEvent", GetLastError());
        return false;
    }
    while (*phSlot == nullptr) Sleep(1);
    *phOwn = *phSlot;
    *phSlot = nullptr;
    if (!SetEvent(hFree)) {
        LOG_API_ERROR(L"SetEvent", GetLastError());
        return false;
    }
    return true;
}

void ReleasePipe(HANDLE *phPipe)
{
    if (*phPipe == INVALID_HANDLE_VALUE || *phPipe == nullptr) return;
    if (!DisconnectNamedPipe(*phPipe)) LOG_API_ERROR(L"DisconnectNamedPipe", GetLastError());
    if (!CloseHandle(*phPipe)) LOG_API_ERROR(L"CloseHandle", GetLastError());
    *phPipe = INVALID_HANDLE_VALUE;
}

void AnalyseMessage(const std::wstring &strMessage, HANDLE hOwnThread)
{
    std::unique_ptr<MonitorManage> pManage(new (std::nothrow) MonitorManage());
    if (!pManage) {
        LOGWRITE(LOG_ERROR, L"Failed to generate a MonitorManage class");
        return;
    }
    long lInit = pManage->Init();
    if (lInit != 0) {
        LOGWRITE(LOG_ERROR, L"Init Error %ld", lInit);
        return;
    }
    long lResult = pManage->MessageAnalysis(strMessage, hOwnThread);
    if (lResult != 0) LOGWRITE(LOG_ERROR, L"MessageAnalysis Error return %ld", lResult);
}

}  // namespace

int WaitEvent(HANDLE hEvent)
{
    HANDLE ahWait[3];
    DWORD dwCount = 0;
    ahWait[dwCount++] = hEvent;
    if (g_hEventControl != nullptr) ahWait[dwCount++] = g_hEventControl;
    if (g_hEventLogon != nullptr) ahWait[dwCount++] = g_hEventLogon;
    DWORD dwWait = WaitForMultipleObjects(dwCount, ahWait, FALSE, INFINITE);
    if (dwWait == WAIT_FAILED) LOG_API_ERROR(L"WaitForMultipleObjects", GetLastError());
    return dwWait == WAIT_OBJECT_0 ? 1 : 0;
}

unsigned __stdcall ThreadFunc(void *pParam)
{
    LOG_SCOPE();
    ClientPipeData *pData = static_cast<ClientPipeData *>(pParam);
    HANDLE hPipe = pData->hPipe;
    HANDLE hOwnThread = nullptr;
    unsigned uResult = 1;
    if (TakeHandOff(g_hExcCliantThreadHandle, g_hExcCliantThread, &g_hThread, &hOwnThread)) {
        std::wstring strMessage;
        // Only a stop or the idle limit ends the read; a logon in some session does not, since
        // the client's message would then be lost for no fault of its own.
        bool bRead = PipeMessageReader::Read(hPipe, g_hEventControl, NC_CLIENT_IDLE_LIMIT_MS, &strMessage) ==
                     PipeMessageReader::READ_DONE;
        // Nothing is ever written back: the instance is released at once so that a client that
        // is watched for hours does not hold one of the ten instances.
        ReleasePipe(&hPipe);
        if (bRead) {
            AnalyseMessage(strMessage, hOwnThread);
            uResult = 0;
        }
    }
    ReleasePipe(&hPipe);
    if (!HeapFree(GetProcessHeap(), 0, pData)) LOG_API_ERROR(L"HeapFree", GetLastError());
    if (hOwnThread != nullptr) CloseHandle(hOwnThread);
    return uResult;
}

unsigned __stdcall ThreadLogOn(void *pParam)
{
    LOG_SCOPE();
    HANDLE hToken = static_cast<HANDLE>(pParam);
    HANDLE hOwnThread = nullptr;
    if (!TakeHandOff(g_hExcLogonThreadHandle, g_hExcLogonThread, &g_hLogonThread, &hOwnThread)) {
        if (hOwnThread != nullptr) CloseHandle(hOwnThread);
        return 0;
    }
    ScopedHandle hOwn(hOwnThread);
    // Without the user's token the folder lookup would answer for the service's own account
    // (LocalSystem's profile), not for the user who logged on.
    if (hToken == nullptr) {
        LOGWRITE(LOG_ERROR, L"The logon brought no user token; no proxy setting is restored.");
        return static_cast<unsigned>(-1);
    }

    std::wstring strPath;
    {
        std::unique_ptr<OSInformation> pOS(CreateOSInformation());
        if (pOS) strPath = pOS->GetAppDataFolderPath(hToken);
    }
    std::unique_ptr<FileIO> pFile(new (std::nothrow) FileIO());
    if (strPath.empty() || !pFile || !pFile->isExistsPath(strPath)) {
        LOGWRITE(LOG_ERROR, L"User Application Path is Not Existing");
        return static_cast<unsigned>(-1);
    }
    wchar_t szPath[MAX_PATH] = {};
    lstrcpynW(szPath, strPath.c_str(), MAX_PATH);
    LOGWRITE(LOG_INFO, L"SetProxyRestor(%s)", szPath);
    unsigned uResult = 0;
    std::unique_ptr<MonitorEnd> pEnd(new (std::nothrow) MonitorEnd());
    if (!pEnd) {
        LOGWRITE(LOG_ERROR, L"Failed to generate a MonitorEnd class");
    } else {
        long lRestored = pEnd->SetProxyRestor(szPath) ? 1 : 0;
        LOGWRITE(LOG_INFO, L"SetProxyRestor() return %ld", lRestored);
        if (!lRestored) LOGWRITE(LOG_WARN, L"Failuret To Proxy Setting Restore rc:%ld", 0L);
    }
    LOGWRITE(LOG_INFO, L"[Output Info]ThreadLogOn return %ld", (long)uResult);
    return uResult;
}
