#include "UpdateSignature.h"
#include "CryptHandles.h"
#include "FileSha256.h"
#include "Log.h"

namespace {
#include "UpdatePublicKey.inc"   // const BYTE kUpdatePublicKey[]: the key named by the build
}  // namespace

UpdateSignature::UpdateSignature(const BYTE *pbPublicKeyBlob, DWORD dwBlobSize)
    : m_pbKey(pbPublicKeyBlob), m_dwKeySize(dwBlobSize)
{
}

UpdateSignature UpdateSignature::BuiltIn()
{
    return UpdateSignature(kUpdatePublicKey, (DWORD)sizeof(kUpdatePublicKey));
}

bool UpdateSignature::Verify(const std::string &strData, const std::string &strSignature,
                             std::wstring &strReason) const
{
    ScopedCryptProv prov;
    if (!CryptAcquireContextW(prov.Receive(), nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) {
        LOG_API_ERROR(L"CryptAcquireContext", GetLastError());
        strReason = L"no cryptographic provider";
        return false;
    }
    ScopedCryptKey key;
    if (!CryptImportKey(prov.Get(), m_pbKey, m_dwKeySize, 0, 0, key.Receive())) {
        LOG_API_ERROR(L"CryptImportKey", GetLastError());
        strReason = L"the update key cannot be imported";
        return false;
    }
    ScopedCryptHash hash;
    if (!CryptCreateHash(prov.Get(), FileSha256::ALG_SHA256, 0, 0, hash.Receive())) {
        LOG_API_ERROR(L"CryptCreateHash", GetLastError());
        strReason = L"no SHA-256 hash";
        return false;
    }
    if (!CryptHashData(hash.Get(), reinterpret_cast<const BYTE *>(strData.data()), (DWORD)strData.size(), 0)) {
        LOG_API_ERROR(L"CryptHashData", GetLastError());
        strReason = L"the manifest cannot be hashed";
        return false;
    }
    if (strSignature.empty() ||
        !CryptVerifySignatureW(hash.Get(), reinterpret_cast<const BYTE *>(strSignature.data()),
                               (DWORD)strSignature.size(), key.Get(), nullptr, 0)) {
        DWORD dwErr = GetLastError();
        LOGWRITE(LOG_ERROR, L"The manifest's signature does not verify (rc:[%ld]).", (long)dwErr);
        strReason = L"the manifest is not signed with the update key";
        return false;
    }
    return true;
}
