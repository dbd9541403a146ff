#include "FileIO.h"
#include "LogFolder.h"
#include "Coding.h"
#include "Log.h"
#include "NolvexException.h"
#include <climits>
#include <cstring>
#include <memory>
#include <new>

FileIO::FileIO() : m_dwLastOpenError(ERROR_SUCCESS), m_dwLength(0)
{
}

FileIO::~FileIO()
{
    // Closing here needs no log line: the owner has already closed the file when it mattered.
    // The data buffer goes with its owner.
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
    DWORD dwResult = LogFolder::Make(strPath);
    if (dwResult != ERROR_SUCCESS) LOG_API_ERROR(L"CreateDirectoryW", dwResult);
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] MakeFolder() return is [%lu]", dwResult);
    return dwResult;
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
DWORD FileIO::ForEachEntry(const std::wstring &strSearch, Callback callback)
{
    WIN32_FIND_DATAW fd;
    ScopedFindHandle hFind(FindFirstFileW(strSearch.c_str(), &fd));
    if (!hFind.IsValid()) {
        DWORD dwErr = GetLastError();
        // Nothing matching is an empty list, not a failure.
        if (dwErr == ERROR_FILE_NOT_FOUND || dwErr == ERROR_NO_MORE_FILES) return ERROR_SUCCESS;
        LOG_API_ERROR(L"FindFirstFileW", dwErr);
        return dwErr;
    }
    do {
        std::wstring strName(fd.cFileName);
        if (strName != L"." && strName != L"..") callback(fd);
    } while (FindNextFileW(hFind.Get(), &fd));
    DWORD dwErr = GetLastError();
    if (dwErr != ERROR_NO_MORE_FILES) LOG_API_ERROR(L"FindNextFileW", dwErr);
    return ERROR_SUCCESS;
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

// ---- whole files and the encrypted file envelope ----

// Code type 99, and AES without a key, store the plaintext as it is.
bool FileIO::IsPlain(int iCodeType, const std::wstring &strKey)
{
    return iCodeType == CODE_PLAIN || (iCodeType == Coding::CODE_AES && strKey.empty());
}

// At least what the coding asked for, and never less than input + 100 bytes. The coders' size
// queries are what counts: Base64 text of a large input needs far more than 100 bytes beyond it.
DWORD FileIO::WorkBufferSize(long lNeeded, DWORD dwInputSize)
{
    ULONGLONG ullMinimum = (ULONGLONG)dwInputSize + 100;
    ULONGLONG ullSize = (ULONGLONG)lNeeded > ullMinimum ? (ULONGLONG)lNeeded : ullMinimum;
    return ullSize > MAXDWORD - 2 ? 0 : (DWORD)ullSize;
}

// Bytes of coding output that a result stands for. The Base64 coders count the characters of
// their UTF-16 text; every other coding counts bytes.
DWORD FileIO::OutputByteCount(int iCodeType, long lResult)
{
    if (iCodeType == Coding::CODE_BASE64 || iCodeType == Coding::CODE_BASE64URL)
        return (DWORD)lResult * sizeof(wchar_t);
    return (DWORD)lResult;
}

bool FileIO::WriteData_Encode(const std::wstring &strPath, const void *pData, DWORD dwSize,
                              const std::wstring &strKey, int iCodeType)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] path is %s", strPath.c_str());
    LOGWRITE(LOG_DEBUG, L"[InputInfo] size is %lu", dwSize);
    LOGWRITE(LOG_DEBUG, L"[InputInfo] key is {%s}", strKey.c_str());
    LOGWRITE(LOG_DEBUG, L"[InputInfo] code type is %d", iCodeType);
    static const BYTE bNothing = 0;
    if (pData == nullptr && dwSize != 0) {
        LOGWRITE(LOG_ERROR, L"[WriteData Return] no data for %lu bytes", dwSize);
        return false;
    }
    const BYTE *pbData = pData != nullptr ? static_cast<const BYTE *>(pData) : &bNothing;
    bool bResult = false;
    if (IsPlain(iCodeType, strKey)) {
        bResult = WriteWholeFile(strPath, pbData, dwSize);
    } else {
        std::vector<BYTE> vecCoded;
        bResult = EncodeInto(pbData, dwSize, strKey, iCodeType, vecCoded) &&
                  WriteWholeFile(strPath, vecCoded.data(), static_cast<DWORD>(vecCoded.size()));
    }
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] WriteData_Encode() return is [%d]", bResult ? 1 : 0);
    return bResult;
}

