// Test helper: runs a command line with the limited (non-elevated) half of the caller's token, the
// way a standard user starts a program under UAC, waits for it and returns its exit code. Under
// Wine every process otherwise starts with the full administrator token, so an elevation request
// would leave no trace.
// usage: nc_limited_run.exe <command line ...>; exit 255 when it could not start the program.
#include <windows.h>

#include <string>

namespace {

// The token a standard user's programs run with: the linked token of an elevated one.
HANDLE LimitedPrimaryToken()
{
    HANDLE hOwn = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE, &hOwn)) return nullptr;
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD dwLen = 0;
    HANDLE hPrimary = nullptr;
    if (GetTokenInformation(hOwn, TokenElevationType, &type, sizeof(type), &dwLen)) {
        HANDLE hSource = nullptr;
        TOKEN_LINKED_TOKEN linked = {};
        if (type == TokenElevationTypeLimited)
            hSource = hOwn;
        else if (GetTokenInformation(hOwn, TokenLinkedToken, &linked, sizeof(linked), &dwLen))
            hSource = linked.LinkedToken;
        if (hSource != nullptr &&
            !DuplicateTokenEx(hSource, TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation, TokenPrimary, &hPrimary))
            hPrimary = nullptr;
        if (linked.LinkedToken != nullptr) CloseHandle(linked.LinkedToken);
    }
    CloseHandle(hOwn);
    return hPrimary;
}

// Everything after our own program name, as typed.
std::wstring ArgumentsAfterProgram()
{
    const wchar_t *p = GetCommandLineW();
    bool bQuoted = false;
    for (; *p != L'\0'; ++p) {
        if (*p == L'"') bQuoted = !bQuoted;
        else if (!bQuoted && (*p == L' ' || *p == L'\t')) break;
    }
    while (*p == L' ' || *p == L'\t') ++p;
    return p;
}

}   // namespace

int wmain()
{
    std::wstring strCommand = ArgumentsAfterProgram();
    if (strCommand.empty()) return 255;
    HANDLE hToken = LimitedPrimaryToken();
    if (hToken == nullptr) return 255;
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    BOOL bStarted = CreateProcessAsUserW(hToken, nullptr, &strCommand[0], nullptr, nullptr, FALSE, 0,
                                         nullptr, nullptr, &si, &pi);
    CloseHandle(hToken);
    if (!bStarted) return 255;
    CloseHandle(pi.hThread);
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD dwExit = 255;
    GetExitCodeProcess(pi.hProcess, &dwExit);
    CloseHandle(pi.hProcess);
    return static_cast<int>(dwExit);
}
