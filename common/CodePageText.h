#pragma once
// Conversions between UTF-16 and a code page (the ANSI code page for CryptoAPI key bytes and the
// archiver's command line, UTF-8 for URL coding).
#include <windows.h>
#include <string>

class CodePageText {
public:
    // Empty on failure (logged); bOk, when given, tells failure from an empty text.
    static std::string FromWide(UINT uiCodePage, const std::wstring &strText, bool *pbOk = nullptr);
    static std::wstring ToWide(UINT uiCodePage, const std::string &strText, bool *pbOk = nullptr);
};
