#pragma once
// The system's Base64 conversion (CryptBinaryToString / CryptStringToBinary), one line of text.
#include <windows.h>
#include <string>
#include <vector>

class CryptBase64 {
public:
    // CRYPT_STRING_BASE64 with every line break removed; false on failure (logged).
    static bool ToText(const BYTE *pbData, DWORD dwSize, std::wstring &strText);
    // CRYPT_STRING_BASE64_ANY; false on failure (logged).
    static bool ToBinary(const std::wstring &strText, std::vector<BYTE> &data);
    // Characters of the Base64 text of dwSize bytes, padding included.
    static DWORD TextLength(DWORD dwSize) { return (dwSize + 2) / 3 * 4; }
};
