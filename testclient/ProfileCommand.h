#pragma once
// "profile show [PATH]": loads the terminal profile (the user's, or the file given) and prints every
// value. "profile store SOURCE [PATH]": stores a UTF-8 profile document encrypted, as the
// registration does, under the user's profile key (made when missing) (docs/testclient.md).
#include <string>
#include <vector>

class TerminalProfile;

class ProfileCommand {
public:
    explicit ProfileCommand(const std::vector<std::wstring> &vecArgs);
    // 0 when the profile was loaded (or stored), 3 otherwise, 2 for bad input.
    int Run();

private:
    int Show(const std::wstring &strPath);
    int Store(const std::wstring &strSource, const std::wstring &strPath);
    static void PrintValues(TerminalProfile &profile);
    static std::wstring KeyOrNew();

    std::vector<std::wstring> m_vecArgs;
};
