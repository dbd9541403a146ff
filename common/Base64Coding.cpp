#include "Base64Coding.h"
#include "Base64Text.h"
#include "Log.h"

const char Base64Coding::ALPHABET[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";

long Base64Coding::Encode(const BYTE *pbInput, DWORD dwInputSize, BYTE *pbOutput, const std::wstring &strKey)
{
    LOG_SCOPE();
    return Base64Text(ALPHABET).Run(true, pbInput, dwInputSize, pbOutput, strKey);
}

long Base64Coding::Decode(const BYTE *pbInput, DWORD dwInputSize, BYTE *pbOutput, const std::wstring &strKey)
{
    LOG_SCOPE();
    return Base64Text(ALPHABET).Run(false, pbInput, dwInputSize, pbOutput, strKey);
}
