#pragma once
// UTF-16 <-> UTF-8 and strict decimal parsing.
#include <string>

class ConvertString {
public:
    // Byte count of the UTF-8 text including its terminating zero (0 on failure).
    int UnicodetoUTF8(const wchar_t *pszText, std::string &strOut);
    // Character count including the terminating zero (0 on failure).
    int UTF8toUNICODE(const char *pszText, std::wstring &strOut);
    // Digits with at most one "." after the first character; the part before the "." is
    // converted. Anything else (also the empty text) gives -1.
    long StringToInteger(const std::wstring &strText);

private:
    static bool IsStrictNumber(const std::wstring &strText, size_t &nDot);
};
