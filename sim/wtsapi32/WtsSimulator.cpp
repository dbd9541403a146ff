#include "WtsSimulator.h"
#include "ScopedHandle.h"
#include "SimLog.h"
#include "WtsJournal.h"
#include "WtsMemory.h"
#include <cstdio>

namespace {
// The handle WTSOpenServer gives for the local machine; WTS_CURRENT_SERVER_HANDLE (null) is the other.
HANDLE const kLocalServer = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(0x4E4C5653));
// Remote Desktop clients report this class from Vista on; the console is never remote.
const int kWTSIsRemoteSession = 29;

ULONGLONG Now()
{
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    return (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}


bool IsStringClass(WTS_INFO_CLASS infoClass)
{
    switch (infoClass) {
    case WTSInitialProgram: case WTSApplicationName: case WTSWorkingDirectory: case WTSOEMId:
    case WTSUserName: case WTSWinStationName: case WTSDomainName: case WTSClientName: case WTSClientDirectory:
        return true;
    default:
        return false;
    }
}

std::wstring SessionText(const WtsSession &session, WTS_INFO_CLASS infoClass)
{
    if (infoClass == WTSUserName) return session.strUser;
    if (infoClass == WTSDomainName) return session.strDomain;
    if (infoClass == WTSWinStationName) return session.strWinStation;
    return std::wstring();   // the console has no client, initial program or working directory
}
}  // namespace

WtsSimulator::WtsSimulator()
    : m_strFolder(Folder()), m_scenario(LoadScenario(m_strFolder)), m_ullNow(Now()),
      m_table(m_scenario, ConsoleSessionId(), m_ullNow)
{
}

WtsScenario WtsSimulator::LoadScenario(const std::wstring &strFolder)
{
    WtsScenario scenario;
    scenario.Load(strFolder);   // an unreadable file was reported and leaves the defaults
    return scenario;
}

DWORD WtsSimulator::ConsoleSessionId()
{
    // kernel32's answer (Wine 8: 1), so that the product's WTSGetActiveConsoleSessionId and the
    // sessions reported here agree.
    DWORD dwId = WTSGetActiveConsoleSessionId();
    return dwId == 0xFFFFFFFF ? 1 : dwId;
}

std::wstring WtsSimulator::Folder()
{
    return WtsJournal::SimulatorFolder(L"wtsapi32");
}

BOOL WtsSimulator::Finish(DWORD dwError)
{
    SetLastError(dwError);
    return dwError == ERROR_SUCCESS ? TRUE : FALSE;
}

HANDLE WtsSimulator::OpenServer(const std::wstring &strName)
{
    wchar_t szComputer[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD dwLen = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(szComputer, &dwLen)) {
        SimLog::ApiError(L"GetComputerNameW", GetLastError());
        szComputer[0] = L'\0';
    }
    std::wstring strBare = strName.compare(0, 2, L"\\\\") == 0 ? strName.substr(2) : strName;
    if (strBare.empty() || lstrcmpiW(strBare.c_str(), szComputer) == 0 ||
        lstrcmpiW(strBare.c_str(), L"localhost") == 0 || strBare == L"127.0.0.1" || strBare == L".") {
        SetLastError(ERROR_SUCCESS);
        return kLocalServer;
    }
    SetLastError(RPC_S_SERVER_UNAVAILABLE);
    return nullptr;
}

bool WtsSimulator::IsLocalServer(HANDLE hServer)
{
    return hServer == WTS_CURRENT_SERVER_HANDLE || hServer == kLocalServer;
}

