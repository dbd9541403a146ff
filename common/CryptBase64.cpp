#include "CryptBase64.h"
#include "Log.h"
#include <wincrypt.h>

bool CryptBase64::ToText(const BYTE *pbData, DWORD dwSize, std::wstring &strText)
{
    LOG_SCOPE();
    strText.clear();
    if (dwSize == 0) return true;
    DWORD dwChars = 0;
    if (!CryptBinaryToStringW(pbData, dwSize, CRYPT_STRING_BASE64, nullptr, &dwChars)) {
        LOG_API_ERROR(L"CryptBinaryToString", GetLastError());
        return false;
    }
    std::vector<wchar_t> text(dwChars + 1);
    if (!CryptBinaryToStringW(pbData, dwSize, CRYPT_STRING_BASE64, text.data(), &dwChars)) {
        LOG_API_ERROR(L"CryptBinaryToString", GetLastError());
        return false;
    }
    // XP knows no CRYPT_STRING_NOCRLF: the line breaks every 64 characters are taken out here.
    strText.reserve(dwChars);
    for (DWORD i = 0; i < dwChars && text[i] != L'\0'; ++i) {
        if (text[i] != L'\r' && text[i] != L'\n') strText.push_back(text[i]);
    }
    return true;
}

bool CryptBase64::ToBinary(const std::wstring &strText, std::vector<BYTE> &data)
{
    LOG_SCOPE();
    data.clear();
    DWORD dwSize = 0;
    if (!CryptStringToBinaryW(strText.c_str(), static_cast<DWORD>(strText.size()),
                              CRYPT_STRING_BASE64_ANY, nullptr, &dwSize, nullptr, nullptr)) {
        LOG_API_ERROR(L"CryptStringToBinary", GetLastError());
        return false;
    }
    data.resize(dwSize);
    if (dwSize == 0) return true;
    if (!CryptStringToBinaryW(strText.c_str(), static_cast<DWORD>(strText.size()),
                              CRYPT_STRING_BASE64_ANY, data.data(), &dwSize, nullptr, nullptr)) {
        LOG_API_ERROR(L"CryptStringToBinary", GetLastError());
        data.clear();
        return false;
    }
    data.resize(dwSize);
    return true;
}
