#include "StagingCopy.h"
#include "FolderMirror.h"
#include "Log.h"
#include "ScopedHandle.h"
#include "UserImpersonation.h"
#include <sddl.h>

namespace {
// Protected: nothing inherited from the parent. SYSTEM and administrators full control.
const wchar_t kStagingSddl[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
const DWORD kCopyBlockBytes = 256 * 1024;

bool IsDots(const wchar_t *pszName)
{
    return lstrcmpW(pszName, L".") == 0 || lstrcmpW(pszName, L"..") == 0;
}
}  // namespace

StagingCopy::StagingCopy(HANDLE hUserToken) : m_hUserToken(hUserToken) {}

DWORD StagingCopy::MakeProtectedFolder(const std::wstring &strFolder)
{
    PSECURITY_DESCRIPTOR pDescriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kStagingSddl, SDDL_REVISION_1, &pDescriptor, nullptr)) {
        DWORD dwErr = GetLastError();
        LOG_API_ERROR(L"ConvertStringSecurityDescriptorToSecurityDescriptor", dwErr);
        return dwErr;
    }
    ScopedLocal descriptor(pDescriptor);
    SECURITY_ATTRIBUTES sa = {sizeof(sa), pDescriptor, FALSE};
    if (!CreateDirectoryW(strFolder.c_str(), &sa)) {
        DWORD dwErr = GetLastError();
        LOG_API_ERROR(L"CreateDirectory", dwErr);
        return dwErr;
    }
    // Set once more on the folder itself: a file system that drops the creation's descriptor
    // must not leave the staging folder writable by others.
    if (!SetFileSecurityW(strFolder.c_str(), DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                          pDescriptor)) {
        DWORD dwErr = GetLastError();
        LOG_API_ERROR(L"SetFileSecurity", dwErr);
        RemoveDirectoryW(strFolder.c_str());
        return dwErr;
    }
    return ERROR_SUCCESS;
}

DWORD StagingCopy::Copy(const std::wstring &strSource, const std::wstring &strStaging, std::wstring &strReason)
{
    LOG_SCOPE();
    if (m_hUserToken == nullptr) {
        strReason = L"the sender's token is unknown: the difference folder is not read as SYSTEM";
        return ERROR_NO_TOKEN;
    }
    DWORD dwErr = FolderMirror::RemoveTree(strStaging);
    if (dwErr == ERROR_SUCCESS) dwErr = MakeProtectedFolder(strStaging);
    if (dwErr != ERROR_SUCCESS) {
        strReason = L"the staging folder cannot be made afresh";
        return dwErr;
    }
    return CopyFolder(strSource, strStaging, strReason);
}

DWORD StagingCopy::ListAsUser(const std::wstring &strFolder, std::vector<Entry> &vecEntries, std::wstring &strReason)
{
    vecEntries.clear();
    UserImpersonation asUser(m_hUserToken);
    if (!asUser.IsActive()) {
        strReason = L"the sender cannot be impersonated";
        return ERROR_CANNOT_IMPERSONATE;
    }
    WIN32_FIND_DATAW fd;
    ScopedFindHandle hFind(FindFirstFileW((strFolder + L"\\*").c_str(), &fd));
    if (!hFind) {
        DWORD dwErr = GetLastError();
        LOG_API_ERROR(L"FindFirstFile", dwErr);
        strReason = L"the difference folder cannot be listed as its user: " + strFolder;
        return dwErr;
    }
    do {
        if (!IsDots(fd.cFileName)) vecEntries.push_back(Entry{fd.cFileName, fd.dwFileAttributes});
    } while (FindNextFileW(hFind.Get(), &fd));
    DWORD dwErr = GetLastError();
    if (dwErr == ERROR_NO_MORE_FILES) return ERROR_SUCCESS;
    LOG_API_ERROR(L"FindNextFile", dwErr);
    strReason = L"the difference folder cannot be listed as its user: " + strFolder;
    return dwErr;
}

