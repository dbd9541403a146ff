#include "LogFolder.h"
#include "ScopedHandle.h"

DWORD LogFolder::Make(const std::wstring &strFolder)
{
    std::wstring strPath = strFolder;
    while (strPath.size() > 1 && (strPath.back() == L'\\' || strPath.back() == L'/')) strPath.pop_back();
    return MakeOne(strPath);
}

// strFolder carries no trailing backslash.
DWORD LogFolder::MakeOne(const std::wstring &strFolder)
{
    DWORD dwAttr = GetFileAttributesW(strFolder.c_str());
    if (dwAttr != INVALID_FILE_ATTRIBUTES) return (dwAttr & FILE_ATTRIBUTE_DIRECTORY) ? 0 : ERROR_ALREADY_EXISTS;
    size_t nSep = strFolder.find_last_of(L"\\/");
    if (nSep != std::wstring::npos && nSep > 0) {
        std::wstring strParent = strFolder.substr(0, nSep);
        // A drive ("C:") or a share root is not made; CreateDirectory then says what is wrong.
        if (strParent.back() != L':' && strParent.find_first_not_of(L"\\/") != std::wstring::npos) {
            DWORD dwParent = MakeOne(strParent);
            if (dwParent != 0) return dwParent;
        }
    }
    if (CreateDirectoryW(strFolder.c_str(), nullptr)) return 0;
    DWORD dwError = GetLastError();
    // Another process may have made it in the meantime.
    dwAttr = GetFileAttributesW(strFolder.c_str());
    if (dwError == ERROR_ALREADY_EXISTS && dwAttr != INVALID_FILE_ATTRIBUTES && (dwAttr & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    return dwError;
}

bool LogFolder::Exists(const std::wstring &strPath)
{
    return GetFileAttributesW(strPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<LogFolder::Entry> LogFolder::List(const std::wstring &strFolder, const std::wstring &strPattern)
{
    std::vector<Entry> vecEntries;
    WIN32_FIND_DATAW fd;
    ScopedFindHandle hFind(FindFirstFileW((strFolder + strPattern).c_str(), &fd));
    if (!hFind.IsValid()) return vecEntries;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) vecEntries.push_back(EntryOf(strFolder, fd));
    } while (FindNextFileW(hFind.Get(), &fd));
    return vecEntries;
}

LogFolder::Entry LogFolder::EntryOf(const std::wstring &strFolder, const WIN32_FIND_DATAW &fd)
{
    Entry entry;
    entry.strPath = strFolder + fd.cFileName;
    entry.ullCreatedUTC = ((ULONGLONG)fd.ftCreationTime.dwHighDateTime << 32) | fd.ftCreationTime.dwLowDateTime;
    ZeroMemory(&entry.stCreatedLocal, sizeof(entry.stCreatedLocal));
    FILETIME ftLocal;
    if (FileTimeToLocalFileTime(&fd.ftCreationTime, &ftLocal)) FileTimeToSystemTime(&ftLocal, &entry.stCreatedLocal);
    return entry;
}

DWORD LogFolder::Remove(const std::wstring &strPath)
{
    return DeleteFileW(strPath.c_str()) ? 0 : GetLastError();
}