bool FileIO::EncodeData(const void *pData, DWORD dwSize, const std::wstring &strKey, int iCodeType,
                        std::vector<BYTE> &vecOut)
{
    vecOut.clear();
    if (pData == nullptr && dwSize != 0) {
        LOGWRITE(LOG_ERROR, L"[EncodeData Return] no data for %lu bytes", dwSize);
        return false;
    }
    const BYTE *pbData = static_cast<const BYTE *>(pData);
    if (IsPlain(iCodeType, strKey)) {
        if (dwSize != 0) vecOut.assign(pbData, pbData + dwSize);
        return true;
    }
    static const BYTE bNothing = 0;
    return EncodeInto(pbData != nullptr ? pbData : &bNothing, dwSize, strKey, iCodeType, vecOut);
}

bool FileIO::EncodeInto(const BYTE *pbData, DWORD dwSize, const std::wstring &strKey, int iCodeType,
                        std::vector<BYTE> &vecOut)
{
    std::unique_ptr<Coding> pCoding(Coding::GetCode(iCodeType));
    if (!pCoding) return false;
    long lNeeded = pCoding->Encode(pbData, dwSize, nullptr, strKey);
    if (lNeeded < 0) {
        LOGWRITE(LOG_ERROR, L"[WriteData Return] encode size query failed [%ld]", lNeeded);
        return false;
    }
    DWORD dwWorkSize = WorkBufferSize(lNeeded, dwSize);
    std::vector<BYTE> vecWork;
    try {
        vecWork.assign(dwWorkSize, 0);
    } catch (const std::bad_alloc &) {
        vecWork.clear();
    }
    if (dwWorkSize == 0 || vecWork.empty()) {
        LOGWRITE(LOG_ERROR, L"[WriteData Return] no memory for %lu bytes", dwWorkSize);
        return false;
    }
    long lResult = pCoding->Encode(pbData, dwSize, vecWork.data(), strKey);
    if (lResult <= 0) {
        LOGWRITE(LOG_ERROR, L"[WriteData Return] encode failed [%ld]", lResult);
        return false;
    }
    DWORD dwOut = OutputByteCount(iCodeType, lResult);
    if (dwOut > dwWorkSize) {
        // The coder wrote past what it asked for: nothing of it can be trusted.
        LOGWRITE(LOG_ERROR, L"[WriteData Return] encode result [%ld] beyond its buffer [%lu]", lResult, dwWorkSize);
        return false;
    }
    vecWork.resize(dwOut);
    vecOut.swap(vecWork);
    return true;
}

