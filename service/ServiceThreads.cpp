#include "ServiceThreads.h"
#include "FileIO.h"
#include "Log.h"
#include "MonitorEnd.h"
#include "MonitorManage.h"
#include "PipeInstancePool.h"
#include "PipeMessageReader.h"
#include "PipeSender.h"
#include "ServiceGlobals.h"
#include "WinOSInformation.h"
#include <memory>
#include <string>

namespace {

// Nothing is ever written back: the instance is disconnected and given back to the pool as soon
// as the message is read, so that a client watched for hours does not hold one of the ten.
void ReleasePipe(ScopedFileHandle *phPipe)
{
    if (!*phPipe) return;
    if (!DisconnectNamedPipe(phPipe->Get())) {
        LOG_API_ERROR(L"DisconnectNamedPipe", GetLastError());
        phPipe->Reset();   // an instance in an unknown state is not used again
        return;
    }
    g_pipeInstances.Return(std::move(*phPipe));
}

void AnalyseMessage(const std::wstring &strMessage, HANDLE hOwnThread, const PipeSender &sender)
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
    long lResult = pManage->MessageAnalysis(strMessage, hOwnThread, sender);
    if (lResult != 0) LOGWRITE(LOG_ERROR, L"MessageAnalysis Error return %ld", lResult);
}

std::wstring UserProductFolder(HANDLE hToken)
{
    std::unique_ptr<OSInformation> pOS(CreateOSInformation());
    return pOS ? pOS->GetAppDataFolderPath(hToken) : std::wstring();
}

void RestoreForLogon(const wchar_t *pszPath)
{
    LOGWRITE(LOG_INFO, L"SetProxyRestor(%s)", pszPath);
    std::unique_ptr<MonitorEnd> pEnd(new (std::nothrow) MonitorEnd());
    if (!pEnd) {
        LOGWRITE(LOG_ERROR, L"Failed to generate a MonitorEnd class");
        return;
    }
    long lRestored = pEnd->SetProxyRestor(pszPath) ? 1 : 0;
    LOGWRITE(LOG_INFO, L"SetProxyRestor() return %ld", lRestored);
    if (!lRestored) LOGWRITE(LOG_WARN, L"Failuret To Proxy Setting Restore rc:%ld", 0L);
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
    std::unique_ptr<ClientPipeData> pData(static_cast<ClientPipeData *>(pParam));
    std::wstring strMessage;
    // Only a stop or the idle limit ends the read; a logon in some session does not, since the
    // client's message would then be lost for no fault of its own.
    bool bRead = PipeMessageReader::Read(pData->hPipe.Get(), g_hEventControl, NC_CLIENT_IDLE_LIMIT_MS,
                                         &strMessage) == PipeMessageReader::READ_DONE;
    PipeSender sender;
    // The sender is asked while it is still connected; a thread still acting as the client must
    // not go on.
    bool bMayGoOn = !bRead || sender.Identify(pData->hPipe.Get());
    ReleasePipe(&pData->hPipe);
    if (!bRead || !bMayGoOn) return 1;
    AnalyseMessage(strMessage, pData->hOwnThread.Get(), sender);
    return 0;
}

unsigned __stdcall ThreadLogOn(void *pParam)
{
    LOG_SCOPE();
    std::unique_ptr<LogonWorkerData> pData(static_cast<LogonWorkerData *>(pParam));
    // Without the user's token the folder lookup would answer for the service's own account
    // (LocalSystem's profile), not for the user who logged on.
    if (!pData->hToken) {
        LOGWRITE(LOG_ERROR, L"The logon brought no user token; no proxy setting is restored.");
        return static_cast<unsigned>(-1);
    }
    std::wstring strPath = UserProductFolder(pData->hToken.Get());
    std::unique_ptr<FileIO> pFile(new (std::nothrow) FileIO());
    if (strPath.empty() || !pFile || !pFile->isExistsPath(strPath)) {
        LOGWRITE(LOG_ERROR, L"User Application Path is Not Existing");
        return static_cast<unsigned>(-1);
    }
    wchar_t szPath[MAX_PATH] = {};
    lstrcpynW(szPath, strPath.c_str(), MAX_PATH);
    RestoreForLogon(szPath);
    unsigned uResult = 0;
    LOGWRITE(LOG_INFO, L"[Output Info]ThreadLogOn return %ld", (long)uResult);
    return uResult;
}
