#pragma once
// The scenario of one call: "scenario.ini" of the simulator folder, read afresh on every call so
// that a test can change it while the programs under test run. No file: one user logged on.
#include <windows.h>
#include <string>

class WtsScenario {
public:
    WtsScenario();

    // Reads the scenario file of the folder; a missing file keeps the defaults.
    // false when the file exists but cannot be read (the defaults stay).
    bool Load(const std::wstring &strFolder);
    // Text form: "key=value" lines; blank lines, "#" / ";" comments and "[section]" lines ignored.
    void Parse(const std::wstring &strText);

    // A user is logged on at the console at the given time (UTC file time).
    bool IsLoggedOn(ULONGLONG ullNow) const;
    std::wstring GetUser() const;
    std::wstring GetDomain() const;
    DWORD GetMessageResponse() const { return m_dwMessageResponse; }
    // Error code a call must fail with (0: no failure scripted).
    DWORD GetFailEnumerate() const { return m_dwFailEnumerate; }
    DWORD GetFailQueryInformation() const { return m_dwFailQueryInformation; }
    DWORD GetFailQueryUserToken() const { return m_dwFailQueryUserToken; }
    DWORD GetFailSendMessage() const { return m_dwFailSendMessage; }

private:
    bool ReadFileText(const std::wstring &strPath, std::wstring &strText);
    void Apply(const std::wstring &strKey, const std::wstring &strValue);

    bool m_bLoggedOn;
    DWORD m_dwLogonAfterSeconds;
    ULONGLONG m_ullWritten;   // last-write time of the scenario file: the origin of the logon delay
    std::wstring m_strUser;
    std::wstring m_strDomain;
    DWORD m_dwMessageResponse;
    DWORD m_dwFailEnumerate;
    DWORD m_dwFailQueryInformation;
    DWORD m_dwFailQueryUserToken;
    DWORD m_dwFailSendMessage;
};