// Created or truncated; others may read while it is written, not write. The bytes go out as they
// are (no text translation, hence no locale involved).
bool FileIO::WriteWholeFile(const std::wstring &strPath, const BYTE *pbData, DWORD dwSize)
{
    ScopedFileHandle hFile(CreateFileW(strPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!hFile.IsValid()) {
        DWORD dwErr = GetLastError();
        LOG_API_ERROR(L"CFile::Open", dwErr);
        LOGWRITE(LOG_ERROR, L"[WriteData Return] %s", SystemErrorText(dwErr).c_str());
        return false;
    }
    DWORD dwWritten = 0;
    if (dwSize != 0 && (!WriteFile(hFile.Get(), pbData, dwSize, &dwWritten, nullptr) || dwWritten != dwSize)) {
        DWORD dwErr = GetLastError();
        if (dwErr == ERROR_SUCCESS) dwErr = ERROR_WRITE_FAULT;
        LOG_API_ERROR(L"CFile::Write", dwErr);
        LOGWRITE(LOG_ERROR, L"[WriteData Return] %s", SystemErrorText(dwErr).c_str());
        return false;
    }
    if (!CloseHandle(hFile.Release())) {
        // A failed close can mean the data never reached the disk.
        DWORD dwErr = GetLastError();
        LOG_API_ERROR(L"CFile::Close", dwErr);
        LOGWRITE(LOG_ERROR, L"[WriteData Return] %s", SystemErrorText(dwErr).c_str());
        return false;
    }
    return true;
}

bool FileIO::AllocData(DWORD dwSize)
{
    FreeData();
    if (dwSize > MAXDWORD - 2) {
        LOG_API_ERROR(L"LocalAlloc", ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    m_hData.Reset(LocalAlloc(LPTR, dwSize + 2));
    if (!m_hData.IsValid()) {
        LOG_API_ERROR(L"LocalAlloc", GetLastError());
        return false;
    }
    m_dwLength = dwSize;
    return true;
}

void FileIO::FreeData()
{
    m_hData.Reset();
    m_dwLength = 0;
}

DWORD FileIO::ReadFile(const std::wstring &strPath)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] path is %s", strPath.c_str());
    FreeData();
    ScopedFileHandle hFile(CreateFileW(strPath.c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!hFile.IsValid()) {
        LOG_API_ERROR(L"CFile::Open", GetLastError());
        return 0;
    }
    LARGE_INTEGER liSize = {};
    if (!GetFileSizeEx(hFile.Get(), &liSize)) {
        LOG_API_ERROR(L"CFile::GetLength", GetLastError());
        return 0;
    }
    if (liSize.QuadPart == 0) {
        LOGWRITE(LOG_DEBUG, L"[InputInfo] The file is empty");
        return 0;
    }
    // Whole-file reads are for setting and profile files: one that does not fit a 32-bit count
    // with its two zero bytes is not one of ours.
    if (liSize.QuadPart > (LONGLONG)(MAXDWORD - 2)) {
        LOG_API_ERROR(L"LocalAlloc", ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    if (!ReadWholeFile(hFile.Get(), strPath, (DWORD)liSize.QuadPart)) return 0;
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] ReadFile() return is [%lu]", m_dwLength);
    return m_dwLength;
}

// A short read leaves no data: half a setting file is not a setting file.
bool FileIO::ReadWholeFile(HANDLE hFile, const std::wstring &strPath, DWORD dwSize)
{
    if (!AllocData(dwSize)) return false;
    BYTE *pbData = static_cast<BYTE *>(m_hData.Get());
    DWORD dwTotal = 0;
    while (dwTotal < dwSize) {
        DWORD dwRead = 0;
        if (!::ReadFile(hFile, pbData + dwTotal, dwSize - dwTotal, &dwRead, nullptr)) {
            LOG_API_ERROR(L"CFile::Read", GetLastError());
            break;
        }
        if (dwRead == 0) break;
        dwTotal += dwRead;
    }
    if (dwTotal != dwSize) {
        LOGWRITE(LOG_ERROR, L"Failed to read [%s]", strPath.c_str());
        FreeData();
        return false;
    }
    return true;
}

DWORD FileIO::ReadFile_Decode(const std::wstring &strPath, const std::wstring &strKey, int iCodeType)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] path is %s", strPath.c_str());
    LOGWRITE(LOG_DEBUG, L"[InputInfo] key is {%s}", strKey.c_str());
    LOGWRITE(LOG_DEBUG, L"[InputInfo] code type is %d", iCodeType);
    if (ReadFile(strPath) == 0) return 0;
    if (!IsPlain(iCodeType, strKey) && !DecodeData(strKey, iCodeType)) FreeData();
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] ReadFile_Decode() return is [%lu]", m_dwLength);
    return m_dwLength;
}

// Replaces the data buffer by its decoding.
bool FileIO::DecodeData(const std::wstring &strKey, int iCodeType)
{
    std::unique_ptr<Coding> pCoding(Coding::GetCode(iCodeType));
    if (!pCoding) return false;
    const BYTE *pbData = GetData();
    long lNeeded = pCoding->Decode(pbData, m_dwLength, nullptr, strKey);
    if (lNeeded < 0) {
        LOGWRITE(LOG_ERROR, L"[ReadFile Return] decode size query failed [%ld]", lNeeded);
        return false;
    }
    DWORD dwWorkSize = WorkBufferSize(lNeeded, m_dwLength);
    ScopedLocal hWork(dwWorkSize != 0 ? LocalAlloc(LPTR, dwWorkSize) : nullptr);
    if (!hWork.IsValid()) {
        LOG_API_ERROR(L"LocalAlloc", dwWorkSize != 0 ? GetLastError() : ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    long lResult = pCoding->Decode(pbData, m_dwLength, static_cast<BYTE *>(hWork.Get()), strKey);
    if (lResult < 1 || (DWORD)lResult > dwWorkSize) {
        LOGWRITE(LOG_ERROR, L"[ReadFile Return] decode failed [%ld]", lResult);
        return false;
    }
    if (!AllocData((DWORD)lResult)) return false;
    memcpy(m_hData.Get(), hWork.Get(), (DWORD)lResult);
    return true;
}

DWORD FileIO::ReadFile_Utf8ToUtf16(const std::wstring &strPath)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] path is %s", strPath.c_str());
    if (ReadFile(strPath) == 0) return 0;
    if (!ConvertDataFromUtf8()) FreeData();
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] ReadFile_Utf8ToUtf16() return is [%lu]", m_dwLength);
    return m_dwLength;
}

