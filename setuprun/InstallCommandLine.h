#pragma once
// The parameter line handed to "setup.exe": a verbose installer log in the per-user log folder and
// the folder the launcher was started from, both inside quotes that the installer's /v pass-through
// option receives escaped (\").
#include <windows.h>
#include <string>

class InstallCommandLine {
public:
    // "NolvexConnectInstall_" + YYYYMMDDhhmmss + ".log" from the given local time.
    static std::string LogFileName(const SYSTEMTIME &stNow);
    // /v"/L*v \"<folder>\<log file>\"" /v"INI_FILE_PATH=\"<current folder>\""
    static std::string Build(const std::string &strLogFolder, const SYSTEMTIME &stNow,
                             const std::string &strCurrentFolder);
};
