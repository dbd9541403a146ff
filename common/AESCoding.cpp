#include "AESCoding.h"
#include "CodePageText.h"
#include "CryptBase64.h"
#include "Log.h"
#include <cstring>
#include <vector>

void AESCoding::BuildInitVector(BYTE *pbVector)
{
    // Built at run time rather than stored as one block of constant bytes. Changing it makes every
    // file encrypted so far unreadable: docs/coding.md lists the resulting bytes.
    for (DWORD i = 0; i < AES_IV_SIZE; ++i) pbVector[i] = static_cast<BYTE>(0xA5 ^ (i * 37 + 11));
}

long AESCoding::AcquireContext(ScopedCryptProv &prov)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[API Call] CryptAcquireContext PROV_RSA_AES");
    if (CryptAcquireContextW(prov.Receive(), nullptr, nullptr, PROV_RSA_AES, 0)) return 0;
    DWORD dwErr = GetLastError();
    if (dwErr == static_cast<DWORD>(NTE_BAD_KEYSET)) {
        LOGWRITE(LOG_INFO, L"Create Default Key Container");
        if (CryptAcquireContextW(prov.Receive(), nullptr, nullptr, PROV_RSA_AES, CRYPT_NEWKEYSET))
            return 0;
        dwErr = GetLastError();
    }
    LOG_API_ERROR(L"CryptAcquireContext", dwErr);
    // Without a usable key container a session key still works in a verify-only context.
    if (CryptAcquireContextW(prov.Receive(), nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT))
        return 0;
    LOG_API_ERROR(L"CryptAcquireContext", GetLastError());
    return -1;
}

long AESCoding::PrepareKey(const std::wstring &strKey, ScopedCryptProv &prov, ScopedCryptKey &key)
{
    LOG_SCOPE();
    long lRet = AcquireContext(prov);
    if (lRet != 0) return lRet;

    ScopedCryptHash hash;
    if (!CryptCreateHash(prov.Get(), CALG_MD5, 0, 0, hash.Receive())) {
        LOG_API_ERROR(L"CryptCreateHash", GetLastError());
        return -2;
    }
    bool bOk = false;
    std::string strAnsiKey = CodePageText::FromWide(CP_ACP, strKey, &bOk);
    BYTE bDummy = 0;
    const BYTE *pbKey = strAnsiKey.empty() ? &bDummy : reinterpret_cast<const BYTE *>(strAnsiKey.data());
    if (!bOk) return -3;   // the conversion has logged its failure
    if (!CryptHashData(hash.Get(), pbKey, static_cast<DWORD>(strAnsiKey.size()), 0)) {
        LOG_API_ERROR(L"CryptHashData", GetLastError());
        return -3;
    }
    // MD5 gives 128 bits; CryptoAPI stretches them to 256 bits (docs/coding.md).
    if (!CryptDeriveKey(prov.Get(), CALG_AES_256, hash.Get(), 256 << 16, key.Receive())) {
        LOG_API_ERROR(L"CryptDeriveKey", GetLastError());
        return -4;
    }
    return SetKeyParams(key.Get());
}

long AESCoding::SetKeyParams(HCRYPTKEY hKey)
{
    LOG_SCOPE();
    DWORD dwPadding = PKCS5_PADDING;
    if (!CryptSetKeyParam(hKey, KP_PADDING, reinterpret_cast<BYTE *>(&dwPadding), 0)) {
        LOG_API_ERROR(L"CryptSetKeyParam KP_PADDING", GetLastError());
        return -5;
    }
    BYTE abVector[AES_IV_SIZE];
    BuildInitVector(abVector);
    if (!CryptSetKeyParam(hKey, KP_IV, abVector, 0)) {
        LOG_API_ERROR(L"CryptSetKeyParam KP_IV", GetLastError());
        return -6;
    }
    DWORD dwMode = CRYPT_MODE_CFB;
    if (!CryptSetKeyParam(hKey, KP_MODE, reinterpret_cast<BYTE *>(&dwMode), 0)) {
        LOG_API_ERROR(L"CryptSetKeyParam KP_MODE", GetLastError());
        return -7;
    }
    return 0;
}