DWORD WtsSimulator::CheckServer(HANDLE hServer) const
{
    return IsLocalServer(hServer) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

BOOL WtsSimulator::RegisterSessionNotification(HWND hWnd, DWORD dwFlags)
{
    if (!IsWindow(hWnd)) return Finish(ERROR_INVALID_WINDOW_HANDLE);
    if (dwFlags != NOTIFY_FOR_THIS_SESSION && dwFlags != NOTIFY_FOR_ALL_SESSIONS) return Finish(ERROR_INVALID_PARAMETER);
    return Finish(ERROR_SUCCESS);
}

DWORD WtsSimulator::ResolveSessionId(DWORD dwSessionId) const
{
    if (dwSessionId != WTS_CURRENT_SESSION) return dwSessionId;
    DWORD dwOwn = 0;
    if (!ProcessIdToSessionId(GetCurrentProcessId(), &dwOwn)) {
        SimLog::ApiError(L"ProcessIdToSessionId", GetLastError());
        return ConsoleSessionId();
    }
    return dwOwn;
}

BOOL WtsSimulator::EnumerateSessions(HANDLE hServer, DWORD dwReserved, DWORD dwVersion, bool bWide, void **ppInfo,
                                     DWORD *pdwCount)
{
    if (ppInfo == nullptr || pdwCount == nullptr || dwReserved != 0 || dwVersion != 1)
        return Finish(ERROR_INVALID_PARAMETER);
    if (DWORD dwError = CheckServer(hServer)) return Finish(dwError);
    if (DWORD dwError = m_scenario.GetFailEnumerate()) return Finish(dwError);
    const std::vector<WtsSession> &vecSessions = m_table.GetSessions();
    void *pInfo = bWide ? static_cast<void *>(WtsMemory::PackSessions<WTS_SESSION_INFOW, wchar_t>(vecSessions))
                        : static_cast<void *>(WtsMemory::PackSessions<WTS_SESSION_INFOA, char>(vecSessions));
    if (pInfo == nullptr) return Finish(ERROR_NOT_ENOUGH_MEMORY);
    *ppInfo = pInfo;
    *pdwCount = static_cast<DWORD>(vecSessions.size());
    return Finish(ERROR_SUCCESS);
}

BOOL WtsSimulator::QuerySessionInformation(HANDLE hServer, DWORD dwSessionId, WTS_INFO_CLASS infoClass, bool bWide,
                                           void **ppBuffer, DWORD *pdwBytes)
{
    if (ppBuffer == nullptr || pdwBytes == nullptr) return Finish(ERROR_INVALID_PARAMETER);
    if (DWORD dwError = CheckServer(hServer)) return Finish(dwError);
    if (DWORD dwError = m_scenario.GetFailQueryInformation()) return Finish(dwError);
    const WtsSession *pSession = m_table.Find(ResolveSessionId(dwSessionId));
    if (pSession == nullptr) return Finish(ERROR_CTX_WINSTATION_NOT_FOUND);
    DWORD dwError = ERROR_SUCCESS;
    void *pValue = SessionValue(*pSession, infoClass, bWide, pdwBytes, &dwError);
    if (pValue == nullptr) return Finish(dwError);
    *ppBuffer = pValue;
    return Finish(ERROR_SUCCESS);
}

void *WtsSimulator::SessionValue(const WtsSession &session, WTS_INFO_CLASS infoClass, bool bWide, DWORD *pdwBytes,
                                 DWORD *pdwError) const
{
    return bWide ? SessionValueAs<wchar_t>(session, infoClass, pdwBytes, pdwError)
                 : SessionValueAs<char>(session, infoClass, pdwBytes, pdwError);
}

template <typename Char>
void *WtsSimulator::SessionValueAs(const WtsSession &session, WTS_INFO_CLASS infoClass, DWORD *pdwBytes,
                                   DWORD *pdwError) const
{
    void *pValue = nullptr;
    *pdwError = ERROR_NOT_ENOUGH_MEMORY;
    if (IsStringClass(infoClass)) {
        pValue = WtsMemory::PackString<Char>(SessionText(session, infoClass), pdwBytes);
    } else if (infoClass == WTSSessionId) {
        pValue = WtsMemory::PackValue<ULONG>(session.dwId, pdwBytes);
    } else if (infoClass == WTSConnectState) {
        pValue = WtsMemory::PackValue<INT>(session.state, pdwBytes);
    } else if (infoClass == WTSClientBuildNumber || infoClass == WTSClientHardwareId) {
        pValue = WtsMemory::PackValue<ULONG>(0, pdwBytes);
    } else if (infoClass == WTSClientProductId || infoClass == WTSClientProtocolType) {
        pValue = WtsMemory::PackValue<USHORT>(WTS_PROTOCOL_TYPE_CONSOLE, pdwBytes);
    } else if (infoClass == WTSClientAddress) {
        pValue = WtsMemory::PackValue(WTS_CLIENT_ADDRESS(), pdwBytes);
    } else if (infoClass == WTSClientDisplay) {
        pValue = WtsMemory::PackValue(WTS_CLIENT_DISPLAY(), pdwBytes);
    } else if (static_cast<int>(infoClass) == kWTSIsRemoteSession) {
        pValue = WtsMemory::PackValue<BOOL>(FALSE, pdwBytes);
    } else {
        *pdwError = ERROR_NOT_SUPPORTED;   // counters and times of remote sessions are not simulated
    }
    return pValue;
}

BOOL WtsSimulator::QueryUserToken(ULONG ulSessionId, HANDLE *phToken)
{
    DWORD dwSessionId = ResolveSessionId(ulSessionId);
    DWORD dwError = ERROR_SUCCESS;
    const WtsSession *pSession = m_table.Find(dwSessionId);
    if (phToken == nullptr) dwError = ERROR_INVALID_PARAMETER;
    else if (m_scenario.GetFailQueryUserToken() != 0) dwError = m_scenario.GetFailQueryUserToken();
    else if (pSession == nullptr) dwError = ERROR_CTX_WINSTATION_NOT_FOUND;
    else if (pSession->state != WTSActive) dwError = ERROR_NO_TOKEN;   // nobody logged on there
    else dwError = DuplicateProcessToken(phToken);

    JsonLine line = NewRecord("WTSQueryUserToken");
    line.Add("session", dwSessionId);
    Record(line, dwError == ERROR_SUCCESS, dwError);
    return Finish(dwError);
}

DWORD WtsSimulator::DuplicateProcessToken(HANDLE *phToken) const
{
    // Wine runs every process as the one user: the caller's own token stands in for the session
    // user's, as a primary token with full access like the one the system gives a service.
    ScopedHandle hProcessToken;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, hProcessToken.Receive())) {
        DWORD dwError = GetLastError();
        SimLog::ApiError(L"OpenProcessToken", dwError);
        return dwError;
    }
    if (!DuplicateTokenEx(hProcessToken.Get(), TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation, TokenPrimary,
                          phToken)) {
        DWORD dwError = GetLastError();
        SimLog::ApiError(L"DuplicateTokenEx", dwError);
        return dwError;
    }
    return ERROR_SUCCESS;
}

