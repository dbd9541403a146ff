#include "ProfileCommit.h"
#include "Coding.h"
#include "FileIO.h"
#include "Log.h"
#include <windows.h>

const wchar_t ProfileCommit::PENDING_SUFFIX[] = L".new";

namespace {
const wchar_t kRootOpen[] = L"<SystemInformation>";
const wchar_t kRootClose[] = L"</SystemInformation>";
const wchar_t kCommonOpen[] = L"<Common>";
const wchar_t kCommonClose[] = L"</Common>";
}   // namespace

bool ProfileCommit::LooksLikeProfile(const std::wstring &strText)
{
    size_t nRoot = strText.find(kRootOpen);
    if (nRoot == std::wstring::npos) return false;
    size_t nRootEnd = strText.find(kRootClose, nRoot);
    if (nRootEnd == std::wstring::npos) return false;
    size_t nCommon = strText.find(kCommonOpen, nRoot);
    if (nCommon == std::wstring::npos || nCommon > nRootEnd) return false;
    size_t nCommonEnd = strText.find(kCommonClose, nCommon);
    return nCommonEnd != std::wstring::npos && nCommonEnd < nRootEnd;
}

bool ProfileCommit::ReadsUnder(const std::wstring &strPath, const std::wstring &strKey)
{
    if (strKey.empty()) return false;
    FileIO file;
    DWORD dwLength = file.ReadFile_Decode(strPath, strKey, Coding::CODE_AES);
    if (dwLength == 0 || file.GetData() == nullptr) return false;
    std::wstring strText(reinterpret_cast<const wchar_t *>(file.GetData()), dwLength / sizeof(wchar_t));
    return LooksLikeProfile(strText);
}

DWORD ProfileCommit::MovePendingOver(const std::wstring &strPath)
{
    std::wstring strPending = strPath + PENDING_SUFFIX;
    if (MoveFileExW(strPending.c_str(), strPath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return ERROR_SUCCESS;
    DWORD dwError = GetLastError();
    LOG_API_ERROR(L"MoveFileExW", dwError);
    return dwError;
}

void ProfileCommit::Recover(const std::wstring &strPath, const std::wstring &strKey)
{
    std::wstring strPending = strPath + PENDING_SUFFIX;
    DWORD dwAttributes = GetFileAttributesW(strPending.c_str());
    if (dwAttributes == INVALID_FILE_ATTRIBUTES || (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return;
    if (ReadsUnder(strPending, strKey)) {
        LOGWRITE(LOG_WARN, L"An interrupted profile store is finished: the new profile is put in place");
        MovePendingOver(strPath);
        return;
    }
    LOGWRITE(LOG_WARN, L"An interrupted profile store is undone: the previous profile stays");
    if (!DeleteFileW(strPending.c_str())) LOG_API_ERROR(L"DeleteFileW", GetLastError());
}
