#pragma once
// Texts of the HTTP exchange made fit for the trace log: the values of password fields in a form
// body or a URL ("standardPassword=", "connectPassword=", "pass=") are put in braces, which the
// logger masks.
#include <string>

class HttpLogText {
public:
    static std::wstring MaskSecrets(const std::wstring &strText);
    // A whole secret value in braces (braces inside it would end the mask early: they become "*").
    static std::wstring Braced(const std::wstring &strValue);

private:
    static bool IsFieldStart(const std::wstring &strText, size_t nPos);
};
