#pragma once
// The product's registry values on Windows. Every product key is reached through the 32-bit view
// of the registry, in the 32-bit and the 64-bit build alike. In the monitor service (LocalSystem)
// the user's product key is the one of the active session's user under HKEY_USERS.
#include "AplicationInfo.h"

class WinRegInfo : public AplicationInfo {
public:
    // Seams for tests: the program name that decides the service behaviour (empty: the running
    // program's own).
    struct Seams {
        std::wstring strModuleName;
    };

    WinRegInfo();
    explicit WinRegInfo(const Seams &seams);
    ~WinRegInfo() override;

    std::wstring GetInstallPath() override;
    std::wstring GetTerminalProfileKeyInfo() override;
    long SetTerminalProfileKeyInfo(const std::wstring &strValue) override;
    std::wstring GetUserSettingFileKeyInfo() override;
    long SetUserSettingFileKeyInfo(const std::wstring &strValue) override;
    std::wstring GetPublisher() override;
    std::wstring GetDisplayName() override;
    std::wstring GetModuleVersion() override;
    std::wstring GetUninstallInfo() override;

    // A string value (REG_SZ or REG_EXPAND_SZ, unexpanded) of at most 256 characters; empty when
    // the key or value is missing, the value is of another type or longer.
    std::wstring GetRegeditValue(const std::wstring &strName, HKEY hRoot, const std::wstring &strKey,
                                 const std::wstring &strValueName);
    // Creates the key if needed and sets the string value: the system error code, 0 on success.
    long SetRegeditValue(const std::wstring &strName, HKEY hRoot, const std::wstring &strKey,
                         const std::wstring &strValueName, const std::wstring &strText);
    // Creates or opens the key: the system error code, 0 on success.
    long MakeRegistry(HKEY hRoot, const std::wstring &strKey);
    // String SID of the active session's user; empty when nobody is logged on or a call fails.
    std::wstring GetUserSID();

    // String SID of the token's user; empty (logged) on failure.
    static std::wstring GetTokenUserSID(HANDLE hToken);

    static const wchar_t *ProductKey() { return L"SOFTWARE\\Korvell\\NolvexConnect"; }
    static const wchar_t *UninstallKey()
    {
        return L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NolvexConnect";
    }

private:
    // Root and key of the user's product key; false (logged) when the service finds no user.
    bool UserProductKey(HKEY &hRoot, std::wstring &strKey);
    std::wstring GetUserValue(const wchar_t *pszValueName);
    long SetUserValue(const wchar_t *pszValueName, const std::wstring &strValue);
    std::wstring ModuleName();
    // The access mask with the 32-bit view flag; logs the mask on a 64-bit machine.
    static REGSAM ViewAccess(REGSAM samAccess);
    static bool Is64BitMachine();
    static bool FindActiveSession(DWORD &dwSessionId);
    static std::wstring ReadStringValue(HKEY hKey, const std::wstring &strValueName, LONG &lError);

    Seams m_seams;
};
