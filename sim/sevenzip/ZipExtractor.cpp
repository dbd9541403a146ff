#include "ZipExtractor.h"
#include "ArchiverErrors.h"
#include <windows.h>

ZipExtractor::ZipExtractor(const ArchiverCommand &command) : m_command(command) {}

std::wstring ZipExtractor::Widen(const std::string &strText, UINT uiCodePage)
{
    if (strText.empty()) return std::wstring();
    int iLen = MultiByteToWideChar(uiCodePage, 0, strText.data(), static_cast<int>(strText.size()), nullptr, 0);
    if (iLen <= 0) return std::wstring();
    std::wstring str(iLen, L'\0');
    if (MultiByteToWideChar(uiCodePage, 0, strText.data(), static_cast<int>(strText.size()), &str[0], iLen) != iLen)
        return std::wstring();
    return str;
}

void ZipExtractor::Note(const std::string &strLine)
{
    m_strOutput += strLine + "\r\n";
}

bool ZipExtractor::SplitSafeName(const std::wstring &strName, std::vector<std::wstring> &parts)
{
    parts.clear();
    if (strName.empty() || strName[0] == L'/' || strName[0] == L'\\') return false;
    if (strName.find(L':') != std::wstring::npos || strName.find(L'\0') != std::wstring::npos) return false;
    std::wstring strPart;
    for (size_t i = 0; i <= strName.size(); ++i) {
        wchar_t ch = i < strName.size() ? strName[i] : L'/';
        if (ch != L'/' && ch != L'\\') {
            strPart.push_back(ch);
            continue;
        }
        if (!strPart.empty() && strPart != L".") {
            // Windows drops trailing dots and blanks: ".. " and "..." must not pass as names.
            if (strPart.find_first_not_of(L". ") == std::wstring::npos) return false;
            parts.push_back(strPart);
        }
        strPart.clear();
    }
    return !parts.empty();
}

bool ZipExtractor::MakeFolders(const std::wstring &strFolder)
{
    DWORD dwAttr = GetFileAttributesW(strFolder.c_str());
    if (dwAttr != INVALID_FILE_ATTRIBUTES) return (dwAttr & FILE_ATTRIBUTE_DIRECTORY) != 0;
    size_t nSep = strFolder.find_last_of(L"\\/");
    if (nSep != std::wstring::npos && nSep > 0 && strFolder[nSep - 1] != L':' &&
        !MakeFolders(strFolder.substr(0, nSep)))
        return false;
    return CreateDirectoryW(strFolder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

int ZipExtractor::CheckNames(const std::vector<ZipEntry> &entries)
{
    std::vector<std::wstring> parts;
    for (const ZipEntry &entry : entries) {
        if (!SplitSafeName(Widen(entry.strName, entry.bUtf8 ? CP_UTF8 : CP_OEMCP), parts)) {
            Note("ERROR: unsafe name: " + entry.strName);
            return ARC_ERROR_NOT_FILENAME;
        }
    }
    return ARC_OK;
}

int ZipExtractor::WriteFile(const std::wstring &strPath, const std::vector<uint8_t> &data)
{
    HANDLE hFile = CreateFileW(strPath.c_str(), GENERIC_WRITE, 0, nullptr,
                               m_command.m_bOverwrite ? CREATE_ALWAYS : CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) {
        // Without "-aoa" an existing file is kept, as with the archiver's "-aos".
        return (!m_command.m_bOverwrite && GetLastError() == ERROR_FILE_EXISTS) ? ARC_OK : ARC_ERROR_FILE_OPEN;
    }
    DWORD dwWritten = 0;
    BOOL bOk = data.empty() || (::WriteFile(hFile, data.data(), static_cast<DWORD>(data.size()),
                                            &dwWritten, nullptr) && dwWritten == data.size());
    CloseHandle(hFile);
    return bOk ? ARC_OK : ARC_ERROR_CANNOT_WRITE;
}

int ZipExtractor::ExtractEntry(const ZipArchive &archive, const ZipEntry &entry)
{
    std::vector<std::wstring> parts;
    SplitSafeName(Widen(entry.strName, entry.bUtf8 ? CP_UTF8 : CP_OEMCP), parts);
    std::wstring strFolder = m_strTarget;
    size_t nFolderParts = entry.IsFolder() ? parts.size() : parts.size() - 1;
    for (size_t i = 0; i < nFolderParts; ++i) strFolder += L"\\" + parts[i];
    if (entry.IsFolder()) return MakeFolders(strFolder) ? ARC_OK : ARC_ERROR_MAKEDIRECTORY;

    // The data is checked whole before anything of the entry reaches the disk.
    std::vector<uint8_t> data;
    int iRet = archive.ReadEntry(entry, m_command.m_strPassword, m_command.m_bHasPassword, data);
    if (iRet != ARC_OK) return iRet;
    if (!MakeFolders(strFolder)) return ARC_ERROR_MAKEDIRECTORY;
    Note("Extracting  " + entry.strName);
    return WriteFile(strFolder + L"\\" + parts.back(), data);
}

int ZipExtractor::Run()
{
    m_strTarget = Widen(m_command.m_strOutFolder, CP_ACP);
    while (m_strTarget.size() > 3 && (m_strTarget.back() == L'\\' || m_strTarget.back() == L'/'))
        m_strTarget.pop_back();
    ZipArchive archive;
    int iRet = archive.Open(Widen(m_command.m_strArchive, CP_ACP));
    if (iRet != ARC_OK) return iRet;
    // Every name is checked before anything is written.
    iRet = CheckNames(archive.Entries());
    if (iRet != ARC_OK) return iRet;
    if (!MakeFolders(m_strTarget)) return ARC_ERROR_MAKEDIRECTORY;
    for (const ZipEntry &entry : archive.Entries()) {
        iRet = ExtractEntry(archive, entry);
        if (iRet != ARC_OK) {
            Note("ERROR: " + entry.strName);
            return iRet;
        }
    }
    Note("Everything is Ok");
    return ARC_OK;
}
