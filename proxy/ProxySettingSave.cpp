// The saving half of ProxySetting (see ProxySetting.h): only the programs that switch the proxy
// link it.
#include "ProxySetting.h"
#include "FileIO.h"
#include "Log.h"
#include "ReplacingFile.h"
#include "ScopedHandle.h"
#include <memory>
#include <vector>

namespace {
const wchar_t kTempPrefix[] = L"PSv";   // GetTempFileName names: "PSvXXXX.tmp", never "ProxySetting_*"
const wchar_t kLineBreaks[] = L"\r\n";

std::wstring FolderOf(const std::wstring &strPath)
{
    size_t nSlash = strPath.find_last_of(L"\\/");
    return nSlash == std::wstring::npos ? std::wstring(L".\\") : strPath.substr(0, nSlash + 1);
}

void RemoveTemporary(const std::wstring &strTemp)
{
    if (!DeleteFileW(strTemp.c_str())) LOG_API_ERROR(L"DeleteFileW", GetLastError());
}
}  // namespace

std::string ProxySetting::BuildContent() const
{
    std::wstring strText;
    for (int i = 0; i < KEY_COUNT; ++i) {
        int iLen = _scwprintf(m_strLineFormat.c_str(), KEY_NAMES[i], m_strValues[i].c_str());
        if (iLen < 0) continue;
        std::vector<wchar_t> vecLine(static_cast<size_t>(iLen) + 1);
        _snwprintf(vecLine.data(), vecLine.size(), m_strLineFormat.c_str(), KEY_NAMES[i], m_strValues[i].c_str());
        strText.append(vecLine.data(), static_cast<size_t>(iLen));
    }
    return std::string(reinterpret_cast<const char *>(strText.data()), strText.size() * sizeof(wchar_t));
}

bool ProxySetting::IsFileExist(const std::wstring &strFilePath, const std::wstring &strEntry)
{
    LOG_SCOPE();
    std::wstring strPath = ComposePath(strFilePath, strEntry);
    FileIO clFile;
    bool bExists = !strPath.empty() && clFile.isExistsPath(strPath);
    LOGWRITE(LOG_DEBUG, m_strOutputLogFormat.c_str(), strPath.c_str(), bExists ? L"existing" : L"missing");
    return bExists;
}

std::wstring ProxySetting::TemporaryPath(const std::wstring &strPath)
{
    wchar_t szTemp[MAX_PATH];
    if (GetTempFileNameW(FolderOf(strPath).c_str(), kTempPrefix, 0, szTemp) == 0) {
        LOG_API_ERROR(L"GetTempFileNameW", GetLastError());
        return std::wstring();
    }
    return szTemp;
}

bool ProxySetting::WriteSetting(const std::wstring &strFilePath, const std::wstring &strEntry)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, m_strInputLogFormat.c_str(), L"FilePath", strFilePath.c_str());
    LOGWRITE(LOG_DEBUG, m_strInputLogFormat.c_str(), L"Entry", strEntry.c_str());
    std::wstring strPath = ComposePath(strFilePath, strEntry);
    bool bWritten = false;
    if (strPath.empty()) {
        LOGWRITE(LOG_ERROR, L"The setting file has no path");
    } else {
        bWritten = WriteWhole(strPath);
        if (!bWritten) LOGWRITE(LOG_ERROR, L"File Write Error[%s]", strPath.c_str());
    }
    if (!bWritten) LOGWRITE(LOG_ERROR, L"Failed to write the setting file");
    return bWritten;
}

bool ProxySetting::WriteWhole(const std::wstring &strPath)
{
    for (int i = 0; i < KEY_COUNT; ++i) {
        if (m_strValues[i].find_first_of(kLineBreaks) != std::wstring::npos) {
            LOGWRITE(LOG_ERROR, L"The value of [%s] holds a line break and cannot be saved", KEY_NAMES[i]);
            return false;
        }
    }
    FileIO clFile;
    DWORD dwRc = clFile.MakeFolder(FolderOf(strPath));
    if (dwRc != ERROR_SUCCESS) {
        LOG_API_ERROR(L"MakeFolder", dwRc);
        return false;
    }
    std::wstring strTemp = TemporaryPath(strPath);
    if (strTemp.empty()) return false;
    std::string strContent = BuildContent();
    ReplacingFile file;
    bool bOpened = file.Open(strPath, strTemp);
    if (!bOpened) RemoveTemporary(strTemp);   // the empty file that GetTempFileName made
    return bOpened && file.Write(strContent.data(), static_cast<DWORD>(strContent.size())) &&
           file.Commit(ReplacingFile::FLUSH_TO_DISK);
}

bool ProxySetting::DeleteSetting(const std::wstring &strFilePath, const std::wstring &strEntry)
{
    LOG_SCOPE();
    std::wstring strPath = ComposePath(strFilePath, strEntry);
    LOGWRITE(LOG_DEBUG, m_strInputLogFormat.c_str(), L"FilePath", strPath.c_str());
    if (strPath.empty()) return false;
    FileIO clFile;
    bool bDeleted = clFile.RemoveFile2(strPath) == 1;
    LOGWRITE(LOG_DEBUG, m_strOutputLogFormat.c_str(), L"Deleted", bDeleted ? L"true" : L"false");
    return bDeleted;
}
