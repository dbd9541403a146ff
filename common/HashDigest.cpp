#include "HashDigest.h"
#include "CryptHandles.h"
#include "Log.h"
#include <cwctype>
#include <vector>

HashDigest::HashDigest(DWORD dwProvType, ALG_ID algId) : m_dwProvType(dwProvType), m_algId(algId) {}

long HashDigest::DigestBytes(const BYTE *pbInput, DWORD dwInputSize,
                             std::basic_string<BYTE> &digest) const
{
    LOG_SCOPE();
    ScopedCryptProv prov;
    if (!CryptAcquireContextW(prov.Receive(), nullptr, nullptr, m_dwProvType,
                              CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) {
        LOG_API_ERROR(L"CryptAcquireContext", GetLastError());
        return -1;
    }
    ScopedCryptHash hash;
    if (!CryptCreateHash(prov.Get(), m_algId, 0, 0, hash.Receive())) {
        LOG_API_ERROR(L"CryptCreateHash", GetLastError());
        return -2;
    }
    BYTE bDummy = 0;
    if (!CryptHashData(hash.Get(), dwInputSize ? pbInput : &bDummy, dwInputSize, 0)) {
        LOG_API_ERROR(L"CryptHashData", GetLastError());
        return -3;
    }
    DWORD dwSize = 0;
    if (!CryptGetHashParam(hash.Get(), HP_HASHVAL, nullptr, &dwSize, 0) || dwSize == 0) {
        LOG_API_ERROR(L"CryptGetHashParam", GetLastError());
        return -4;
    }
    digest.assign(dwSize, 0);
    if (!CryptGetHashParam(hash.Get(), HP_HASHVAL, &digest[0], &dwSize, 0)) {
        LOG_API_ERROR(L"CryptGetHashParam", GetLastError());
        return -5;
    }
    digest.resize(dwSize);
    return 0;
}

long HashDigest::ToHex(const std::basic_string<BYTE> &digest, std::wstring &strHex)
{
    LOG_SCOPE();
    DWORD dwChars = 0;
    if (!CryptBinaryToStringW(digest.data(), static_cast<DWORD>(digest.size()), CRYPT_STRING_HEX,
                              nullptr, &dwChars)) {
        LOG_API_ERROR(L"CryptBinaryToString", GetLastError());
        return -6;
    }
    std::vector<wchar_t> text(dwChars + 1);
    if (!CryptBinaryToStringW(digest.data(), static_cast<DWORD>(digest.size()), CRYPT_STRING_HEX,
                              text.data(), &dwChars)) {
        LOG_API_ERROR(L"CryptBinaryToString", GetLastError());
        return -6;
    }
    // The conversion groups the digits with blanks and breaks lines; the digest is one word.
    strHex.clear();
    for (DWORD i = 0; i < dwChars && text[i] != L'\0'; ++i) {
        wchar_t ch = text[i];
        if (ch == L' ' || ch == L'\t' || ch == L'\r' || ch == L'\n') continue;
        strHex.push_back(static_cast<wchar_t>(towlower(ch)));
    }
    if (strHex.size() != digest.size() * 2) {
        LOGWRITE(LOG_ERROR, L"Hexadecimal text of %lu characters for a %lu byte digest",
                 static_cast<unsigned long>(strHex.size()), static_cast<unsigned long>(digest.size()));
        return -6;
    }
    return 0;
}

long HashDigest::HexText(const BYTE *pbInput, DWORD dwInputSize, std::wstring &strHex) const
{
    LOG_SCOPE();
    if (pbInput == nullptr && dwInputSize != 0) return -3;
    std::basic_string<BYTE> digest;
    long lRet = DigestBytes(pbInput, dwInputSize, digest);
    if (lRet != 0) return lRet;
    return ToHex(digest, strHex);
}
