#pragma once
// The test client's commands that show and change the settings through the product classes:
//   settings show                  every value of the user setting file (read first)
//   settings set KEY=VALUE...      reads the file, sets the values, writes it
//   ini show                       every key of the initialization file and the presence flags
//   osinfo                         every OS information and product registry value
// Output: one "Name=value" line each on standard output (docs/testclient.md).
#include <string>
#include <vector>

class SettingsCommands {
public:
    explicit SettingsCommands(const std::vector<std::wstring> &vecArgs);
    // The process exit code of TestClientApp.
    int Run(const std::wstring &strCommand);

private:
    int ShowSettings();
    int SetSettings();
    int ShowIni();
    int ShowOsInfo();
    int Usage(const std::wstring &strText);
    static void Line(const std::wstring &strName, const std::wstring &strValue);

    const std::vector<std::wstring> &m_vecArgs;
};
