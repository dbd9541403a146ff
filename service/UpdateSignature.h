#pragma once
// Checks an RSA signature (SHA-256, PKCS #1 v1.5, CryptoAPI byte order) against a public key
// blob. The service checks against the update key built into it (BuiltIn).
#include <windows.h>
#include <string>

class UpdateSignature {
public:
    UpdateSignature(const BYTE *pbPublicKeyBlob, DWORD dwBlobSize);
    // The product's update key, named when the service was built.
    static UpdateSignature BuiltIn();

    // true when the signature is this key's over the data; false with a reason otherwise.
    bool Verify(const std::string &strData, const std::string &strSignature, std::wstring &strReason) const;

private:
    const BYTE *m_pbKey;
    DWORD m_dwKeySize;
};