long AESCoding::EncryptedSize(HCRYPTKEY hKey, DWORD dwInputSize, DWORD *pdwNeeded)
{
    LOG_SCOPE();
    DWORD dwLen = dwInputSize;
    if (!CryptEncrypt(hKey, 0, TRUE, 0, nullptr, &dwLen, 0)) {
        LOG_API_ERROR(L"CryptEncrypt", GetLastError());
        return -9;
    }
    *pdwNeeded = dwLen;
    return 0;
}

long AESCoding::Encode(const BYTE *pbInput, DWORD dwInputSize, BYTE *pbOutput,
                       const std::wstring &strKey)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo]  Key is {%s}", strKey.c_str());
    LOGWRITE(LOG_DEBUG, L"[InputInfo] Input size is %lu", dwInputSize);
    if (pbInput == nullptr && dwInputSize != 0) return -8;

    ScopedCryptProv prov;
    ScopedCryptKey key;
    long lRet = PrepareKey(strKey, prov, key);
    if (lRet != 0) return lRet;

    DWORD dwNeeded = 0;
    lRet = EncryptedSize(key.Get(), dwInputSize, &dwNeeded);
    if (lRet != 0) return lRet;
    if (pbOutput == nullptr) {
        LOGWRITE(LOG_DEBUG, L"[OutputInfo] Needed size is %lu", dwNeeded);
        return static_cast<long>(dwNeeded);
    }

    if (dwInputSize != 0) memmove(pbOutput, pbInput, dwInputSize);
    DWORD dwLen = dwInputSize;
    if (!CryptEncrypt(key.Get(), 0, TRUE, 0, pbOutput, &dwLen, dwNeeded)) {
        LOG_API_ERROR(L"CryptEncrypt", GetLastError());
        return -10;
    }
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] Encrypted size is %lu", dwLen);
    return static_cast<long>(dwLen);
}

long AESCoding::Decode(const BYTE *pbInput, DWORD dwInputSize, BYTE *pbOutput,
                       const std::wstring &strKey)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo]  Key is {%s}", strKey.c_str());
    LOGWRITE(LOG_DEBUG, L"[InputInfo] Input size is %lu", dwInputSize);
    if (pbInput == nullptr) return -8;
    if (pbOutput == nullptr) {
        LOGWRITE(LOG_DEBUG, L"pDecodeBuf is NULL, Return the Size of Before Decrption");
        return static_cast<long>(dwInputSize);
    }
    // Padding makes every ciphertext one or more whole blocks; anything else is not ours, and the
    // provider must never be asked to unpad an empty buffer.
    if (dwInputSize == 0 || dwInputSize % AES_BLOCK_SIZE != 0) {
        LOGWRITE(LOG_ERROR, L"Cipher text size %lu is not a whole number of blocks", dwInputSize);
        return -11;
    }

    ScopedCryptProv prov;
    ScopedCryptKey key;
    long lRet = PrepareKey(strKey, prov, key);
    if (lRet != 0) return lRet;

    memmove(pbOutput, pbInput, dwInputSize);
    DWORD dwLen = dwInputSize;
    if (!CryptDecrypt(key.Get(), 0, TRUE, 0, pbOutput, &dwLen)) {
        LOG_API_ERROR(L"CryptDecrypt", GetLastError());
        return -12;
    }
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] Decrypted size is %lu", dwLen);
    return static_cast<long>(dwLen);
}

std::wstring AESCoding::GetRandKey(int iLength)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] Length is %d", iLength);
    if (iLength <= 0) return std::wstring();

    ScopedCryptProv prov;
    LOGWRITE(LOG_DEBUG, L"Don't use Key Containers");
    if (!CryptAcquireContextW(prov.Receive(), nullptr, MS_DEF_PROV_W, PROV_RSA_FULL,
                              CRYPT_VERIFYCONTEXT)) {
        LOG_API_ERROR(L"CryptAcquireContext", GetLastError());
        return std::wstring();
    }
    std::vector<BYTE> random(iLength);
    if (!CryptGenRandom(prov.Get(), static_cast<DWORD>(iLength), random.data())) {
        LOG_API_ERROR(L"CryptGenRandom", GetLastError());
        return std::wstring();
    }
    std::wstring strText;
    if (!CryptBase64::ToText(random.data(), static_cast<DWORD>(iLength), strText)) return std::wstring();
    // Base64 of N bytes has more than N characters, and its padding lies beyond the first N.
    std::wstring strKey = strText.substr(0, static_cast<size_t>(iLength));
    return strKey;
}