BOOL WtsSimulator::SendSessionMessage(HANDLE hServer, DWORD dwSessionId, const SessionMessage &message,
                                      DWORD *pdwResponse)
{
    DWORD dwTarget = ResolveSessionId(dwSessionId);
    DWORD dwError = CheckServer(hServer);
    DWORD dwResponse = 0;
    if (dwError == ERROR_SUCCESS && pdwResponse == nullptr) dwError = ERROR_INVALID_PARAMETER;
    if (dwError == ERROR_SUCCESS) dwError = m_scenario.GetFailSendMessage();
    if (dwError == ERROR_SUCCESS && m_table.Find(dwTarget) == nullptr) dwError = ERROR_CTX_WINSTATION_NOT_FOUND;
    if (dwError == ERROR_SUCCESS) {
        // Without waiting the system answers at once that the box is up; a waiting caller gets the
        // scenario's answer straight away (nobody is there to click).
        dwResponse = message.bWait ? m_scenario.GetMessageResponse() : IDASYNC;
        *pdwResponse = dwResponse;
    }

    JsonLine line = NewRecord(message.pszCall);
    line.Add("session", dwTarget).Add("title", message.strTitle).Add("title_length", message.dwTitleLength);
    line.Add("message", message.strMessage).Add("message_length", message.dwMessageLength);
    line.Add("style", message.dwStyle).Add("timeout", message.dwTimeout).AddBool("wait", message.bWait != FALSE);
    line.Add("response", dwResponse);
    Record(line, dwError == ERROR_SUCCESS, dwError);
    return Finish(dwError);
}

JsonLine WtsSimulator::NewRecord(const char *pszCall) const
{
    return WtsJournal::NewRecord(pszCall);
}

void WtsSimulator::Record(JsonLine &line, BOOL bResult, DWORD dwError) const
{
    line.AddBool("result", bResult != FALSE).Add("error", dwError);
    WtsJournal(m_strFolder).Append(line.Text());   // a failed write was reported; the call goes on
}
