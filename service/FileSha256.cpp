#include "FileSha256.h"
#include "CryptHandles.h"
#include "Log.h"
#include <vector>

namespace {
const DWORD kBlockBytes = 256 * 1024;
const DWORD kDigestBytes = 32;
}  // namespace

std::wstring FileSha256::ToHex(const BYTE *pbData, DWORD dwSize)
{
    static const wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring strHex;
    strHex.reserve(dwSize * 2);
    for (DWORD i = 0; i < dwSize; ++i) {
        strHex += kDigits[pbData[i] >> 4];
        strHex += kDigits[pbData[i] & 0x0f];
    }
    return strHex;
}

bool FileSha256::OfHandle(HANDLE hFile, std::wstring &strHex)
{
    ScopedCryptProv prov;
    if (!CryptAcquireContextW(prov.Receive(), nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) {
        LOG_API_ERROR(L"CryptAcquireContext", GetLastError());
        return false;
    }
    ScopedCryptHash hash;
    if (!CryptCreateHash(prov.Get(), FileSha256::ALG_SHA256, 0, 0, hash.Receive())) {
        LOG_API_ERROR(L"CryptCreateHash", GetLastError());
        return false;
    }
    std::vector<BYTE> vecBlock(kBlockBytes);
    for (;;) {
        DWORD dwRead = 0;
        if (!ReadFile(hFile, vecBlock.data(), kBlockBytes, &dwRead, nullptr)) {
            LOG_API_ERROR(L"ReadFile", GetLastError());
            return false;
        }
        if (dwRead == 0) break;
        if (!CryptHashData(hash.Get(), vecBlock.data(), dwRead, 0)) {
            LOG_API_ERROR(L"CryptHashData", GetLastError());
            return false;
        }
    }
    BYTE abDigest[kDigestBytes];
    DWORD dwSize = kDigestBytes;
    if (!CryptGetHashParam(hash.Get(), HP_HASHVAL, abDigest, &dwSize, 0)) {
        LOG_API_ERROR(L"CryptGetHashParam", GetLastError());
        return false;
    }
    strHex = ToHex(abDigest, dwSize);
    return true;
}

bool FileSha256::OfPath(const std::wstring &strPath, std::wstring &strHex)
{
    ScopedFileHandle hFile(CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!hFile) {
        LOG_API_ERROR(L"CreateFile", GetLastError());
        return false;
    }
    return OfHandle(hFile.Get(), strHex);
}