// UTF-8 never needs more UTF-16 units than it has bytes: a buffer of twice the byte count (and
// the two zero bytes behind it) always holds the text.
bool FileIO::ConvertDataFromUtf8()
{
    const DWORD dwBytes = m_dwLength;
    if (dwBytes > (MAXDWORD - 2) / 2 || dwBytes > (DWORD)INT_MAX) {
        LOG_API_ERROR(L"LocalAlloc", ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    ScopedLocal hText(LocalAlloc(LPTR, dwBytes * 2 + 2));
    if (!hText.IsValid()) {
        LOG_API_ERROR(L"LocalAlloc", GetLastError());
        return false;
    }
    int iUnits = MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<LPCSTR>(GetData()), (int)dwBytes,
                                     static_cast<LPWSTR>(hText.Get()), (int)dwBytes);
    if (iUnits == 0) {
        LOG_API_ERROR(L"MultiByteToWideChar", GetLastError());
        return false;
    }
    m_hData = std::move(hText);
    m_dwLength = dwBytes * 2;
    return true;
}

// ---- deleting, renaming and copying ----

bool FileIO::DeleteOneFile(const std::wstring &strPath)
{
    if (!DeleteFileW(strPath.c_str())) {
        LOG_API_ERROR(L"DeleteFile", GetLastError());
        return false;
    }
    LOGWRITE(LOG_INFO, L"File has been deleted [%s]", strPath.c_str());
    return true;
}

void FileIO::RemoveFile(const std::wstring &strPath)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] path is %s", strPath.c_str());
    DeleteOneFile(strPath);
}

std::wstring FileIO::WithoutBackslash(const std::wstring &strFolder)
{
    std::wstring str = strFolder;
    while (str.size() > 1 && str.back() == L'\\') str.pop_back();
    return str;
}

int FileIO::RemoveFolder(const std::wstring &strFolder)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] folder is %s", strFolder.c_str());
    const std::wstring strBase = WithoutBackslash(strFolder);
    DWORD dwAttr = GetFileAttributesW(strBase.c_str());
    if (dwAttr == INVALID_FILE_ATTRIBUTES || !(dwAttr & FILE_ATTRIBUTE_DIRECTORY)) {
        LOG_API_ERROR(L"FindFirstFile", dwAttr == INVALID_FILE_ATTRIBUTES ? GetLastError() : ERROR_DIRECTORY);
        return REMOVE_FOLDER_NOT_LISTED;
    }
    // A linked folder (junction, symbolic link) is removed as the link: what it points to is not
    // ours to empty.
    if (!(dwAttr & FILE_ATTRIBUTE_REPARSE_POINT)) {
        DWORD dwList = ForEachEntry(strBase + L"\\*.*", [&](const WIN32_FIND_DATAW &fd) {
            RemoveFolderEntry(strBase + L"\\", fd);
        });
        if (dwList != ERROR_SUCCESS) return REMOVE_FOLDER_NOT_LISTED;
    }
    if (!SetFileAttributesW(strBase.c_str(), FILE_ATTRIBUTE_NORMAL)) LOG_API_ERROR(L"SetFileAttributes", GetLastError());
    int iResult = RemoveDirectoryW(strBase.c_str()) ? 1 : 0;
    if (iResult == 0) LOG_API_ERROR(L"RemoveDirectory", GetLastError());
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] RemoveFolder() return is [%d]", iResult);
    return iResult;
}

void FileIO::RemoveFolderEntry(const std::wstring &strFolder, const WIN32_FIND_DATAW &fd)
{
    const std::wstring strPath = strFolder + fd.cFileName;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveFolder(strPath);
        return;
    }
    if (!SetFileAttributesW(strPath.c_str(), FILE_ATTRIBUTE_NORMAL)) LOG_API_ERROR(L"SetFileAttributes", GetLastError());
    DeleteOneFile(strPath);   // a file that stays is logged and skipped
}

