#include "FolderMirror.h"
#include "Log.h"
#include "ScopedHandle.h"

namespace {
bool IsDots(const wchar_t *pszName)
{
    return lstrcmpW(pszName, L".") == 0 || lstrcmpW(pszName, L"..") == 0;
}

bool IsFolder(DWORD dwAttributes)
{
    return (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsLink(DWORD dwAttributes)
{
    return (dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

std::wstring Join(const std::wstring &strFolder, const std::wstring &strName)
{
    if (!strFolder.empty() && strFolder.back() == L'\\') return strFolder + strName;
    return strFolder + L"\\" + strName;
}

bool InList(const std::vector<std::wstring> &vecNames, const std::wstring &strName)
{
    for (const std::wstring &strItem : vecNames) {
        if (lstrcmpiW(strItem.c_str(), strName.c_str()) == 0) return true;
    }
    return false;
}
}  // namespace

FolderMirror::FolderMirror(const std::wstring &strAsideFolder) : m_strAsideFolder(strAsideFolder) {}

DWORD FolderMirror::Overlay(const std::wstring &strSource, const std::wstring &strTarget,
                            const std::vector<std::wstring> &vecSkipTop)
{
    LOG_SCOPE();
    return CopyTree(strSource, strTarget, MODE_OVERLAY, vecSkipTop);
}

DWORD FolderMirror::Mirror(const std::wstring &strSource, const std::wstring &strTarget)
{
    LOG_SCOPE();
    return CopyTree(strSource, strTarget, MODE_MIRROR, std::vector<std::wstring>());
}

DWORD FolderMirror::Snapshot(const std::wstring &strSource, const std::wstring &strTarget)
{
    LOG_SCOPE();
    return CopyTree(strSource, strTarget, MODE_SNAPSHOT, std::vector<std::wstring>());
}

DWORD FolderMirror::List(const std::wstring &strFolder, std::vector<Entry> &vecEntries)
{
    vecEntries.clear();
    WIN32_FIND_DATAW fd;
    ScopedFindHandle hFind(FindFirstFileW(Join(strFolder, L"*").c_str(), &fd));
    if (!hFind) {
        DWORD dwErr = GetLastError();
        LOG_API_ERROR(L"FindFirstFile", dwErr);
        return dwErr;
    }
    do {
        if (IsDots(fd.cFileName)) continue;
        Entry entry;
        entry.strName = fd.cFileName;
        entry.dwAttributes = fd.dwFileAttributes;
        entry.size.LowPart = fd.nFileSizeLow;
        entry.size.HighPart = fd.nFileSizeHigh;
        entry.ftLastWrite = fd.ftLastWriteTime;
        vecEntries.push_back(entry);
    } while (FindNextFileW(hFind.Get(), &fd));
    DWORD dwErr = GetLastError();
    if (dwErr == ERROR_NO_MORE_FILES) return ERROR_SUCCESS;
    LOG_API_ERROR(L"FindNextFile", dwErr);
    return dwErr;
}

bool FolderMirror::Contains(const std::vector<Entry> &vecEntries, const std::wstring &strName, bool bFolder)
{
    for (const Entry &entry : vecEntries) {
        if (lstrcmpiW(entry.strName.c_str(), strName.c_str()) == 0 && IsFolder(entry.dwAttributes) == bFolder &&
            !IsLink(entry.dwAttributes))
            return true;
    }
    return false;
}

DWORD FolderMirror::MakeFolder(const std::wstring &strFolder)
{
    if (CreateDirectoryW(strFolder.c_str(), nullptr)) return ERROR_SUCCESS;
    DWORD dwErr = GetLastError();
    if (dwErr == ERROR_ALREADY_EXISTS) {
        DWORD dwAttr = GetFileAttributesW(strFolder.c_str());
        if (dwAttr != INVALID_FILE_ATTRIBUTES && IsFolder(dwAttr) && !IsLink(dwAttr)) return ERROR_SUCCESS;
    }
    LOG_API_ERROR(L"CreateDirectory", dwErr);
    return dwErr;
}

const FolderMirror::Entry *FolderMirror::Find(const std::vector<Entry> &vecEntries, const std::wstring &strName)
{
    for (const Entry &entry : vecEntries) {
        if (lstrcmpiW(entry.strName.c_str(), strName.c_str()) == 0) return &entry;
    }
    return nullptr;
}

bool FolderMirror::SameFile(const Entry &source, const Entry *pTarget)
{
    return pTarget != nullptr && pTarget->dwAttributes == source.dwAttributes &&
           pTarget->size.QuadPart == source.size.QuadPart &&
           CompareFileTime(&pTarget->ftLastWrite, &source.ftLastWrite) == 0;
}

DWORD FolderMirror::CopyTree(const std::wstring &strSource, const std::wstring &strTarget, Mode mode,
                             const std::vector<std::wstring> &vecSkipTop)
{
    std::vector<Entry> vecSource;
    DWORD dwErr = List(strSource, vecSource);
    if (dwErr != ERROR_SUCCESS) return dwErr;
    if ((dwErr = MakeFolder(strTarget)) != ERROR_SUCCESS) return dwErr;
    std::vector<Entry> vecTarget;
    if (mode != MODE_OVERLAY) {
        if ((dwErr = RemoveExtras(strSource, vecSource, strTarget)) != ERROR_SUCCESS) return dwErr;
        if ((dwErr = List(strTarget, vecTarget)) != ERROR_SUCCESS) return dwErr;
    }
    for (const Entry &entry : vecSource) {
        if (InList(vecSkipTop, entry.strName)) continue;
        const std::wstring strFrom = Join(strSource, entry.strName);
        const std::wstring strTo = Join(strTarget, entry.strName);
        if (IsLink(entry.dwAttributes)) {
            LOGWRITE(LOG_ERROR, L"A reparse point is not copied: %s", strFrom.c_str());
            return ERROR_CANT_ACCESS_FILE;
        }
        if (IsFolder(entry.dwAttributes)) {
            dwErr = CopyTree(strFrom, strTo, mode, std::vector<std::wstring>());
        } else if (mode != MODE_OVERLAY && SameFile(entry, Find(vecTarget, entry.strName))) {
            continue;
        } else {
            dwErr = PutFile(strFrom, strTo, mode);
            if (dwErr == ERROR_SUCCESS) m_vecFilesPut.push_back(strTo);
        }
        if (dwErr == ERROR_SHARING_VIOLATION && mode == MODE_SNAPSHOT && !IsFolder(entry.dwAttributes)) {
            LOGWRITE(LOG_WARN, L"The file %s is held open by another program; the snapshot leaves it out.",
                     strFrom.c_str());
            continue;
        }
        if (dwErr != ERROR_SUCCESS) return dwErr;
    }
    return ERROR_SUCCESS;
}

DWORD FolderMirror::RemoveExtras(const std::wstring &strSource, const std::vector<Entry> &vecSource,
                                 const std::wstring &strTarget)
{
    std::vector<Entry> vecTarget;
    DWORD dwErr = List(strTarget, vecTarget);
    if (dwErr != ERROR_SUCCESS) return dwErr;
    for (const Entry &entry : vecTarget) {
        // Kept: an entry of the same name and kind that the copy replaces or descends into.
        if (!IsLink(entry.dwAttributes) && Contains(vecSource, entry.strName, IsFolder(entry.dwAttributes))) continue;
        const std::wstring strPath = Join(strTarget, entry.strName);
        dwErr = RemoveEntry(strPath, entry.dwAttributes);
        if (dwErr == ERROR_SHARING_VIOLATION && !IsFolder(entry.dwAttributes)) dwErr = RenameAside(strPath);
        if (dwErr != ERROR_SUCCESS) {
            LOGWRITE(LOG_ERROR, L"The entry %s cannot be removed.", strPath.c_str());
            return dwErr;
        }
    }
    return ERROR_SUCCESS;
}

DWORD FolderMirror::PutFile(const std::wstring &strSource, const std::wstring &strTarget, Mode mode)
{
    // The mirror restores a state, read-only files included; the overlay leaves a read-only
    // target alone and fails (the update is then rolled back).
    DWORD dwTargetAttr = GetFileAttributesW(strTarget.c_str());
    if (mode == MODE_OVERLAY && dwTargetAttr != INVALID_FILE_ATTRIBUTES && (dwTargetAttr & FILE_ATTRIBUTE_READONLY)) {
        // Windows refuses to copy over a read-only file; so does the overlay on every system.
        LOGWRITE(LOG_ERROR, L"The file %s is read-only; it is not overwritten.", strTarget.c_str());
        return ERROR_ACCESS_DENIED;
    }
    if (mode != MODE_OVERLAY) {
        DWORD dwAttr = dwTargetAttr;
        if (dwAttr != INVALID_FILE_ATTRIBUTES && (dwAttr & FILE_ATTRIBUTE_READONLY) &&
            !SetFileAttributesW(strTarget.c_str(), dwAttr & ~FILE_ATTRIBUTE_READONLY))
            LOG_API_ERROR(L"SetFileAttributes", GetLastError());
    }
    if (CopyFileW(strSource.c_str(), strTarget.c_str(), FALSE)) return ERROR_SUCCESS;
    DWORD dwErr = GetLastError();
    // A target in use is renamed aside; a source in use (a snapshot's) is not the target's fault.
    if ((dwErr == ERROR_SHARING_VIOLATION || dwErr == ERROR_USER_MAPPED_FILE) && !SourceInUse(strSource)) {
        if (RenameAside(strTarget) == ERROR_SUCCESS) {
            if (CopyFileW(strSource.c_str(), strTarget.c_str(), TRUE)) return ERROR_SUCCESS;
            dwErr = GetLastError();
        }
    }
    LOG_API_ERROR(L"CopyFile", dwErr);
    LOGWRITE(LOG_ERROR, L"The file %s cannot be copied to %s.", strSource.c_str(), strTarget.c_str());
    return dwErr;
}

bool FolderMirror::SourceInUse(const std::wstring &strSource)
{
    ScopedFileHandle hFile(CreateFileW(strSource.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
    return !hFile && GetLastError() == ERROR_SHARING_VIOLATION;
}

DWORD FolderMirror::RenameAside(const std::wstring &strTarget)
{
    if (m_strAsideFolder.empty()) return ERROR_SHARING_VIOLATION;
    DWORD dwErr = MakeFolder(m_strAsideFolder);
    if (dwErr != ERROR_SUCCESS) return dwErr;
    wchar_t szUnique[MAX_PATH] = {};
    if (!GetTempFileNameW(m_strAsideFolder.c_str(), L"old", 0, szUnique)) {
        dwErr = GetLastError();
        LOG_API_ERROR(L"GetTempFileName", dwErr);
        return dwErr;
    }
    if (!MoveFileExW(strTarget.c_str(), szUnique, MOVEFILE_REPLACE_EXISTING)) {
        dwErr = GetLastError();
        LOG_API_ERROR(L"MoveFileEx", dwErr);
        if (!DeleteFileW(szUnique)) LOG_API_ERROR(L"DeleteFile", GetLastError());
        return dwErr;
    }
    LOGWRITE(LOG_INFO, L"The file in use %s was set aside as %s; the new one takes effect at its next start.",
             strTarget.c_str(), szUnique);
    return ERROR_SUCCESS;
}

DWORD FolderMirror::RemoveEntry(const std::wstring &strPath, DWORD dwAttributes)
{
    if (IsFolder(dwAttributes)) {
        if (IsLink(dwAttributes)) {
            if (RemoveDirectoryW(strPath.c_str())) return ERROR_SUCCESS;
            DWORD dwErr = GetLastError();
            LOG_API_ERROR(L"RemoveDirectory", dwErr);
            return dwErr;
        }
        return RemoveTree(strPath);
    }
    if (dwAttributes & FILE_ATTRIBUTE_READONLY) {
        if (!SetFileAttributesW(strPath.c_str(), FILE_ATTRIBUTE_NORMAL)) LOG_API_ERROR(L"SetFileAttributes", GetLastError());
    }
    if (DeleteFileW(strPath.c_str())) return ERROR_SUCCESS;
    DWORD dwErr = GetLastError();
    LOG_API_ERROR(L"DeleteFile", dwErr);
    return dwErr;
}

DWORD FolderMirror::RemoveTree(const std::wstring &strFolder)
{
    DWORD dwAttr = GetFileAttributesW(strFolder.c_str());
    if (dwAttr == INVALID_FILE_ATTRIBUTES) return ERROR_SUCCESS;
    if (!IsFolder(dwAttr) || IsLink(dwAttr)) return RemoveEntry(strFolder, dwAttr);
    std::vector<Entry> vecEntries;
    DWORD dwErr = List(strFolder, vecEntries);
    if (dwErr != ERROR_SUCCESS) return dwErr;
    for (const Entry &entry : vecEntries) {
        dwErr = RemoveEntry(Join(strFolder, entry.strName), entry.dwAttributes);
        if (dwErr != ERROR_SUCCESS) return dwErr;
    }
    if (dwAttr & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(strFolder.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (RemoveDirectoryW(strFolder.c_str())) return ERROR_SUCCESS;
    dwErr = GetLastError();
    LOG_API_ERROR(L"RemoveDirectory", dwErr);
    return dwErr;
}
