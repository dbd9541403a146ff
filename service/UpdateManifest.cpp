#include "UpdateManifest.h"
#include "FolderInventory.h"
#include "Log.h"
#include "ScopedHandle.h"

namespace {
// A manifest larger than this is not one (a few lines per file).
const DWORD kMaxManifestBytes = 16 * 1024 * 1024;
}  // namespace

bool UpdateManifest::Verify(const std::wstring &strFolder, std::wstring &strReason,
                            UpdateManifestText::EntryMap *pVerified) const
{
    LOG_SCOPE();
    std::wstring strRoot = strFolder;
    if (!strRoot.empty() && strRoot.back() != L'\\') strRoot += L'\\';
    std::string strFile;
    if (!ReadWhole(strRoot + UpdateManifestText::FILE_NAME, strFile, strReason)) return false;
    std::string strBody, strSignature;
    UpdateManifestText::EntryMap listed;
    if (!UpdateManifestText::Parse(strFile, strBody, strSignature, listed, strReason)) return false;
    if (!m_signature.Verify(strBody, strSignature, strReason)) return false;
    UpdateManifestText::EntryMap found;
    if (!FolderInventory::Digest(strRoot, UpdateManifestText::FILE_NAME, found, strReason)) return false;
    if (!SameFiles(listed, found, strReason)) return false;
    LOGWRITE(LOG_INFO, L"The update's manifest verifies (%lu files).", (unsigned long)found.size());
    if (pVerified != nullptr) pVerified->swap(listed);
    return true;
}

bool UpdateManifest::ReadWhole(const std::wstring &strPath, std::string &strBytes, std::wstring &strReason)
{
    ScopedFileHandle hFile(CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!hFile) {
        DWORD dwErr = GetLastError();
        if (dwErr != ERROR_FILE_NOT_FOUND) LOG_API_ERROR(L"CreateFile", dwErr);
        strReason = L"the update carries no manifest";
        return false;
    }
    DWORD dwSize = GetFileSize(hFile.Get(), nullptr);
    if (dwSize == INVALID_FILE_SIZE || dwSize > kMaxManifestBytes) {
        strReason = L"the manifest's size is not acceptable";
        return false;
    }
    strBytes.assign(dwSize, '\0');
    DWORD dwRead = 0;
    if (dwSize != 0 && (!ReadFile(hFile.Get(), &strBytes[0], dwSize, &dwRead, nullptr) || dwRead != dwSize)) {
        LOG_API_ERROR(L"ReadFile", GetLastError());
        strReason = L"the manifest cannot be read";
        return false;
    }
    return true;
}

bool UpdateManifest::SameFiles(const UpdateManifestText::EntryMap &listed, const UpdateManifestText::EntryMap &found,
                               std::wstring &strReason)
{
    for (const auto &item : listed) {
        auto it = found.find(item.first);
        if (it == found.end()) {
            strReason = L"a listed file is missing: " + item.second.strPath;
            return false;
        }
        if (it->second.strDigest != item.second.strDigest) {
            strReason = L"a file differs from its listed digest: " + item.second.strPath;
            return false;
        }
    }
    for (const auto &item : found) {
        if (listed.find(item.first) == listed.end()) {
            strReason = L"a file is not listed in the manifest: " + item.second.strPath;
            return false;
        }
    }
    return true;
}
