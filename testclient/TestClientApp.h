#pragma once
// Runs one command of the test client (docs/testclient.md) and gives the process exit code.
#include "ClientOptions.h"
#include <windows.h>
#include <string>

class TestClientApp {
public:
    enum ExitCode {
        EXIT_SENT = 0,         // the message was written (or the command did its work)
        EXIT_PIPE = 1,         // the pipe could not be opened or written
        EXIT_USAGE = 2,        // the command line was not understood
        EXIT_FAILED = 3,       // any other failure (files, events)
        EXIT_ABRUPT = 9,       // "start --abrupt": the client ended without MonitorEnd, as in a crash
    };

    explicit TestClientApp(const ClientOptions &options);
    int Run();

    // "Local\NolvexTestClientQuit-<pid>": set it to end a "start" client of that process id.
    static std::wstring QuitEventName(DWORD dwProcessId);

private:
    int RunStart();
    int RunIdle();
    int RunUpdate();
    int RunFiles();
    int RunQuit();
    int SendText(const std::wstring &strMessage);
    int SendBytes(const std::string &strBytes);
    int PipeFailure(const wchar_t *pszStep, DWORD dwError);

    const ClientOptions &m_options;
};
