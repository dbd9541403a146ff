#include "FileIO.h"
#include "Log.h"
#include "NolvexException.h"

FileIO::FileIO() : m_dwLastOpenError(ERROR_SUCCESS)
{
}

FileIO::~FileIO()
{
    // Closing here needs no log line: the owner has already closed the file when it mattered.
    m_hFile.Reset();
}

int FileIO::FileOpen(const std::wstring &strPath)
{
    LOG_SCOPE();
    m_hFile.Reset();
    // Others may read (viewers, support tools) but not write: a second writer would interleave.
    HANDLE h = CreateFileW(strPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        m_dwLastOpenError = GetLastError();
        LOG_API_ERROR(L"CreateFileW", m_dwLastOpenError);
        return 0;
    }
    m_hFile.Reset(h);
    m_dwLastOpenError = ERROR_SUCCESS;
    LOGWRITE(LOG_INFO, L"Success to open");
    return 1;
}

void FileIO::AppendWrite(const void *pData, DWORD dwSize)
{
    LOG_SCOPE();
    if (!m_hFile.IsValid())
        throw NolvexException(L"FileIO Err : File is not Opened", SystemErrorText(m_dwLastOpenError));
    LARGE_INTEGER liZero = {};
    if (!SetFilePointerEx(m_hFile.Get(), liZero, nullptr, FILE_END)) {
        DWORD dwErr = GetLastError();
        LOG_API_ERROR(L"SetFilePointerEx", dwErr);
        throw NolvexException(L"FileIO Err : Seek Failed", SystemErrorText(dwErr));
    }
    DWORD dwWritten = 0;
    if (!WriteFile(m_hFile.Get(), pData, dwSize, &dwWritten, nullptr) || dwWritten != dwSize) {
        DWORD dwErr = GetLastError();
        LOG_API_ERROR(L"WriteFile", dwErr);
        throw NolvexException(L"FileIO Err : Write Failed", SystemErrorText(dwErr));
    }
}

void FileIO::FileClose()
{
    LOG_SCOPE();
    if (!m_hFile.IsValid()) {
        LOGWRITE(LOG_INFO, L"No file is opened");
        return;
    }
    if (!CloseHandle(m_hFile.Release())) LOG_API_ERROR(L"CloseHandle", GetLastError());
    LOGWRITE(LOG_INFO, L"Closed the file");
}

int FileIO::RemoveFile2(const std::wstring &strPath)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] path is %s", strPath.c_str());
    if (!DeleteFileW(strPath.c_str())) {
        LOG_API_ERROR(L"DeleteFile", GetLastError());
        LOGWRITE(LOG_ERROR, L"file delete error [%s]", strPath.c_str());
        return 0;
    }
    LOGWRITE(LOG_INFO, L"File has been deleted [%s]", strPath.c_str());
    return 1;
}

bool FileIO::isExistsPath(const std::wstring &strPath)
{
    LOG_SCOPE();
    bool bExists = GetFileAttributesW(strPath.c_str()) != INVALID_FILE_ATTRIBUTES;
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] isExistsPath() return is [%d]", bExists ? 1 : 0);
    return bExists;
}

DWORD FileIO::MakeFolder(const std::wstring &strPath)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] path is %s", strPath.c_str());
    std::wstring strFolder = strPath;
    while (strFolder.size() > 1 && (strFolder.back() == L'\\' || strFolder.back() == L'/'))
        strFolder.pop_back();
    DWORD dwResult = CreateOneFolder(strFolder);
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] MakeFolder() return is [%lu]", dwResult);
    return dwResult;
}

// Creates strPath after its missing parents (the path carries no trailing backslash).
DWORD FileIO::CreateOneFolder(const std::wstring &strPath)
{
    DWORD dwAttr = GetFileAttributesW(strPath.c_str());
    if (dwAttr != INVALID_FILE_ATTRIBUTES)
        return (dwAttr & FILE_ATTRIBUTE_DIRECTORY) ? ERROR_SUCCESS : ERROR_ALREADY_EXISTS;
    size_t nSep = strPath.find_last_of(L"\\/");
    if (nSep != std::wstring::npos && nSep > 0) {
        std::wstring strParent = strPath.substr(0, nSep);
        // A drive ("C:") or a share root is not created; CreateDirectory reports what is wrong.
        if (strParent.back() != L':' && strParent.find_first_not_of(L"\\/") != std::wstring::npos) {
            DWORD dwParent = CreateOneFolder(strParent);
            if (dwParent != ERROR_SUCCESS) return dwParent;
        }
    }
    if (CreateDirectoryW(strPath.c_str(), nullptr)) return ERROR_SUCCESS;
    DWORD dwErr = GetLastError();
    // Another process may have created it in the meantime.
    dwAttr = GetFileAttributesW(strPath.c_str());
    if (dwErr == ERROR_ALREADY_EXISTS && dwAttr != INVALID_FILE_ATTRIBUTES &&
        (dwAttr & FILE_ATTRIBUTE_DIRECTORY))
        return ERROR_SUCCESS;
    LOG_API_ERROR(L"CreateDirectoryW", dwErr);
    return dwErr;
}

