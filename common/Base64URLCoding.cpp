#include "Base64URLCoding.h"
#include "Base64Text.h"
#include "Log.h"

const char Base64URLCoding::ALPHABET[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_=";

long Base64URLCoding::Encode(const BYTE *pbInput, DWORD dwInputSize, BYTE *pbOutput,
                  const std::wstring &strKey)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo]  Key is {%s}", strKey.c_str());
    LOGWRITE(LOG_DEBUG, L"[InputInfo] Input size is %lu", dwInputSize);
    long lRet = Base64Text(ALPHABET).Encode(pbInput, dwInputSize, pbOutput);
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] Result is %ld", lRet);
    return lRet;
}

long Base64URLCoding::Decode(const BYTE *pbInput, DWORD dwInputSize, BYTE *pbOutput,
                  const std::wstring &strKey)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo]  Key is {%s}", strKey.c_str());
    LOGWRITE(LOG_DEBUG, L"[InputInfo] Input size is %lu", dwInputSize);
    long lRet = Base64Text(ALPHABET).Decode(pbInput, dwInputSize, pbOutput);
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] Result is %ld", lRet);
    return lRet;
}
