#pragma once
// SHA-256 of a file's bytes through CryptoAPI (PROV_RSA_AES, on XP SP3 too), read in blocks so
// that large files need no large buffer.
#include <windows.h>
#include <wincrypt.h>
#include <string>

class FileSha256 {
public:
    // CALG_SHA_256, which the headers hide below Windows XP SP3's version number.
    static constexpr ALG_ID ALG_SHA256 = ALG_CLASS_HASH | ALG_TYPE_ANY | 12;

    // Lower-case hexadecimal digest of the open file from its current position to its end; false
    // (logged) on any failure.
    static bool OfHandle(HANDLE hFile, std::wstring &strHex);
    // The same for a file opened for reading by path.
    static bool OfPath(const std::wstring &strPath, std::wstring &strHex);
    static std::wstring ToHex(const BYTE *pbData, DWORD dwSize);
};