std::wstring FileIO::WithBackslash(const std::wstring &strFolder)
{
    if (!strFolder.empty() && strFolder.back() != L'\\') return strFolder + L"\\";
    return strFolder;
}

void FileIO::ToSystemTimes(const FILETIME &ftUTC, SYSTEMTIME &stUTC, SYSTEMTIME &stLocal)
{
    ZeroMemory(&stUTC, sizeof(stUTC));
    ZeroMemory(&stLocal, sizeof(stLocal));
    if (!FileTimeToSystemTime(&ftUTC, &stUTC)) LOG_API_ERROR(L"FileTimeToSystemTime", GetLastError());
    FILETIME ftLocal;
    if (!FileTimeToLocalFileTime(&ftUTC, &ftLocal)) {
        LOG_API_ERROR(L"FileTimeToLocalFileTime", GetLastError());
        return;
    }
    if (!FileTimeToSystemTime(&ftLocal, &stLocal)) LOG_API_ERROR(L"FileTimeToSystemTime", GetLastError());
}

FileEntryInfo FileIO::MakeEntry(const std::wstring &strFolder, const std::wstring &strName,
                                const WIN32_FIND_DATAW &fd)
{
    FileEntryInfo entry;
    entry.strFolder = strFolder;
    entry.strName = strName;
    ToSystemTimes(fd.ftCreationTime, entry.stCreationUTC, entry.stCreationLocal);
    ToSystemTimes(fd.ftLastWriteTime, entry.stLastWriteUTC, entry.stLastWriteLocal);
    return entry;
}

template <typename Callback>
void FileIO::ForEachEntry(const std::wstring &strSearch, Callback callback)
{
    WIN32_FIND_DATAW fd;
    ScopedFindHandle hFind(FindFirstFileW(strSearch.c_str(), &fd));
    if (!hFind.IsValid()) {
        DWORD dwErr = GetLastError();
        // Nothing matching is an empty list, not a failure.
        if (dwErr != ERROR_FILE_NOT_FOUND && dwErr != ERROR_NO_MORE_FILES) LOG_API_ERROR(L"FindFirstFileW", dwErr);
        return;
    }
    do {
        std::wstring strName(fd.cFileName);
        if (strName != L"." && strName != L"..") callback(fd);
    } while (FindNextFileW(hFind.Get(), &fd));
    DWORD dwErr = GetLastError();
    if (dwErr != ERROR_NO_MORE_FILES) LOG_API_ERROR(L"FindNextFileW", dwErr);
}

void FileIO::AddSubFolder(const std::wstring &strFolder, const std::wstring &strName,
                          const WIN32_FIND_DATAW &fd, const std::wstring &strPattern,
                          std::vector<FileEntryInfo> &vecList)
{
    std::wstring strSub = strFolder + strName + L"\\";
    vecList.push_back(MakeEntry(strSub, L"", fd));
    GetFileListSubFolder(strSub, strPattern, vecList, true);
}

void FileIO::GetFileListSubFolder(const std::wstring &strFolder, const std::wstring &strPattern,
                                  std::vector<FileEntryInfo> &vecList, bool bSubFolder)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] folder is %s", strFolder.c_str());
    LOGWRITE(LOG_DEBUG, L"[InputInfo] pattern is %s", strPattern.c_str());
    const std::wstring strBase = WithBackslash(strFolder);
    // A narrower pattern would miss sub-folders: those are then found by a search of their own.
    const bool bSeparateFolderSearch = bSubFolder && strPattern != L"*.*";
    ForEachEntry(strBase + strPattern, [&](const WIN32_FIND_DATAW &fd) {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            vecList.push_back(MakeEntry(strBase, fd.cFileName, fd));
        } else if (bSubFolder && !bSeparateFolderSearch) {
            AddSubFolder(strBase, fd.cFileName, fd, strPattern, vecList);
        }
    });
    if (!bSeparateFolderSearch) return;
    ForEachEntry(strBase + L"*.*", [&](const WIN32_FIND_DATAW &fd) {
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            AddSubFolder(strBase, fd.cFileName, fd, strPattern, vecList);
    });
}

int FileIO::GetFileList(const std::wstring &strFolder, const std::wstring &strPattern,
                        std::vector<FileEntryInfo> &vecList, bool bSubFolder)
{
    LOG_SCOPE();
    GetFileListSubFolder(strFolder, strPattern, vecList, bSubFolder);
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] GetFileList() return is [%d]", (int)vecList.size());
    return (int)vecList.size();
}
