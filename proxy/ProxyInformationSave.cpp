// The saving half of ProxyInformation (see ProxyInformation.h): only the programs that switch
// the proxy link it.
#include "ProxyInformation.h"
#include "FileIO.h"
#include "Log.h"
#include "OSInformation.h"
#include "ScopedHandle.h"
#include <userenv.h>
#include <memory>

namespace {
const wchar_t kNewProfileRoot[] = L"C:\\Users\\";
const wchar_t kOldProfileRoot[] = L"C:\\Documents and Settings\\";
const wchar_t kNewAppDataPart[] = L"\\AppData\\Roaming\\NolvexConnect\\";
const wchar_t kOldAppDataPart[] = L"\\Application Data\\NolvexConnect\\";
const wchar_t *const kNewSystems[] = {L"6.0", L"6.1", L"6.2", L"After6.2"};

bool IsNewSystem(const std::wstring &strVersion)
{
    for (const wchar_t *pszVersion : kNewSystems) {
        if (strVersion == pszVersion) return true;
    }
    return false;
}

// The profiles folder of this system with a trailing backslash; the fixed text of the system
// kind when it cannot be had.
std::wstring ProfileRoot(bool bNewSystem)
{
    wchar_t szRoot[MAX_PATH];
    DWORD dwChars = MAX_PATH;
    if (GetProfilesDirectoryW(szRoot, &dwChars)) return std::wstring(szRoot) + L"\\";
    LOG_API_ERROR(L"GetProfilesDirectoryW", GetLastError());
    return bNewSystem ? kNewProfileRoot : kOldProfileRoot;
}

// The folders directly below the root (not "." and ".."), as full paths without backslash.
std::vector<std::wstring> SubFolders(const std::wstring &strRoot)
{
    std::vector<std::wstring> vecFolders;
    WIN32_FIND_DATAW fd;
    ScopedFindHandle hFind(FindFirstFileW((strRoot + L"*").c_str(), &fd));
    if (!hFind) {
        LOG_API_ERROR(L"FindFirstFileW", GetLastError());
        return vecFolders;
    }
    do {
        std::wstring strName = fd.cFileName;
        if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && strName != L"." && strName != L"..")
            vecFolders.push_back(strRoot + strName);
    } while (FindNextFileW(hFind.Get(), &fd));
    DWORD dwError = GetLastError();
    if (dwError != ERROR_NO_MORE_FILES) LOG_API_ERROR(L"FindNextFileW", dwError);
    return vecFolders;
}
}  // namespace

const wchar_t *ProxyInformation::FlagText(bool bOn)
{
    return bOn ? ProxySetting::FLAG_ON : ProxySetting::FLAG_OFF;
}

void ProxyInformation::ToSetting()
{
    m_clSetting.SetValue(ProxySetting::AUTO_DETECT, FlagText(m_bAutoDetect != 0));
    m_clSetting.SetValue(ProxySetting::AUTO_PROXY, FlagText(m_bAutoProxy != 0));
    m_clSetting.SetValue(ProxySetting::AUTO_CONFIG_URL, m_strAutoConfigURL);
    m_clSetting.SetValue(ProxySetting::DIRECT, FlagText(m_bDirect != 0));
    m_clSetting.SetValue(ProxySetting::PROXY_ADDRESS, m_strProxyAddress);
    m_clSetting.SetValue(ProxySetting::PROXY_BYPASS, m_strBypass);
}

bool ProxyInformation::WriteSetting(const std::wstring &strFilePath, const std::wstring &strEntry)
{
    LOG_SCOPE();
    ToSetting();
    return m_clSetting.WriteSetting(strFilePath, strEntry);
}

bool ProxyInformation::DeleteSetting(const std::wstring &strFilePath, const std::wstring &strEntry)
{
    LOG_SCOPE();
    return m_clSetting.DeleteSetting(strFilePath, strEntry);
}

bool ProxyInformation::IsFileExist(const std::wstring &strFilePath, const std::wstring &strEntry)
{
    return m_clSetting.IsFileExist(strFilePath, strEntry);
}

int ProxyInformation::GetProxySettingFileList(const std::wstring &strPattern, std::vector<std::wstring> &vecList)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] Pattern is %s", strPattern.c_str());
    vecList.clear();
    std::unique_ptr<OSInformation> pOS(CreateOSInformation());
    if (!pOS) {
        LOGWRITE(LOG_ERROR, L"Failed to generate a OSInformation class");
        return 0;
    }
    bool bNewSystem = IsNewSystem(pOS->GetOSVersion());
    std::wstring strRoot = ProfileRoot(bNewSystem);
    const wchar_t *pszPart = bNewSystem ? kNewAppDataPart : kOldAppDataPart;
    FileIO clFile;
    for (const std::wstring &strProfile : SubFolders(strRoot)) {
        std::vector<FileEntryInfo> vecFiles;
        clFile.GetFileList(strProfile + pszPart, strPattern, vecFiles, false);
        for (const FileEntryInfo &file : vecFiles) {
            vecList.push_back(file.strFolder + file.strName);
            LOGWRITE(LOG_DEBUG, L"[OutputInfo] File is %s", vecList.back().c_str());
        }
    }
    return static_cast<int>(vecList.size());
}