long FileIO::RenameFolder(const std::wstring &strOldPath, const std::wstring &strNewPath)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] old path is %s", strOldPath.c_str());
    LOGWRITE(LOG_DEBUG, L"[InputInfo] new path is %s", strNewPath.c_str());
    if (!isExistsPath(strOldPath)) {
        LOGWRITE(LOG_ERROR, L"Rename directory does not exist. path=[%s]", strOldPath.c_str());
        return -1;
    }
    if (isExistsPath(strNewPath)) {
        LOGWRITE(LOG_ERROR, L"Rename directory already exists. path=[%s]", strNewPath.c_str());
        return -2;
    }
    if (!MoveFileW(strOldPath.c_str(), strNewPath.c_str())) {
        DWORD dwErr = GetLastError();
        LOG_API_ERROR(L"MoveFile", dwErr);
        return (long)dwErr;
    }
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] RenameFolder() return is [0]");
    return 0;
}

long FileIO::CopyFolder(const std::wstring &strSource, const std::wstring &strDest, bool bOverwrite)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] source is %s", strSource.c_str());
    LOGWRITE(LOG_DEBUG, L"[InputInfo] destination is %s", strDest.c_str());
    LOGWRITE(LOG_DEBUG, L"[InputInfo] overwrite is %d", bOverwrite ? 1 : 0);
    // A file in the source's place is no folder to copy: nothing is created for it.
    DWORD dwAttr = isExistsPath(strSource) ? GetFileAttributesW(strSource.c_str()) : INVALID_FILE_ATTRIBUTES;
    if (dwAttr == INVALID_FILE_ATTRIBUTES || !(dwAttr & FILE_ATTRIBUTE_DIRECTORY)) {
        LOGWRITE(LOG_ERROR, L"Copy directory does not exist. path=[%s]", strSource.c_str());
        return -1;
    }
    if (!bOverwrite && isExistsPath(strDest)) {
        LOGWRITE(LOG_ERROR, L"Destination directory already exists. path=[%s]", strDest.c_str());
        return -2;
    }
    const std::wstring strFrom = WithBackslash(strSource);
    const std::wstring strTo = WithBackslash(strDest);
    DWORD dwMade = MakeFolder(strTo);
    if (dwMade != ERROR_SUCCESS) return (long)dwMade;
    long lResult = 0;
    DWORD dwList = ForEachEntry(strFrom + L"*.*", [&](const WIN32_FIND_DATAW &fd) {
        if (fd.cFileName[0] == L'.') return;   // ".", "..", and hidden working files such as ".svn"
        long lEntry = CopyFolderEntry(strFrom, strTo, fd, bOverwrite);
        if (lEntry != 0) lResult = lEntry;
    });
    if (dwList != ERROR_SUCCESS) {
        LOGWRITE(LOG_ERROR, L"Copy directory does not exist. path=[%s]", strSource.c_str());
        return -1;
    }
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] CopyFolder() return is [%ld]", lResult);
    return lResult;
}

// 0 copied, else the failure. A sub-folder that fails makes the whole copy fail: the caller
// (update, backup, rollback) must not take an incomplete tree for a copy.
long FileIO::CopyFolderEntry(const std::wstring &strSource, const std::wstring &strDest,
                             const WIN32_FIND_DATAW &fd, bool bOverwrite)
{
    const std::wstring strFrom = strSource + fd.cFileName;
    const std::wstring strTo = strDest + fd.cFileName;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return CopyFolder(strFrom, strTo, bOverwrite);
    if (CopyFileW(strFrom.c_str(), strTo.c_str(), bOverwrite ? FALSE : TRUE)) return 0;
    DWORD dwErr = GetLastError();
    LOG_API_ERROR(L"CopyFile", dwErr);
    return (long)dwErr;
}

int FileIO::FileCopy(const std::wstring &strSource, const std::wstring &strDest, bool bOverwrite)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] source is %s", strSource.c_str());
    LOGWRITE(LOG_DEBUG, L"[InputInfo] destination is %s", strDest.c_str());
    LOGWRITE(LOG_DEBUG, L"[InputInfo] overwrite is %d", bOverwrite ? 1 : 0);
    int iResult = 0;
    if (!isExistsPath(strSource)) {
        LOGWRITE(LOG_ERROR, L"Before file does not exist.");
        iResult = 1;
    } else if (!bOverwrite && isExistsPath(strDest)) {
        LOGWRITE(LOG_ERROR, L"After file already exists.");
        iResult = 2;
    } else if (!CopyFileW(strSource.c_str(), strDest.c_str(), bOverwrite ? FALSE : TRUE)) {
        LOG_API_ERROR(L"CopyFile", GetLastError());
        iResult = 3;
    }
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] FileCopy() return is [%d]", iResult);
    return iResult;
}
