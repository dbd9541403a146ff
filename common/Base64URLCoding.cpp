#include "Base64URLCoding.h"
#include "Base64Text.h"
#include "Log.h"

const char Base64URLCoding::ALPHABET[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_=";

long Base64URLCoding::Encode(const BYTE *pbInput, DWORD dwInputSize, BYTE *pbOutput, const std::wstring &strKey)
{
    LOG_SCOPE();
    return Base64Text(ALPHABET).Run(true, pbInput, dwInputSize, pbOutput, strKey);
}

long Base64URLCoding::Decode(const BYTE *pbInput, DWORD dwInputSize, BYTE *pbOutput, const std::wstring &strKey)
{
    LOG_SCOPE();
    return Base64Text(ALPHABET).Run(false, pbInput, dwInputSize, pbOutput, strKey);
}
