#include "FolderCopy.h"
#include "Log.h"
#include "ScopedHandle.h"

namespace {
// Length of the part that cannot be created: "C:\", or "\\server\share\"; 0 for a relative path.
size_t RootLength(const std::wstring &strPath)
{
    if (strPath.compare(0, 2, L"\\\\") == 0) {
        size_t nServerEnd = strPath.find(L'\\', 2);
        size_t nShareEnd = nServerEnd == std::wstring::npos ? nServerEnd : strPath.find(L'\\', nServerEnd + 1);
        return nShareEnd == std::wstring::npos ? strPath.size() : nShareEnd + 1;
    }
    return strPath.size() >= 3 && strPath[1] == L':' && strPath[2] == L'\\' ? 3 : 0;
}
}  // namespace

DWORD FolderCopy::CreateFolders(const std::wstring &strFolder)
{
    LOG_SCOPE();
    for (size_t nPos = strFolder.find(L'\\', RootLength(strFolder));; nPos = strFolder.find(L'\\', nPos + 1)) {
        std::wstring strLevel = strFolder.substr(0, nPos);
        if (!strLevel.empty() && strLevel.back() != L'\\' && !CreateDirectoryW(strLevel.c_str(), nullptr) &&
            GetLastError() != ERROR_ALREADY_EXISTS) {
            DWORD dwError = GetLastError();
            LOG_API_ERROR(L"CreateDirectoryW", dwError);
            return dwError;
        }
        if (nPos == std::wstring::npos) break;
    }
    DWORD dwAttributes = GetFileAttributesW(strFolder.c_str());
    if (dwAttributes == INVALID_FILE_ATTRIBUTES) {
        DWORD dwError = GetLastError();
        LOG_API_ERROR(L"GetFileAttributesW", dwError);
        return dwError;
    }
    return (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) ? ERROR_SUCCESS : ERROR_DIRECTORY;
}

DWORD FolderCopy::CopyTree(const std::wstring &strSource, const std::wstring &strTarget, size_t *pnFiles)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] %s -> %s", strSource.c_str(), strTarget.c_str());
    DWORD dwError = CreateFolders(strTarget);
    if (dwError != ERROR_SUCCESS) return dwError;
    WIN32_FIND_DATAW fd;
    ScopedFindHandle hFind(FindFirstFileW((strSource + L"\\*").c_str(), &fd));
    if (!hFind) {
        dwError = GetLastError();
        LOG_API_ERROR(L"FindFirstFileW", dwError);
        return dwError;
    }
    do {
        dwError = CopyEntry(fd, strSource, strTarget, pnFiles);
        if (dwError != ERROR_SUCCESS) return dwError;
    } while (FindNextFileW(hFind.Get(), &fd));
    dwError = GetLastError();
    if (dwError != ERROR_NO_MORE_FILES) {
        LOG_API_ERROR(L"FindNextFileW", dwError);
        return dwError;
    }
    return ERROR_SUCCESS;
}

DWORD FolderCopy::CopyEntry(const WIN32_FIND_DATAW &fd, const std::wstring &strSource, const std::wstring &strTarget,
                            size_t *pnFiles)
{
    std::wstring strName = fd.cFileName;
    if (strName == L"." || strName == L"..") return ERROR_SUCCESS;
    std::wstring strFrom = strSource + L"\\" + strName;
    std::wstring strTo = strTarget + L"\\" + strName;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return CopyTree(strFrom, strTo, pnFiles);
    if (!CopyFileW(strFrom.c_str(), strTo.c_str(), FALSE)) {
        DWORD dwError = GetLastError();
        LOG_API_ERROR(L"CopyFileW", dwError);
        return dwError;
    }
    ++*pnFiles;
    return ERROR_SUCCESS;
}
