#pragma once
// Base64 of RFC 4648 over one alphabet: the work shared by Base64Coding and Base64URLCoding.
//
// Encode input: UTF-16 code units that each carry one byte value (0-255). Output: UTF-16 text and
// a zero unit; result: the number of characters (a null output returns the bytes needed, zero
// unit included). Decode input: Base64 text as UTF-16 or as 8-bit characters; blanks, tabs and
// line breaks are skipped, the padding may be missing, anything else outside the alphabet fails.
// Output: the decoded bytes themselves; result: their count (also for a null output).
#include <windows.h>
#include <string>
#include <vector>

class Base64Text {
public:
    // pszAlphabet: the 64 digit characters followed by the padding character.
    explicit Base64Text(const char *pszAlphabet);

    // -1 odd byte count, -2 a code unit above 255.
    long Encode(const BYTE *pbInput, DWORD dwInputSize, BYTE *pbOutput) const;
    // -1 a character outside the alphabet, -2 a lone last digit or data after the padding.
    long Decode(const BYTE *pbInput, DWORD dwInputSize, BYTE *pbOutput) const;
    // Encode or Decode with the coders' input and result lines in the log.
    long Run(bool bEncode, const BYTE *pbInput, DWORD dwInputSize, BYTE *pbOutput, const std::wstring &strKey) const;

private:
    bool Digits(const BYTE *pbInput, DWORD dwInputSize, std::vector<BYTE> &values) const;
    int DigitValue(unsigned int uiChar) const;

    const char *m_pszAlphabet;
};
