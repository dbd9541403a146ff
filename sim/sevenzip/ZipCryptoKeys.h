#pragma once
// The traditional PKWARE encryption ("ZipCrypto") of APPNOTE.TXT section 6.1.
#include <cstddef>
#include <cstdint>
#include <string>

class ZipCryptoKeys {
public:
    explicit ZipCryptoKeys(const std::string &strPassword);
    // Decrypts in place.
    void Decrypt(uint8_t *pbData, size_t nSize);

private:
    void Update(uint8_t bPlain);
    uint8_t StreamByte() const;

    uint32_t m_dwKey0, m_dwKey1, m_dwKey2;
};
