#pragma once
// The proxy reset tool's run: "<NolvexID> <saved file> [<RAS entry>]" puts the saved values back
// (the LAN default without entry); "<NolvexID> "" <RAS entry>" sets the entry to a direct
// connection. Any other argument count changes nothing. The exit code tells the outcome
// (ProxyResetExitCode.h).
#include "ProxyResetExitCode.h"
#include <windows.h>
#include <string>
#include <vector>

class ProxyInformation;

class CNolvexConnectProxyResetApp {
public:
    explicit CNolvexConnectProxyResetApp(HINSTANCE hInstance);

    // The whole program run: applies, shows the dialog for an instant; false, so the program ends.
    bool InitInstance();
    int GetExitCode() const { return m_iExitCode; }

    // The command line's arguments after the program name, split with the shell's rules.
    static std::vector<std::wstring> SplitArguments(const std::wstring &strCommandLine);
    // The restore itself, for the arguments after the program name.
    static ProxyResetExitCode Restore(const std::vector<std::wstring> &vecArgs);

private:
    static void InitControls();
    static ProxyResetExitCode MakeEntryDirect(ProxyInformation &clInfo, const std::wstring &strEntry);
    static ProxyResetExitCode ApplySavedFile(ProxyInformation &clInfo, const std::wstring &strFile,
                                             const std::wstring &strEntry);
    static void LogValues(ProxyInformation &clInfo);

    HINSTANCE m_hInstance;
    int m_iExitCode;
};
