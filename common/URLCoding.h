#pragma once
// Percent-encoding of UTF-16 text through UTF-8, as in HTML form data: unreserved characters
// (A-Z a-z 0-9 - . _ ~) stay, a blank becomes "+", every other UTF-8 byte becomes "%xx" with
// lower-case hexadecimal digits. Input and output are UTF-16 text; the input ends at its byte
// count or its first zero unit. The output ends with a zero unit; the result is the output's byte
// count with that zero unit, and a null output returns the same count.
#include "Coding.h"

class URLCoding : public Coding {
public:
    // -1 the text cannot be converted to UTF-8.
    long Encode(const BYTE *pbInput, DWORD dwInputSize, BYTE *pbOutput,
                const std::wstring &strKey) override;
    // "%" and two hexadecimal digits become that byte, "+" a blank, all else is copied; the bytes
    // are then read as UTF-8. -1 a conversion failed.
    long Decode(const BYTE *pbInput, DWORD dwInputSize, BYTE *pbOutput,
                const std::wstring &strKey) override;

private:
    // Text to UTF-8, mapped, back to UTF-16 into the output.
    static long Transcode(const BYTE *pbInput, DWORD dwInputSize, BYTE *pbOutput, const std::wstring &strKey,
                          std::string (*pfnMap)(const std::string &));
    static std::string Escape(const std::string &strUtf8);
    static std::string Unescape(const std::string &strText);
    static int HexValue(char ch);
};
