#pragma once
// A CryptoAPI digest as lower-case hexadecimal text: the work shared by the hash coders.
#include <windows.h>
#include <wincrypt.h>
#include <string>

class HashDigest {
public:
    HashDigest(DWORD dwProvType, ALG_ID algId);

    // Results: -1 no context, -2 hash creation, -3 hashing, -4 hash size, -5 hash value,
    // -6 hexadecimal conversion; 0 on success.
    long HexText(const BYTE *pbInput, DWORD dwInputSize, std::wstring &strHex) const;

private:
    long DigestBytes(const BYTE *pbInput, DWORD dwInputSize, std::basic_string<BYTE> &digest) const;
    static long ToHex(const std::basic_string<BYTE> &digest, std::wstring &strHex);

    DWORD m_dwProvType;
    ALG_ID m_algId;
};
