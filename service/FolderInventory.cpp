#include "FolderInventory.h"
#include "FileSha256.h"
#include "Log.h"
#include "ScopedHandle.h"

namespace {
bool IsDots(const wchar_t *pszName)
{
    return lstrcmpW(pszName, L".") == 0 || lstrcmpW(pszName, L"..") == 0;
}
}  // namespace

bool FolderInventory::Digest(const std::wstring &strFolder, const std::wstring &strSkipTopName,
                             UpdateManifestText::EntryMap &entries, std::wstring &strReason)
{
    entries.clear();
    std::wstring strRoot = strFolder;
    if (!strRoot.empty() && strRoot.back() == L'\\') strRoot.pop_back();
    return DigestFolder(strRoot, std::wstring(), strSkipTopName, entries, strReason);
}

bool FolderInventory::DigestFolder(const std::wstring &strRoot, const std::wstring &strRelative,
                                   const std::wstring &strSkipTopName, UpdateManifestText::EntryMap &entries,
                                   std::wstring &strReason)
{
    const std::wstring strFolder = strRelative.empty() ? strRoot : strRoot + L"\\" + strRelative;
    WIN32_FIND_DATAW fd;
    ScopedFindHandle hFind(FindFirstFileW((strFolder + L"\\*").c_str(), &fd));
    if (!hFind) {
        DWORD dwErr = GetLastError();
        LOG_API_ERROR(L"FindFirstFile", dwErr);
        strReason = L"the folder cannot be listed: " + strFolder;
        return false;
    }
    do {
        if (IsDots(fd.cFileName)) continue;
        const std::wstring strName = fd.cFileName;
        const std::wstring strChild = strRelative.empty() ? strName : strRelative + L"\\" + strName;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            strReason = L"the update holds a reparse point: " + strChild;
            return false;
        }
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!DigestFolder(strRoot, strChild, strSkipTopName, entries, strReason)) return false;
            continue;
        }
        if (strRelative.empty() && lstrcmpiW(strName.c_str(), strSkipTopName.c_str()) == 0) continue;
        if (!DigestFile(strRoot + L"\\" + strChild, strChild, entries, strReason)) return false;
    } while (FindNextFileW(hFind.Get(), &fd));
    DWORD dwErr = GetLastError();
    if (dwErr != ERROR_NO_MORE_FILES) {
        LOG_API_ERROR(L"FindNextFile", dwErr);
        strReason = L"the folder cannot be listed: " + strFolder;
        return false;
    }
    return true;
}

bool FolderInventory::DigestFile(const std::wstring &strPath, const std::wstring &strRelative,
                                 UpdateManifestText::EntryMap &entries, std::wstring &strReason)
{
    ScopedFileHandle hFile(CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!hFile) {
        LOG_API_ERROR(L"CreateFile", GetLastError());
        strReason = L"the file cannot be read: " + strRelative;
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(hFile.Get(), &info)) {
        LOG_API_ERROR(L"GetFileInformationByHandle", GetLastError());
        strReason = L"the file cannot be examined: " + strRelative;
        return false;
    }
    if (info.nNumberOfLinks > 1) {
        strReason = L"the file has more than one link: " + strRelative;
        return false;
    }
    UpdateManifestText::Entry entry;
    entry.strPath = strRelative;
    if (!FileSha256::OfHandle(hFile.Get(), entry.strDigest)) {
        strReason = L"the file's digest cannot be computed: " + strRelative;
        return false;
    }
    entries[UpdateManifestText::Key(strRelative)] = entry;
    return true;
}
