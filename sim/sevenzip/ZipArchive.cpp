#include "ZipArchive.h"
#include "ArchiverErrors.h"
#include "ZipCryptoKeys.h"
#include <windows.h>
#include <zlib.h>

namespace {
const uint32_t kEndOfDirectory = 0x06054b50;
const uint32_t kDirectoryEntry = 0x02014b50;
const uint32_t kLocalHeader = 0x04034b50;
const size_t kEndRecordSize = 22;
const size_t kDirectoryEntrySize = 46;
const size_t kLocalHeaderSize = 30;
const size_t kCryptHeaderSize = 12;
}  // namespace

uint16_t ZipArchive::U16(size_t nPos) const
{
    return static_cast<uint16_t>(m_bytes[nPos] | (m_bytes[nPos + 1] << 8));
}

uint32_t ZipArchive::U32(size_t nPos) const
{
    return static_cast<uint32_t>(U16(nPos)) | (static_cast<uint32_t>(U16(nPos + 2)) << 16);
}

int ZipArchive::ReadFile(const std::wstring &strPath)
{
    HANDLE hFile = CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) {
        DWORD dwErr = GetLastError();
        return (dwErr == ERROR_FILE_NOT_FOUND || dwErr == ERROR_PATH_NOT_FOUND)
                   ? ARC_ERROR_NOT_FIND_ARC_FILE
                   : ARC_ERROR_ARC_FILE_OPEN;
    }
    int iRet = ARC_OK;
    DWORD dwHigh = 0;
    DWORD dwSize = GetFileSize(hFile, &dwHigh);
    if (dwSize == INVALID_FILE_SIZE || dwHigh != 0 || dwSize > 256u * 1024 * 1024) {
        iRet = ARC_ERROR_NOT_SUPPORT;
    } else {
        m_bytes.resize(dwSize);
        DWORD dwRead = 0;
        if (dwSize != 0 && (!::ReadFile(hFile, m_bytes.data(), dwSize, &dwRead, nullptr) || dwRead != dwSize))
            iRet = ARC_ERROR_CANNOT_READ;
    }
    CloseHandle(hFile);
    return iRet;
}

int ZipArchive::ReadDirectory()
{
    if (m_bytes.size() < kEndRecordSize) return ARC_ERROR_NOT_ARC_FILE;
    // The end record sits at the end, behind a comment of at most 65535 bytes.
    size_t nEnd = m_bytes.size() - kEndRecordSize;
    size_t nLowest = nEnd > 0xFFFF ? nEnd - 0xFFFF : 0;
    while (U32(nEnd) != kEndOfDirectory) {
        if (nEnd == nLowest) return ARC_ERROR_NOT_ARC_FILE;
        --nEnd;
    }
    uint16_t wCount = U16(nEnd + 10);
    uint32_t dwDirSize = U32(nEnd + 12);
    uint32_t dwDirOffset = U32(nEnd + 16);
    if (wCount == 0xFFFF || dwDirOffset == 0xFFFFFFFF) return ARC_ERROR_NOT_SUPPORT;   // ZIP64
    if (static_cast<uint64_t>(dwDirOffset) + dwDirSize > nEnd) return ARC_ERROR_HEADER_BROKEN;

    size_t nPos = dwDirOffset;
    for (uint16_t i = 0; i < wCount; ++i) {
        if (nPos + kDirectoryEntrySize > nEnd || U32(nPos) != kDirectoryEntry) return ARC_ERROR_HEADER_BROKEN;
        ZipEntry entry;
        entry.wFlags = U16(nPos + 8);
        entry.wMethod = U16(nPos + 10);
        entry.wModTime = U16(nPos + 12);
        entry.dwCrc = U32(nPos + 16);
        entry.dwCompressedSize = U32(nPos + 20);
        entry.dwSize = U32(nPos + 24);
        uint16_t wNameLen = U16(nPos + 28), wExtraLen = U16(nPos + 30), wCommentLen = U16(nPos + 32);
        entry.dwLocalOffset = U32(nPos + 42);
        size_t nNext = nPos + kDirectoryEntrySize + wNameLen + wExtraLen + wCommentLen;
        if (nNext > nEnd) return ARC_ERROR_HEADER_BROKEN;
        entry.strName.assign(reinterpret_cast<const char *>(&m_bytes[nPos + kDirectoryEntrySize]), wNameLen);
        entry.bUtf8 = (entry.wFlags & 0x0800) != 0;
        if (entry.dwSize == 0xFFFFFFFF || entry.dwCompressedSize == 0xFFFFFFFF ||
            entry.dwLocalOffset == 0xFFFFFFFF)
            return ARC_ERROR_NOT_SUPPORT;
        m_entries.push_back(entry);
        nPos = nNext;
    }
    return ARC_OK;
}

