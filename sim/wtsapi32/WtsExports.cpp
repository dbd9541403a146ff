// The exported entry points: argument conversion only; WtsSimulator decides the answers.
#include "SimText.h"
#include "WtsSimulator.h"
#include <windows.h>
#include <wtsapi32.h>

namespace {
// Lengths are in bytes and include the terminator when the caller counts it; the text ends at the
// first zero or at the given length, whichever comes first.
bool TextW(const WCHAR *p, DWORD dwBytes, std::wstring &str)
{
    if (p == nullptr) return dwBytes == 0;
    size_t nChars = dwBytes / sizeof(WCHAR);
    size_t nLen = 0;
    while (nLen < nChars && p[nLen] != L'\0') ++nLen;
    str.assign(p, nLen);
    return true;
}

bool TextA(const CHAR *p, DWORD dwBytes, std::wstring &str)
{
    if (p == nullptr) return dwBytes == 0;
    size_t nLen = 0;
    while (nLen < dwBytes && p[nLen] != '\0') ++nLen;
    str = SimText::FromAnsi(std::string(p, nLen));
    return true;
}
}  // namespace

extern "C" {

WINBOOL WINAPI WTSEnumerateSessionsW(HANDLE hServer, DWORD Reserved, DWORD Version, PWTS_SESSION_INFOW *ppSessionInfo,
                                     DWORD *pCount)
{
    return WtsSimulator().EnumerateSessions(hServer, Reserved, Version, true, reinterpret_cast<void **>(ppSessionInfo),
                                            pCount);
}

WINBOOL WINAPI WTSEnumerateSessionsA(HANDLE hServer, DWORD Reserved, DWORD Version, PWTS_SESSION_INFOA *ppSessionInfo,
                                     DWORD *pCount)
{
    return WtsSimulator().EnumerateSessions(hServer, Reserved, Version, false, reinterpret_cast<void **>(ppSessionInfo),
                                            pCount);
}

VOID WINAPI WTSFreeMemory(PVOID pMemory)
{
    if (pMemory != nullptr) LocalFree(pMemory);
}

WINBOOL WINAPI WTSQuerySessionInformationW(HANDLE hServer, DWORD SessionId, WTS_INFO_CLASS WTSInfoClass,
                                           LPWSTR *ppBuffer, DWORD *pBytesReturned)
{
    return WtsSimulator().QuerySessionInformation(hServer, SessionId, WTSInfoClass, true,
                                                  reinterpret_cast<void **>(ppBuffer), pBytesReturned);
}

WINBOOL WINAPI WTSQuerySessionInformationA(HANDLE hServer, DWORD SessionId, WTS_INFO_CLASS WTSInfoClass,
                                           LPSTR *ppBuffer, DWORD *pBytesReturned)
{
    return WtsSimulator().QuerySessionInformation(hServer, SessionId, WTSInfoClass, false,
                                                  reinterpret_cast<void **>(ppBuffer), pBytesReturned);
}

WINBOOL WINAPI WTSQueryUserToken(ULONG SessionId, PHANDLE phToken)
{
    return WtsSimulator().QueryUserToken(SessionId, phToken);
}

WINBOOL WINAPI WTSSendMessageW(HANDLE hServer, DWORD SessionId, LPWSTR pTitle, DWORD TitleLength, LPWSTR pMessage,
                               DWORD MessageLength, DWORD Style, DWORD Timeout, DWORD *pResponse, WINBOOL bWait)
{
    WtsSimulator::SessionMessage message = {"WTSSendMessageW", L"", TitleLength, L"", MessageLength, Style, Timeout, bWait};
    if (!TextW(pTitle, TitleLength, message.strTitle) || !TextW(pMessage, MessageLength, message.strMessage))
        return WtsSimulator::Finish(ERROR_INVALID_PARAMETER);
    return WtsSimulator().SendSessionMessage(hServer, SessionId, message, pResponse);
}

WINBOOL WINAPI WTSSendMessageA(HANDLE hServer, DWORD SessionId, LPSTR pTitle, DWORD TitleLength, LPSTR pMessage,
                               DWORD MessageLength, DWORD Style, DWORD Timeout, DWORD *pResponse, WINBOOL bWait)
{
    WtsSimulator::SessionMessage message = {"WTSSendMessageA", L"", TitleLength, L"", MessageLength, Style, Timeout, bWait};
    if (!TextA(pTitle, TitleLength, message.strTitle) || !TextA(pMessage, MessageLength, message.strMessage))
        return WtsSimulator::Finish(ERROR_INVALID_PARAMETER);
    return WtsSimulator().SendSessionMessage(hServer, SessionId, message, pResponse);
}

HANDLE WINAPI WTSOpenServerW(LPWSTR pServerName)
{
    return WtsSimulator::OpenServer(pServerName != nullptr ? pServerName : L"");
}

HANDLE WINAPI WTSOpenServerA(LPSTR pServerName)
{
    return WtsSimulator::OpenServer(pServerName != nullptr ? SimText::FromAnsi(pServerName) : L"");
}

VOID WINAPI WTSCloseServer(HANDLE hServer)
{
    // The local server handle is a constant: nothing to release.
}

WINBOOL WINAPI WTSRegisterSessionNotification(HWND hWnd, DWORD dwFlags)
{
    return WtsSimulator::RegisterSessionNotification(hWnd, dwFlags);
}

WINBOOL WINAPI WTSUnRegisterSessionNotification(HWND hWnd)
{
    return WtsSimulator::Finish(IsWindow(hWnd) ? ERROR_SUCCESS : ERROR_INVALID_WINDOW_HANDLE);
}

}  // extern "C"
