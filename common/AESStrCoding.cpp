#include "AESStrCoding.h"
#include "AESCoding.h"
#include "CryptBase64.h"
#include "Log.h"
#include <cstring>
#include <vector>

long AESStrCoding::Encode(const BYTE *pbInput, DWORD dwInputSize, BYTE *pbOutput,
                          const std::wstring &strKey)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo]  Key is {%s}", strKey.c_str());
    AESCoding aes;
    long lCipherSize = aes.Encode(pbInput, dwInputSize, nullptr, strKey);
    if (lCipherSize < 0) return lCipherSize;
    long lTextBytes = static_cast<long>(CryptBase64::TextLength(lCipherSize) * sizeof(wchar_t));
    if (pbOutput == nullptr) {
        LOGWRITE(LOG_DEBUG, L"[OutputInfo] Needed size is %ld", lTextBytes);
        return lTextBytes;
    }

    std::vector<BYTE> cipher(lCipherSize);
    long lRet = aes.Encode(pbInput, dwInputSize, cipher.data(), strKey);
    if (lRet < 0) return lRet;
    std::wstring strText;
    if (!CryptBase64::ToText(cipher.data(), static_cast<DWORD>(lRet), strText)) return -20;
    lTextBytes = static_cast<long>(strText.size() * sizeof(wchar_t));
    memcpy(pbOutput, strText.data(), lTextBytes);
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] Text size is %ld", lTextBytes);
    return lTextBytes;
}

long AESStrCoding::Decode(const BYTE *pbInput, DWORD dwInputSize, BYTE *pbOutput,
                          const std::wstring &strKey)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo]  Key is {%s}", strKey.c_str());
    if (pbInput == nullptr) return -8;
    std::vector<BYTE> cipher;
    if (!CryptBase64::ToBinary(TextOfInput(pbInput, dwInputSize), cipher)) return -20;
    if (pbOutput == nullptr) return static_cast<long>(cipher.size());
    AESCoding aes;
    BYTE bEmpty = 0;
    return aes.Decode(cipher.empty() ? &bEmpty : cipher.data(), static_cast<DWORD>(cipher.size()),
                      pbOutput, strKey);
}
