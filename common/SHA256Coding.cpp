#include "SHA256Coding.h"
#include "HashDigest.h"
#include "Log.h"

// The SDK declares SHA-256 only for Windows XP SP3 and later builds; the AES provider of XP SP3
// has it.
#ifndef CALG_SHA_256
#define CALG_SHA_256 (ALG_CLASS_HASH | ALG_TYPE_ANY | 12)
#endif

long SHA256Coding::Encode(const BYTE *pbInput, DWORD dwInputSize, BYTE *pbOutput,
                  const std::wstring &strKey)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo]  Key is {%s}", strKey.c_str());
    LOGWRITE(LOG_DEBUG, L"[InputInfo] Input size is %lu", dwInputSize);
    std::wstring strHex;
    long lRet = HashDigest(PROV_RSA_AES, CALG_SHA_256).HexText(pbInput, dwInputSize, strHex);
    if (lRet != 0) return lRet;
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] Digest is {%s}", strHex.c_str());
    return PutText(strHex, pbOutput);
}

long SHA256Coding::Decode(const BYTE *pbInput, DWORD dwInputSize, BYTE *pbOutput,
                  const std::wstring &strKey)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo]  Key is {%s}", strKey.c_str());
    LOGWRITE(LOG_ERROR, L"SHA256 Can't Decryption");
    return -1;
}