int ZipArchive::Open(const std::wstring &strPath)
{
    m_bytes.clear();
    m_entries.clear();
    int iRet = ReadFile(strPath);
    if (iRet != ARC_OK) return iRet;
    return ReadDirectory();
}

int ZipArchive::EntryData(const ZipEntry &entry, const uint8_t **ppbData) const
{
    size_t nPos = entry.dwLocalOffset;
    if (nPos + kLocalHeaderSize > m_bytes.size() || U32(nPos) != kLocalHeader) return ARC_ERROR_HEADER_BROKEN;
    size_t nData = nPos + kLocalHeaderSize + U16(nPos + 26) + U16(nPos + 28);
    if (nData + entry.dwCompressedSize > m_bytes.size()) return ARC_ERROR_HEADER_BROKEN;
    *ppbData = m_bytes.data() + nData;
    return ARC_OK;
}

int ZipArchive::Inflate(const uint8_t *pbData, uint32_t dwSize, uint32_t dwExpected,
                        std::vector<uint8_t> &out)
{
    out.assign(dwExpected, 0);
    z_stream stream = {};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return ARC_ERROR_ENOUGH_MEMORY;
    uint8_t bSpare = 0;
    stream.next_in = const_cast<Bytef *>(pbData);
    stream.avail_in = dwSize;
    stream.next_out = dwExpected ? out.data() : &bSpare;
    stream.avail_out = dwExpected;
    int iZ = inflate(&stream, Z_FINISH);
    bool bComplete = iZ == Z_STREAM_END && stream.total_out == dwExpected;
    inflateEnd(&stream);
    return bComplete ? ARC_OK : ARC_ERROR_BROKEN_DATA;
}

int ZipArchive::ReadEntry(const ZipEntry &entry, const std::string &strPassword, bool bHasPassword,
                          std::vector<uint8_t> &data) const
{
    // Bit 6 is strong encryption, method 99 WinZip AES: neither is ZipCrypto.
    if ((entry.wFlags & 0x0040) != 0 || (entry.wMethod != 0 && entry.wMethod != 8)) return ARC_ERROR_METHOD;
    const uint8_t *pbData = nullptr;
    int iRet = EntryData(entry, &pbData);
    if (iRet != ARC_OK) return iRet;

    std::vector<uint8_t> packed(pbData, pbData + entry.dwCompressedSize);
    if (entry.IsEncrypted()) {
        if (!bHasPassword || packed.size() < kCryptHeaderSize) return ARC_ERROR_PASSWORD_FILE;
        ZipCryptoKeys keys(strPassword);
        keys.Decrypt(packed.data(), packed.size());
        // The last header byte repeats the top byte of the CRC, or of the time when the sizes
        // follow the data (flag bit 3).
        uint8_t bCheck = (entry.wFlags & 0x0008) ? static_cast<uint8_t>(entry.wModTime >> 8)
                                                 : static_cast<uint8_t>(entry.dwCrc >> 24);
        if (packed[kCryptHeaderSize - 1] != bCheck) return ARC_ERROR_PASSWORD_FILE;
        packed.erase(packed.begin(), packed.begin() + kCryptHeaderSize);
    }
    if (entry.wMethod == 8) {
        iRet = Inflate(packed.data(), static_cast<uint32_t>(packed.size()), entry.dwSize, data);
    } else {
        data.swap(packed);
        iRet = data.size() == entry.dwSize ? ARC_OK : ARC_ERROR_BROKEN_DATA;
    }
    if (iRet == ARC_OK &&
        crc32(0, data.empty() ? Z_NULL : data.data(), static_cast<uInt>(data.size())) != entry.dwCrc)
        iRet = ARC_ERROR_FILE_CRC;
    // One header byte in 256 passes with a wrong password; the data then fails instead.
    if (iRet != ARC_OK && entry.IsEncrypted()) iRet = ARC_ERROR_PASSWORD_FILE;
    return iRet;
}
