#include "UpdateArchive.h"
#include "FileIO.h"
#include "Log.h"
#include "MessageIds.h"
#include "ZIPCoding.h"
#include <windows.h>

const wchar_t UpdateArchive::FOLDER_PREFIX[] = L"UpdateModule_";
const wchar_t UpdateArchive::DOWNLOAD_FOLDER[] = L"UpdateDownload";

namespace {
const wchar_t kDatSuffix[] = L".dat";
const size_t kDatChars = 4;
const wchar_t kZipSuffix[] = L".zip";
}   // namespace

bool UpdateArchive::IsStemChar(wchar_t ch)
{
    return (ch >= L'a' && ch <= L'z') || (ch >= L'A' && ch <= L'Z') || (ch >= L'0' && ch <= L'9') || ch == L'-' ||
           ch == L'_' || ch == L'.';
}

std::wstring UpdateArchive::StemOf(const std::wstring &strFileName)
{
    if (strFileName.size() <= kDatChars) return std::wstring();
    if (_wcsicmp(strFileName.c_str() + strFileName.size() - kDatChars, kDatSuffix) != 0) return std::wstring();
    std::wstring strStem = strFileName.substr(0, strFileName.size() - kDatChars);
    if (strStem.size() > MAX_STEM_CHARS || strStem[0] == L'.' || strStem.back() == L'.') return std::wstring();
    for (wchar_t ch : strStem)
        if (!IsStemChar(ch)) return std::wstring();
    return strStem;
}

std::wstring UpdateArchive::UnpackFolder(const std::wstring &strAppDataFolder, const std::wstring &strStem)
{
    std::wstring strBase = strAppDataFolder;
    if (!strBase.empty() && strBase.back() != L'\\') strBase += L'\\';
    return strBase + FOLDER_PREFIX + strStem + L"\\";
}

std::wstring UpdateArchive::DownloadFolder(const std::wstring &strAppDataFolder)
{
    if (strAppDataFolder.empty()) return std::wstring();
    std::wstring strFolder = strAppDataFolder;
    if (strFolder.back() != L'\\') strFolder += L'\\';
    strFolder += DOWNLOAD_FOLDER;
    strFolder += L'\\';
    DWORD dwError = FileIO().MakeFolder(strFolder);
    if (dwError != ERROR_SUCCESS) {
        LOG_API_ERROR(L"MakeFolder", dwError);
        return std::wstring();
    }
    return strFolder;
}

std::wstring UpdateArchive::FileNameOf(const std::wstring &strPath)
{
    size_t nSep = strPath.find_last_of(L"\\/");
    return nSep == std::wstring::npos ? strPath : strPath.substr(nSep + 1);
}

void UpdateArchive::DeleteQuietly(const std::wstring &strPath)
{
    if (!DeleteFileW(strPath.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
        LOG_API_ERROR(L"DeleteFileW", GetLastError());
}

long UpdateArchive::RenameToZip(const std::wstring &strDat, std::wstring &strZip)
{
    strZip = strDat.substr(0, strDat.size() - kDatChars) + kZipSuffix;
    DeleteQuietly(strZip);
    if (!MoveFileExW(strDat.c_str(), strZip.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        LOG_API_ERROR(L"MoveFileExW", GetLastError());
        DeleteQuietly(strDat);
        return MSG_FILE_IO_ERROR;
    }
    return 0;
}

long UpdateArchive::MakeFreshFolder(const std::wstring &strFolder)
{
    FileIO file;
    if (file.isExistsPath(strFolder)) {
        LOGWRITE(LOG_INFO, L"A previous unpack folder is removed [%s]", strFolder.c_str());
        if (file.RemoveFolder(strFolder) != 1 && file.isExistsPath(strFolder)) {
            LOGWRITE(LOG_ERROR, L"The previous unpack folder cannot be removed [%s]", strFolder.c_str());
            return MSG_FILE_IO_ERROR;
        }
    }
    DWORD dwError = file.MakeFolder(strFolder);
    if (dwError != ERROR_SUCCESS) {
        LOG_API_ERROR(L"MakeFolder", dwError);
        return MSG_FILE_IO_ERROR;
    }
    return 0;
}

void UpdateArchive::LogUnpacked(const std::wstring &strFolder)
{
    std::vector<FileEntryInfo> vecFiles;
    FileIO().GetFileListSubFolder(strFolder, L"*.*", vecFiles, true);
    for (const FileEntryInfo &entry : vecFiles)
        if (!entry.strName.empty()) LOGWRITE(LOG_INFO, L"[Unzip File] %s", (entry.strFolder + entry.strName).c_str());
}

long UpdateArchive::Unpack(const std::wstring &strDownloadedFile, const std::wstring &strAppDataFolder,
                           const std::wstring &strPassword, std::wstring &strFolder)
{
    LOG_SCOPE();
    strFolder.clear();
    std::wstring strStem = StemOf(FileNameOf(strDownloadedFile));
    if (strStem.empty() || strAppDataFolder.empty()) {
        LOGWRITE(LOG_ERROR, L"The update archive's name is refused [%s]", strDownloadedFile.c_str());
        DeleteQuietly(strDownloadedFile);
        return MSG_FILE_IO_ERROR;
    }
    std::wstring strZip;
    long lResult = RenameToZip(strDownloadedFile, strZip);
    if (lResult != 0) return lResult;
    std::wstring strTarget = UnpackFolder(strAppDataFolder, strStem);
    lResult = MakeFreshFolder(strTarget);
    if (lResult == 0) {
        LOGWRITE(LOG_INFO, L"[Unzip Path]%s", strTarget.c_str());
        ZIPCoding zip;
        long lZip = zip.Decode(strTarget, strZip, strPassword);
        if (lZip != 0) {
            LOGWRITE(LOG_ERROR, L"The update archive cannot be unpacked: %ld %s", lZip, ZIPCoding::GetSevenZipError(lZip).c_str());
            FileIO().RemoveFolder(strTarget);
            lResult = MSG_FILE_IO_ERROR;
        }
    }
    DeleteQuietly(strZip);
    if (lResult == 0) {
        LogUnpacked(strTarget);
        strFolder = strTarget;
    }
    return lResult;
}
