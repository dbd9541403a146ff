#pragma once
// The test client's command line:
//   NolvexConnect [--pipe NAME] [--timeout MS] <command> <arguments> [start options]
// Global options come before the command; "start" takes its own options after its arguments.
#include <windows.h>
#include <string>
#include <vector>

class ClientOptions {
public:
    enum StartEnd { END_NORMAL, END_ABRUPT };

    ClientOptions();

    // false with GetError() set when the command line is not understood.
    bool Parse(int argc, const wchar_t *const *argv);
    static std::wstring Usage();

    const std::wstring &GetError() const { return m_strError; }
    const std::wstring &GetCommand() const { return m_strCommand; }
    const std::vector<std::wstring> &GetArgs() const { return m_vecArgs; }
    std::wstring GetArg(size_t i) const { return i < m_vecArgs.size() ? m_vecArgs[i] : std::wstring(); }
    const std::wstring &GetPipeName() const { return m_strPipeName; }
    DWORD GetTimeoutMs() const { return m_dwTimeoutMs; }
    StartEnd GetStartEnd() const { return m_startEnd; }
    // INFINITE when "--stay" was not given: the client waits for its quit event.
    DWORD GetStayMs() const { return m_dwStayMs; }
    // The process id to announce in MonitorStart; 0 means the client's own.
    DWORD GetAnnouncedPid() const { return m_dwAnnouncedPid; }
    // "--missing fail": a pipe that vanishes while the client waits for a free instance is an
    // error, not part of the wait (what the scenario tests of the service check).
    bool GetMissingFails() const { return m_bMissingFails; }

    // Strict unsigned decimal: digits only, no sign, no overflow.
    static bool ParseNumber(const std::wstring &str, DWORD &dwValue);

private:
    bool ParseGlobalOption(const std::wstring &strOption, const wchar_t *pszValue);
    bool ParseStartOptions(const std::vector<std::wstring> &vecRest);
    bool ParseUpdateOptions(const std::vector<std::wstring> &vecRest);
    bool CheckNumbers();
    bool Fail(const std::wstring &strError);

    std::wstring m_strError;
    std::wstring m_strCommand;
    std::vector<std::wstring> m_vecArgs;
    std::wstring m_strPipeName;
    DWORD m_dwTimeoutMs;
    StartEnd m_startEnd;
    DWORD m_dwStayMs;
    DWORD m_dwAnnouncedPid;
    bool m_bMissingFails;
};
