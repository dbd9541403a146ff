#pragma once
// Reads bytes from the pipe back as UTF-16LE text, independently of the code under test.
#include <string>

inline std::wstring WireText(const std::string &strBytes)
{
    std::wstring str;
    for (size_t i = 0; i + 1 < strBytes.size(); i += 2) {
        unsigned int uiLow = static_cast<unsigned char>(strBytes[i]);
        unsigned int uiHigh = static_cast<unsigned char>(strBytes[i + 1]);
        str += static_cast<wchar_t>(uiLow | (uiHigh << 8));
    }
    return str;
}
