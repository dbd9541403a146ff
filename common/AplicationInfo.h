#pragma once
// The product's own registry values: install path, keys of the encrypted files, uninstall
// information, and the version of the running program. Obtain an object from
// CreateAplicationInfo, use it, delete it. Get operations give an empty text on any failure, set
// operations the system error code (0 on success).
#include <windows.h>
#include <string>

class AplicationInfo {
public:
    virtual ~AplicationInfo();
    // HKLM "SOFTWARE\Korvell\NolvexConnect" "Path", with a trailing backslash.
    virtual std::wstring GetInstallPath() = 0;
    // The user's product key "TerminalProfile".
    virtual std::wstring GetTerminalProfileKeyInfo() = 0;
    virtual long SetTerminalProfileKeyInfo(const std::wstring &strValue) = 0;
    // The user's product key "UserSettingFile".
    virtual std::wstring GetUserSettingFileKeyInfo() = 0;
    virtual long SetUserSettingFileKeyInfo(const std::wstring &strValue) = 0;
    // Values of the product's uninstall key.
    virtual std::wstring GetPublisher() = 0;
    virtual std::wstring GetDisplayName() = 0;
    // File version of the running program, "major.minor.build.revision".
    virtual std::wstring GetModuleVersion() = 0;
    virtual std::wstring GetUninstallInfo() = 0;
};

// A new object for this platform, or null when it cannot be created; the caller deletes it.
AplicationInfo *CreateAplicationInfo();
