#pragma once
// Text conversions of the simulator: its files are UTF-8, the "A" entry points use the ANSI code page.
#include <windows.h>
#include <string>
#include <utility>
#include <vector>

class SimText {
public:
    static std::string ToUtf8(const std::wstring &str);
    // Invalid sequences become U+FFFD (the system conversion's behaviour).
    static std::wstring FromUtf8(const std::string &str);
    static std::string ToAnsi(const std::wstring &str);
    static std::wstring FromAnsi(const std::string &str);
    // The "key=value" lines of a scenario file, trimmed; blank lines, comments ("#", ";") and
    // section headers ("[") are skipped, as are lines without "=".
    static std::vector<std::pair<std::wstring, std::wstring>> ScenarioPairs(const std::wstring &strText);
    static std::wstring Trim(const std::wstring &str);

private:
    static std::string Narrow(UINT uiCodePage, const std::wstring &str);
    static std::wstring Widen(UINT uiCodePage, const std::string &str);
};
