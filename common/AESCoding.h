#pragma once
// AES-256 through CryptoAPI: key derived from the MD5 hash of the key text's ANSI bytes, CFB mode
// with the provider's default feedback (8 bits), PKCS#5 padding, one fixed initialisation vector.
// The ciphertext is the whole envelope: no header, no length, no checksum.
#include "Coding.h"
#include "CryptHandles.h"

class AESCoding : public Coding {
public:
    static constexpr DWORD AES_BLOCK_SIZE = 16;
    static constexpr DWORD AES_IV_SIZE = 16;

    // Results: -1 no context, -2 hash creation, -3 hashing, -4 key derivation, -5 padding,
    // -6 initialisation vector, -7 mode, -8 no input, -9 size query, -10 encryption.
    long Encode(const BYTE *pbInput, DWORD dwInputSize, BYTE *pbOutput,
                const std::wstring &strKey) override;
    // Results: -1 to -7 as above, -8 no input, -11 not a whole number of blocks, -12 decryption
    // (wrong key or damaged data).
    long Decode(const BYTE *pbInput, DWORD dwInputSize, BYTE *pbOutput,
                const std::wstring &strKey) override;
    // iLength characters of the Base64 alphabet from CryptGenRandom; empty on failure.
    std::wstring GetRandKey(int iLength) override;

    // The fixed initialisation vector of all AES data of the system.
    static void BuildInitVector(BYTE *pbVector);

private:
    long AcquireContext(ScopedCryptProv &prov);
    long PrepareKey(const std::wstring &strKey, ScopedCryptProv &prov, ScopedCryptKey &key);
    long SetKeyParams(HCRYPTKEY hKey);
    long EncryptedSize(HCRYPTKEY hKey, DWORD dwInputSize, DWORD *pdwNeeded);
};