DWORD StagingCopy::CopyFolder(const std::wstring &strSource, const std::wstring &strTarget, std::wstring &strReason)
{
    std::vector<Entry> vecEntries;
    DWORD dwErr = ListAsUser(strSource, vecEntries, strReason);
    if (dwErr != ERROR_SUCCESS) return dwErr;
    for (const Entry &entry : vecEntries) {
        const std::wstring strFrom = strSource + L"\\" + entry.strName;
        const std::wstring strTo = strTarget + L"\\" + entry.strName;
        if (entry.dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            strReason = L"the difference folder holds a reparse point: " + strFrom;
            return ERROR_CANT_ACCESS_FILE;
        }
        if (entry.dwAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!CreateDirectoryW(strTo.c_str(), nullptr)) {
                dwErr = GetLastError();
                LOG_API_ERROR(L"CreateDirectory", dwErr);
                strReason = L"the staging folder cannot be filled";
                return dwErr;
            }
            dwErr = CopyFolder(strFrom, strTo, strReason);
        } else {
            dwErr = CopyFileAsUser(strFrom, strTo, strReason);
        }
        if (dwErr != ERROR_SUCCESS) return dwErr;
    }
    return ERROR_SUCCESS;
}

HANDLE StagingCopy::OpenAsUser(const std::wstring &strPath, DWORD &dwError)
{
    UserImpersonation asUser(m_hUserToken);
    if (!asUser.IsActive()) {
        dwError = ERROR_CANNOT_IMPERSONATE;
        return INVALID_HANDLE_VALUE;
    }
    // The handle keeps the access it was opened with after the impersonation ends.
    HANDLE hFile = CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    dwError = hFile == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    return hFile;
}

DWORD StagingCopy::CopyFileAsUser(const std::wstring &strSource, const std::wstring &strTarget,
                                  std::wstring &strReason)
{
    DWORD dwErr = ERROR_SUCCESS;
    ScopedFileHandle hFrom(OpenAsUser(strSource, dwErr));
    if (!hFrom) {
        LOG_API_ERROR(L"CreateFile", dwErr);
        strReason = L"a file of the difference folder cannot be read as its user: " + strSource;
        return dwErr;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(hFrom.Get(), &info)) {
        dwErr = GetLastError();
        LOG_API_ERROR(L"GetFileInformationByHandle", dwErr);
        strReason = L"a file of the difference folder cannot be examined: " + strSource;
        return dwErr;
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || info.nNumberOfLinks > 1) {
        strReason = L"a file of the difference folder is a link: " + strSource;
        return ERROR_CANT_ACCESS_FILE;
    }
    ScopedFileHandle hTo(CreateFileW(strTarget.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!hTo) {
        dwErr = GetLastError();
        LOG_API_ERROR(L"CreateFile", dwErr);
        strReason = L"the staging folder cannot be filled: " + strTarget;
        return dwErr;
    }
    dwErr = CopyBytes(hFrom.Get(), hTo.Get());
    if (dwErr != ERROR_SUCCESS) strReason = L"a file could not be staged: " + strSource;
    return dwErr;
}

DWORD StagingCopy::CopyBytes(HANDLE hFrom, HANDLE hTo)
{
    std::vector<BYTE> vecBlock(kCopyBlockBytes);
    for (;;) {
        DWORD dwRead = 0;
        if (!ReadFile(hFrom, vecBlock.data(), kCopyBlockBytes, &dwRead, nullptr)) {
            DWORD dwErr = GetLastError();
            LOG_API_ERROR(L"ReadFile", dwErr);
            return dwErr;
        }
        if (dwRead == 0) return ERROR_SUCCESS;
        DWORD dwWritten = 0;
        if (!WriteFile(hTo, vecBlock.data(), dwRead, &dwWritten, nullptr) || dwWritten != dwRead) {
            DWORD dwErr = GetLastError();
            LOG_API_ERROR(L"WriteFile", dwErr);
            return dwErr ? dwErr : ERROR_WRITE_FAULT;
        }
    }
}
