#include "SHA1Coding.h"
#include "HashDigest.h"
#include "Log.h"

long SHA1Coding::Encode(const BYTE *pbInput, DWORD dwInputSize, BYTE *pbOutput,
                  const std::wstring &strKey)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo]  Key is {%s}", strKey.c_str());
    LOGWRITE(LOG_DEBUG, L"[InputInfo] Input size is %lu", dwInputSize);
    std::wstring strHex;
    long lRet = HashDigest(PROV_RSA_FULL, CALG_SHA1).HexText(pbInput, dwInputSize, strHex);
    if (lRet != 0) return lRet;
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] Digest is {%s}", strHex.c_str());
    return PutText(strHex, pbOutput);
}

long SHA1Coding::Decode(const BYTE *pbInput, DWORD dwInputSize, BYTE *pbOutput,
                  const std::wstring &strKey)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo]  Key is {%s}", strKey.c_str());
    LOGWRITE(LOG_ERROR, L"SHA1 Can't Decryption");
    return -1;
}
