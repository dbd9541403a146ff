// nc_wtsprobe: asks the terminal services what the product asks and prints the answers (UTF-8).
//   nc_wtsprobe sessions                          "<id> <state> <winstation> <user>" per session
//   nc_wtsprobe token <session>                   "ok" or "error <code>"
//   nc_wtsprobe send <session> <title> <text> [count]
//                                                 "response <n>" or "error <code>" (count times)
// A session of "console" means WTSGetActiveConsoleSessionId. Exit code 0 when the call succeeded.
#include <windows.h>
#include <wtsapi32.h>
#include <cwchar>
#include <string>

namespace {
void Print(const std::wstring &strLine)
{
    std::wstring str = strLine + L"\n";
    int iLen = WideCharToMultiByte(CP_UTF8, 0, str.c_str(), static_cast<int>(str.size()), nullptr, 0, nullptr, nullptr);
    std::string strOut(static_cast<size_t>(iLen), '\0');
    WideCharToMultiByte(CP_UTF8, 0, str.c_str(), static_cast<int>(str.size()), &strOut[0], iLen, nullptr, nullptr);
    DWORD dwWritten = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), strOut.data(), static_cast<DWORD>(strOut.size()), &dwWritten, nullptr);
}

int Fail(DWORD dwError)
{
    Print(L"error " + std::to_wstring(dwError));
    return 1;
}

DWORD SessionArg(const wchar_t *psz)
{
    return wcscmp(psz, L"console") == 0 ? WTSGetActiveConsoleSessionId() : wcstoul(psz, nullptr, 10);
}

std::wstring UserOf(DWORD dwSession)
{
    LPWSTR psz = nullptr;
    DWORD dwBytes = 0;
    if (!WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, dwSession, WTSUserName, &psz, &dwBytes))
        return L"<error " + std::to_wstring(GetLastError()) + L">";
    std::wstring str(psz);
    WTSFreeMemory(psz);
    return str;
}

int Sessions()
{
    PWTS_SESSION_INFOW pInfo = nullptr;
    DWORD dwCount = 0;
    if (!WTSEnumerateSessionsW(WTS_CURRENT_SERVER_HANDLE, 0, 1, &pInfo, &dwCount)) return Fail(GetLastError());
    for (DWORD i = 0; i < dwCount; ++i) {
        Print(std::to_wstring(pInfo[i].SessionId) + L" " + std::to_wstring(pInfo[i].State) + L" " +
              pInfo[i].pWinStationName + L" " + UserOf(pInfo[i].SessionId));
    }
    WTSFreeMemory(pInfo);
    return 0;
}

int Token(DWORD dwSession)
{
    HANDLE hToken = nullptr;
    if (!WTSQueryUserToken(dwSession, &hToken)) return Fail(GetLastError());
    CloseHandle(hToken);
    Print(L"ok");
    return 0;
}

int Send(DWORD dwSession, std::wstring strTitle, std::wstring strText, DWORD dwCount)
{
    for (DWORD i = 0; i < dwCount; ++i) {
        DWORD dwResponse = 0;
        if (!WTSSendMessageW(WTS_CURRENT_SERVER_HANDLE, dwSession, &strTitle[0],
                             static_cast<DWORD>((strTitle.size() + 1) * 2), &strText[0],
                             static_cast<DWORD>((strText.size() + 1) * 2), MB_OK | MB_ICONERROR, 0, &dwResponse, FALSE))
            return Fail(GetLastError());
        Print(L"response " + std::to_wstring(dwResponse));
    }
    return 0;
}
}  // namespace

int wmain(int argc, wchar_t **argv)
{
    std::wstring strCommand = argc > 1 ? argv[1] : L"";
    if (strCommand == L"sessions") return Sessions();
    if (strCommand == L"token" && argc > 2) return Token(SessionArg(argv[2]));
    if (strCommand == L"send" && argc > 4)
        return Send(SessionArg(argv[2]), argv[3], argv[4], argc > 5 ? wcstoul(argv[5], nullptr, 10) : 1);
    Print(L"usage: nc_wtsprobe sessions | token <session> | send <session> <title> <text> [count]");
    return 2;
}
