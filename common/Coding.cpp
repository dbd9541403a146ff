#include "Coding.h"
#include "AESCoding.h"
#include "AESStrCoding.h"
#include "Base64Coding.h"
#include "Base64URLCoding.h"
#include "Log.h"
#include "MD5Coding.h"
#include "SHA1Coding.h"
#include "SHA256Coding.h"
#include "URLCoding.h"
#include <cstring>
#include <new>

std::wstring Coding::GetRandKey(int iLength)
{
    return std::wstring();
}

namespace {
template <typename T>
Coding *CreateCoder(const wchar_t *pszName)
{
    Coding *pCoding = new (std::nothrow) T();
    if (pCoding == nullptr) {
        LOGWRITE(LOG_ERROR, L"Failed to generate a %s class", pszName);
        return nullptr;
    }
    LOGWRITE(LOG_DEBUG, L"create %s", pszName);
    return pCoding;
}
}  // namespace

Coding *Coding::GetCode(int iCodeType)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] CodeType is %d", iCodeType);
    switch (iCodeType) {
    case CODE_AES: return CreateCoder<AESCoding>(L"AESCoding");
    case CODE_BASE64: return CreateCoder<Base64Coding>(L"Base64Coding");
    case CODE_MD5: return CreateCoder<MD5Coding>(L"MD5Coding");
    case CODE_URL: return CreateCoder<URLCoding>(L"URLCoding");
    case CODE_SHA1: return CreateCoder<SHA1Coding>(L"SHA1Coding");
    case CODE_SHA256: return CreateCoder<SHA256Coding>(L"SHA256Coding");
    case CODE_BASE64URL: return CreateCoder<Base64URLCoding>(L"Base64URLCoding");
    case CODE_AES_STR: return CreateCoder<AESStrCoding>(L"AESStrCoding");
    default:
        LOGWRITE(LOG_ERROR, L"Unknown CodeType [%d]", iCodeType);
        return nullptr;
    }
}

std::wstring Coding::TextOfInput(const BYTE *pbInput, DWORD dwInputSize)
{
    std::wstring strText;
    if (pbInput == nullptr) return strText;
    // The input need not be aligned for wchar_t: read it unit by unit.
    DWORD dwUnits = dwInputSize / sizeof(wchar_t);
    strText.reserve(dwUnits);
    for (DWORD i = 0; i < dwUnits; ++i) {
        wchar_t ch = static_cast<wchar_t>(pbInput[2 * i] | (pbInput[2 * i + 1] << 8));
        if (ch == L'\0') break;
        strText.push_back(ch);
    }
    return strText;
}

long Coding::PutText(const std::wstring &strText, BYTE *pbOutput)
{
    size_t nBytes = (strText.size() + 1) * sizeof(wchar_t);
    if (pbOutput != nullptr) memcpy(pbOutput, strText.c_str(), nBytes);
    return static_cast<long>(nBytes);
}
