#pragma once
// The launcher's run from start to end: hidden main window, log folder, "setup.exe" elevated with
// installer logging, then the optional "extra.bat" after a question. Exit code 1 after a full run,
// 0 when the window or the log folder could not be made.
#include <windows.h>
#include <string>

class ShellLauncher;

class SetupRunApp {
public:
    int Run(HINSTANCE hInstance);

private:
    static bool PrepareLogFolder(std::string &strFolder);
    static DWORD ReadOsMajorVersion();
    static std::string ReadCurrentFolder();
    static SYSTEMTIME ReadLocalTime();
    static bool FileExists(const char *pszPath);
    static void RunExtraIfConfirmed(const ShellLauncher &launcher);
};
