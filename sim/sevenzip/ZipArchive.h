#pragma once
// A ZIP archive read whole into memory: its central directory and each entry's data.
#include <cstdint>
#include <string>
#include <vector>

struct ZipEntry {
    std::string strName;      // as stored (UTF-8 when bUtf8)
    bool bUtf8 = false;
    uint16_t wFlags = 0;
    uint16_t wMethod = 0;
    uint16_t wModTime = 0;
    uint32_t dwCrc = 0;
    uint32_t dwCompressedSize = 0;
    uint32_t dwSize = 0;
    uint32_t dwLocalOffset = 0;
    bool IsFolder() const { return !strName.empty() && (strName.back() == '/' || strName.back() == '\\'); }
    bool IsEncrypted() const { return (wFlags & 0x0001) != 0; }
};

class ZipArchive {
public:
    // ARC_OK, or the archiver's code: missing file, unreadable, not a ZIP, broken directory.
    int Open(const std::wstring &strPath);
    const std::vector<ZipEntry> &Entries() const { return m_entries; }
    // Decompressed, decrypted and checked bytes of one entry; ARC_OK or the archiver's code.
    int ReadEntry(const ZipEntry &entry, const std::string &strPassword, bool bHasPassword,
                  std::vector<uint8_t> &data) const;

private:
    int ReadFile(const std::wstring &strPath);
    int ReadDirectory();
    int EntryData(const ZipEntry &entry, const uint8_t **ppbData) const;
    static int Inflate(const uint8_t *pbData, uint32_t dwSize, uint32_t dwExpected,
                       std::vector<uint8_t> &out);
    uint16_t U16(size_t nPos) const;
    uint32_t U32(size_t nPos) const;

    std::vector<uint8_t> m_bytes;
    std::vector<ZipEntry> m_entries;
};
