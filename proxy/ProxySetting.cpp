// The reading half of ProxySetting (see ProxySetting.h).
#include "ProxySetting.h"
#include "FileIO.h"
#include "Log.h"
#include "OSInformation.h"
#include <memory>

const wchar_t *const ProxySetting::KEY_NAMES[ProxySetting::KEY_COUNT] = {
    L"ProxyTypeAutoDetect", L"AutoProxy", L"AutoConfigURL", L"ProxyTypeDirect", L"ProxyAddress", L"ProxyBypass"};
const wchar_t ProxySetting::FLAG_ON[] = L"on";
const wchar_t ProxySetting::FLAG_OFF[] = L"off";

namespace {
const wchar_t kFileNameBlank = L' ';
const wchar_t kNotInFileName[] = L":/\\*?<>|\"";
const wchar_t kBlanks[] = L" \t";
}  // namespace

ProxySetting::ProxySetting(const std::wstring &strID)
    : m_strID(FileNameID(strID)),
      m_strNameFormat(L"%sProxySetting_%s.txt"),
      m_strNameFormatEntry(L"%sProxySetting_%s_%s.txt"),
      m_strInputLogFormat(L"[InputInfo] %s is %s"),
      m_strOutputLogFormat(L"[OutputInfo] %s is %s"),
      m_strLineFormat(L"%s = %s\r\n")
{
}

ProxySetting::~ProxySetting()
{
}

std::wstring ProxySetting::FileNameID(const std::wstring &strNolvexID)
{
    std::wstring strID = strNolvexID;
    for (wchar_t &c : strID) {
        if (wcschr(kNotInFileName, c) != nullptr && c != L'\0') c = kFileNameBlank;
    }
    return strID;
}

std::wstring ProxySetting::GetDirPath()
{
    LOG_SCOPE();
    std::unique_ptr<OSInformation> pOS(CreateOSInformation());
    if (!pOS) {
        LOGWRITE(LOG_ERROR, L"Failed to generate a OSInformation class");
        return std::wstring();
    }
    std::wstring strPath = pOS->GetAppDataFolderPath(nullptr);
    LOGWRITE(LOG_DEBUG, m_strOutputLogFormat.c_str(), L"DirPath", strPath.c_str());
    return strPath;
}

std::wstring ProxySetting::ComposePath(const std::wstring &strFilePath, const std::wstring &strEntry)
{
    if (!strFilePath.empty()) return strFilePath;
    std::wstring strDir = GetDirPath();
    if (strDir.empty()) return std::wstring();
    std::wstring strName = L"ProxySetting_" + m_strID;
    if (!strEntry.empty()) strName += L"_" + strEntry;
    return strDir + strName + L".txt";
}

void ProxySetting::ClearValues()
{
    for (std::wstring &strValue : m_strValues) strValue.clear();
}

std::wstring ProxySetting::Trim(const std::wstring &str)
{
    size_t nFirst = str.find_first_not_of(kBlanks);
    if (nFirst == std::wstring::npos) return std::wstring();
    size_t nLast = str.find_last_not_of(kBlanks);
    return str.substr(nFirst, nLast - nFirst + 1);
}

size_t ProxySetting::FindAtLineStart(const std::wstring &strBuf, const std::wstring &strKey)
{
    if (strKey.empty()) return std::wstring::npos;
    for (size_t nPos = strBuf.find(strKey); nPos != std::wstring::npos; nPos = strBuf.find(strKey, nPos + 1)) {
        if (nPos == 0 || strBuf[nPos - 1] == L'\n' || strBuf[nPos - 1] == L'\r') return nPos;
    }
    return std::wstring::npos;
}

bool ProxySetting::GetBufValue(const std::wstring &strBuf, const std::wstring &strKey, std::wstring &strValue)
{
    strValue.clear();
    size_t nKey = FindAtLineStart(strBuf, strKey);
    if (nKey == std::wstring::npos) return false;
    size_t nEqual = strBuf.find(L'=', nKey + strKey.size());
    if (nEqual == std::wstring::npos) return true;
    size_t nEnd = strBuf.find(L'\r', nEqual);
    if (nEnd == std::wstring::npos) nEnd = strBuf.find(L'\n', nEqual);
    if (nEnd == std::wstring::npos) return true;   // a last line without line end keeps no value
    strValue = Trim(strBuf.substr(nEqual + 1, nEnd - nEqual - 1));
    return true;
}

bool ProxySetting::ReadText(const std::wstring &strPath, std::wstring &strText)
{
    std::unique_ptr<FileIO> pFile(new (std::nothrow) FileIO());
    if (!pFile) {
        LOGWRITE(LOG_ERROR, L"Failed to generate a FileIO class");
        return false;
    }
    if (!pFile->isExistsPath(strPath)) return false;
    DWORD dwBytes = pFile->ReadFile(strPath);
    const BYTE *pbData = pFile->GetData();
    if (pbData == nullptr) return dwBytes == 0 && pFile->isExistsPath(strPath);
    strText.assign(reinterpret_cast<const wchar_t *>(pbData), dwBytes / sizeof(wchar_t));
    return true;
}

bool ProxySetting::ReadSetting(const std::wstring &strFilePath, const std::wstring &strEntry)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, m_strInputLogFormat.c_str(), L"FilePath", strFilePath.c_str());
    LOGWRITE(LOG_DEBUG, m_strInputLogFormat.c_str(), L"Entry", strEntry.c_str());
    ClearValues();
    std::wstring strPath = ComposePath(strFilePath, strEntry);
    std::wstring strText;
    if (strPath.empty() || !ReadText(strPath, strText)) {
        LOGWRITE(LOG_ERROR, L"Failed to read the setting file");
        return false;
    }
    std::wstring strFound[KEY_COUNT];
    int iFound = 0;
    for (int i = 0; i < KEY_COUNT; ++i) {
        if (GetBufValue(strText, KEY_NAMES[i], strFound[i])) {
            ++iFound;
        } else {
            LOGWRITE(LOG_ERROR, L"The setting file has no [%s] line: [%s]", KEY_NAMES[i], strPath.c_str());
        }
    }
    if (iFound == 0) {
        LOGWRITE(LOG_ERROR, L"There is no setting information");
        return false;
    }
    if (iFound < KEY_COUNT) {
        LOGWRITE(LOG_ERROR, L"The setting file is incomplete, nothing is taken from it");
        return false;
    }
    for (int i = 0; i < KEY_COUNT; ++i) {
        m_strValues[i] = strFound[i];
        LOGWRITE(LOG_DEBUG, m_strOutputLogFormat.c_str(), KEY_NAMES[i], m_strValues[i].c_str());
    }
    return true;
}
