#pragma once
// "scenario.ini" of the simulator folder, read afresh on every call so that a test may change it
// while the programs under test run. No file: a modem and a VPN line, dials that connect.
#include <windows.h>
#include <map>
#include <string>
#include <vector>

struct RasDevice {
    std::wstring strType;
    std::wstring strName;
};

class RasScenario {
public:
    // A missing file keeps the defaults.
    void Load(const std::wstring &strFolder);
    // "key=value" lines; blanks around both, empty lines, "#" / ";" comments and "[section]" lines ignored.
    void Parse(const std::wstring &strText);

    // "devices": "none", "modem", "vpn" or both ("modem,vpn", the default).
    std::vector<RasDevice> Devices() const;
    // "os=xp": structure sizes of Windows XP only; otherwise those of XP and of Windows 7 too.
    bool IsXp() const { return Text(L"os") == L"xp"; }
    // "fail_<export>=code" (for example fail_RasSetEntryProperties=87): the call fails at once.
    DWORD FailureOf(const wchar_t *pszExport) const;
    DWORD Number(const wchar_t *pszKey, DWORD dwDefault) const;
    std::wstring Text(const wchar_t *pszKey) const;

private:
    std::map<std::wstring, std::wstring> m_values;
};
