// nc_proxyrun PROGRAM COMMANDLINE: starts PROGRAM as application name with COMMANDLINE exactly
// as given (the monitor service passes " <ID> \"<path>\" <entry>", with a leading blank), waits
// at most 60 s for its end and exits with its exit code (prints "exit <code>"); 255 when it could
// not be started, 254 when it did not end in time (it is then ended).
#include <windows.h>
#include <cstdio>
#include <string>

namespace {
const DWORD kWaitLimitMs = 60000;
const int kNotStarted = 255;
const int kNotEnded = 254;
}  // namespace

int wmain(int argc, wchar_t **argv)
{
    if (argc != 3) {
        fwprintf(stderr, L"usage: nc_proxyrun PROGRAM COMMANDLINE\n");
        return kNotStarted;
    }
    std::wstring strCommand = argv[2];
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(argv[1], &strCommand[0], nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT, nullptr,
                        nullptr, &si, &pi)) {
        wprintf(L"CreateProcessW failed %lu\n", GetLastError());
        return kNotStarted;
    }
    CloseHandle(pi.hThread);
    int iResult = kNotEnded;
    if (WaitForSingleObject(pi.hProcess, kWaitLimitMs) == WAIT_OBJECT_0) {
        DWORD dwCode = 0;
        if (GetExitCodeProcess(pi.hProcess, &dwCode)) iResult = static_cast<int>(dwCode);
    } else {
        TerminateProcess(pi.hProcess, kNotEnded);
        WaitForSingleObject(pi.hProcess, kWaitLimitMs);
    }
    CloseHandle(pi.hProcess);
    wprintf(L"exit %d\n", iResult);
    return iResult;
}
