#include "ZipCryptoKeys.h"

namespace {
uint32_t Crc32Byte(uint32_t dwCrc, uint8_t b)
{
    // One step of the CRC-32 register, as APPNOTE defines it (no pre- or post-inversion).
    dwCrc ^= b;
    for (int i = 0; i < 8; ++i) dwCrc = (dwCrc >> 1) ^ (0xEDB88320u & (0u - (dwCrc & 1)));
    return dwCrc;
}
}  // namespace

ZipCryptoKeys::ZipCryptoKeys(const std::string &strPassword)
    : m_dwKey0(0x12345678), m_dwKey1(0x23456789), m_dwKey2(0x34567890)
{
    for (char ch : strPassword) Update(static_cast<uint8_t>(ch));
}

void ZipCryptoKeys::Update(uint8_t bPlain)
{
    m_dwKey0 = Crc32Byte(m_dwKey0, bPlain);
    m_dwKey1 = (m_dwKey1 + (m_dwKey0 & 0xFF)) * 134775813u + 1;
    m_dwKey2 = Crc32Byte(m_dwKey2, static_cast<uint8_t>(m_dwKey1 >> 24));
}

uint8_t ZipCryptoKeys::StreamByte() const
{
    uint16_t wTemp = static_cast<uint16_t>(m_dwKey2 | 2);
    return static_cast<uint8_t>((wTemp * (wTemp ^ 1)) >> 8);
}

void ZipCryptoKeys::Decrypt(uint8_t *pbData, size_t nSize)
{
    for (size_t i = 0; i < nSize; ++i) {
        uint8_t bPlain = pbData[i] ^ StreamByte();
        pbData[i] = bPlain;
        Update(bPlain);
    }
}
