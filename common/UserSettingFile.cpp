#include "UserSettingFile.h"
#include "AplicationInfo.h"
#include "Coding.h"
#include "FileIO.h"
#include "IniFile.h"
#include "Log.h"
#include "OSInformation.h"
#include <memory>

namespace {
const wchar_t kFileName[] = L"UserSetting.xml";
const wchar_t kMapPrefix[] = L"UserSettingFile";
const wchar_t kBackupSuffix[] = L".bak";
const wchar_t kDeclaration[] = L"?xml version=\"1.0\" encoding=\"UTF-8\"?";
const wchar_t kRoot[] = L"UserSetting";
const wchar_t kGroup[] = L"AvailableSetting";
const wchar_t kJapan[] = L"Japan";
const int kRootIndent = 0;
const int kValueIndent = 2;
const int kGroupValueIndent = 4;
// The first three values are children of the root, the rest of the group.
const int kRootValueCount = 3;
const int kMaxLocaleName = 128;
}  // namespace

const wchar_t *const UserSettingFile::VALUE_NAMES[] = {L"LastConnectType", L"NolvexID",      L"UpdateDate",
                                                       L"Language",        L"Minimize",      L"AutoReconnect",
                                                       L"AutoUpdate",      L"LogLevel"};

UserSettingFile &UserSettingFile::GetInstance()
{
    static UserSettingFile instance;
    return instance;
}

UserSettingFile::UserSettingFile() : UserSettingFile(Seams())
{
}

UserSettingFile::UserSettingFile(const Seams &seams)
    : m_seams(seams), m_strFileName(kFileName), m_strMapPrefix(kMapPrefix), m_bChanged(false), m_lLastWriteError(0),
      m_lLastReadError(0), m_bRead(false)
{
}

UserSettingFile::~UserSettingFile()
{
}

UserSettingFile::Field UserSettingFile::FieldOf(int iIndex)
{
    static const Field s_fields[VALUE_COUNT] = {&Values::strLastConnectType, &Values::strNolvexID,
                                                &Values::strUpdateDate,      &Values::strLanguage,
                                                &Values::strMinimize,        &Values::strAutoReconnect,
                                                &Values::strAutoUpdate,      &Values::strLogLevel};
    return s_fields[iIndex];
}

std::wstring UserSettingFile::GetField(Field field) const
{
    CriticalSection::Lock lock(m_csValues);
    return m_values.*field;
}

void UserSettingFile::SetField(Field field, const std::wstring &str)
{
    CriticalSection::Lock lock(m_csValues);
    m_values.*field = str;
}

bool UserSettingFile::SetValueByName(const std::wstring &strName, const std::wstring &strValue)
{
    for (int i = 0; i < VALUE_COUNT; ++i) {
        if (strName == VALUE_NAMES[i]) {
            SetField(FieldOf(i), strValue);
            return true;
        }
    }
    return false;
}

UserSettingFile::Values UserSettingFile::Snapshot() const
{
    CriticalSection::Lock lock(m_csValues);
    return m_values;
}

long UserSettingFile::GetLastWriteError() const
{
    CriticalSection::Lock lock(m_csValues);
    return m_lLastWriteError;
}

long UserSettingFile::GetLastReadError() const
{
    CriticalSection::Lock lock(m_csValues);
    return m_lLastReadError;
}

void UserSettingFile::SetLastReadError(long lError)
{
    CriticalSection::Lock lock(m_csValues);
    m_lLastReadError = lError;
}

void UserSettingFile::SetLastWriteError(long lError)
{
    CriticalSection::Lock lock(m_csValues);
    m_lLastWriteError = lError;
}

bool UserSettingFile::GetChanged() const
{
    CriticalSection::Lock lock(m_csValues);
    return m_bChanged;
}

bool UserSettingFile::TakeChanged()
{
    CriticalSection::Lock lock(m_csValues);
    bool bChanged = m_bChanged;
    m_bChanged = false;
    return bChanged;
}

bool UserSettingFile::HasBeenRead() const
{
    CriticalSection::Lock lock(m_csValues);
    return m_bRead;
}

std::wstring UserSettingFile::GetFolder() const
{
    CriticalSection::Lock lock(m_csValues);
    return m_strFolder;
}

std::wstring UserSettingFile::GetDirPath()
{
    LOG_SCOPE();
    std::wstring strPath = m_seams.strFolder;
    if (strPath.empty()) {
        std::unique_ptr<OSInformation> pInfo(CreateOSInformation());
        if (pInfo) strPath = pInfo->GetAppDataFolderPath(nullptr);
    } else if (strPath.back() != L'\\') {
        strPath += L'\\';
    }
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] GetDirPath() return is [%s]", strPath.c_str());
    return strPath;
}

std::wstring UserSettingFile::GetFilePath()
{
    std::wstring strFolder = GetFolder();
    if (strFolder.empty()) strFolder = GetDirPath();
    if (strFolder.empty()) return std::wstring();
    std::wstring strPath = strFolder + m_strFileName;
    DWORD dwAttributes = GetFileAttributesW(strPath.c_str());
    if (dwAttributes == INVALID_FILE_ATTRIBUTES || (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return std::wstring();
    return strPath;
}

// The given path (its folder is kept), or the user's folder + "UserSetting.xml".
std::wstring UserSettingFile::PathOrDefault(const std::wstring &strPath)
{
    std::wstring strFolder;
    std::wstring strFull = strPath;
    if (strFull.empty()) {
        strFolder = GetDirPath();
        if (strFolder.empty()) return std::wstring();
        strFull = strFolder + m_strFileName;
    } else {
        size_t nSep = strFull.find_last_of(L"\\/");
        strFolder = nSep == std::wstring::npos ? std::wstring() : strFull.substr(0, nSep + 1);
    }
    CriticalSection::Lock lock(m_csValues);
    m_strFolder = strFolder;
    return strFull;
}

std::wstring UserSettingFile::MapName()
{
    std::wstring strModule = m_seams.strModuleName;
    if (strModule.empty()) {
        std::unique_ptr<OSInformation> pInfo(CreateOSInformation());
        if (pInfo) strModule = pInfo->GetModuleName();
    }
    return m_strMapPrefix + L"_" + strModule;
}

AplicationInfo *UserSettingFile::CreateRegInfo()
{
    return m_seams.pfnCreateRegInfo ? m_seams.pfnCreateRegInfo() : CreateAplicationInfo();
}

IniFile &UserSettingFile::Ini()
{
    return m_seams.pIniFile != nullptr ? *m_seams.pIniFile : IniFile::GetInstance();
}

std::wstring UserSettingFile::ReadKey()
{
    std::unique_ptr<AplicationInfo> pInfo(CreateRegInfo());
    return pInfo ? pInfo->GetUserSettingFileKeyInfo() : std::wstring();
}

bool UserSettingFile::CreateKey(std::wstring &strKey)
{
    std::unique_ptr<Coding> pCoding(Coding::GetCode(Coding::CODE_AES));
    std::wstring strNew = pCoding ? pCoding->GetRandKey(KEY_LENGTH) : std::wstring();
    std::unique_ptr<AplicationInfo> pInfo(CreateRegInfo());
    if (strNew.size() != (size_t)KEY_LENGTH || !pInfo || pInfo->SetUserSettingFileKeyInfo(strNew) != ERROR_SUCCESS) {
        LOGWRITE(LOG_ERROR, L"Failure To Set Registory Key");
        return false;
    }
    strKey = strNew;
    return true;
}

bool UserSettingFile::ReadSetting(const std::wstring &strPath)
{
    LOG_SCOPE();
    CriticalSection::Lock lock(m_csOperation);
    Values values;
    bool bRoot = false;
    SetLastReadError(0);
    MapClear();
    std::wstring strKey = ReadKey();
    std::wstring strFull = PathOrDefault(strPath);
    bool bLoaded = false;
    if (strKey.empty()) {
        // Without the key the file cannot be the user's: a plaintext file is never taken.
        LOGWRITE(LOG_ERROR, L"ReadSetting() There is no key of the user setting file");
    } else if (strFull.empty() || XMLRead(strFull, MapName(), strKey, Coding::CODE_AES) == 0) {
        LOGWRITE(LOG_ERROR, L"ReadSetting() Failed to XML load");
    } else {
        bLoaded = true;
        ParseValues(values, bRoot);
    }
    if (bLoaded && !bRoot) {
        LOGWRITE(LOG_ERROR, L"There is no 'User Setting Information'.");
        SetLastReadError(ERR_INVALID_CONTENTS);
    }
    CriticalSection::Lock valuesLock(m_csValues);
    m_strKey = strKey;
    m_values = values;
    m_bRead = true;
    return bLoaded && bRoot;
}

void UserSettingFile::ParseValues(Values &values, bool &bRootFound)
{
    XMLNode root;
    bRootFound = GetNextNode(nullptr, kRoot, root) == NODE_FOUND;
    if (!bRootFound) return;
    XMLNode group;
    bool bGroup = GetSubNode(root, kGroup, group) == NODE_FOUND;
    for (int i = 0; i < VALUE_COUNT; ++i) {
        const XMLNode &parent = i < kRootValueCount ? root : group;
        if (i >= kRootValueCount && !bGroup) break;
        XMLNode node;
        if (GetSubNode(parent, VALUE_NAMES[i], node) == NODE_FOUND) values.*FieldOf(i) = node.Value();
    }
}

void UserSettingFile::TryReadOnce()
{
    if (HasBeenRead()) return;
    if (!m_csOperation.TryEnter()) return;
    if (!HasBeenRead()) ReadSetting();
    m_csOperation.Leave();
}

std::wstring UserSettingFile::OrDefault(const std::wstring &strValue, const wchar_t *pszDefault)
{
    return strValue.empty() ? std::wstring(pszDefault) : strValue;
}

std::wstring UserSettingFile::LanguageDefault()
{
    wchar_t szCountry[kMaxLocaleName] = {};
    if (GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_SENGCOUNTRY, szCountry, kMaxLocaleName) == 0)
        LOG_API_ERROR(L"GetLocaleInfo", GetLastError());
    LOGWRITE(LOG_DEBUG, L"OS Language=%s", szCountry);
    return std::wstring(szCountry) == kJapan ? L"1" : L"0";
}

// Sets the default only where the value is still empty; the default is computed first so that
// nothing is called while the value lock is held.
void UserSettingFile::FillDefault(Field field, const std::wstring &strDefault, const wchar_t *pszLogName)
{
    {
        CriticalSection::Lock lock(m_csValues);
        if (!(m_values.*field).empty()) return;
        m_values.*field = strDefault;
    }
    LOGWRITE(LOG_INFO, L"Default Value Set %s=%s", pszLogName, strDefault.c_str());
}

void UserSettingFile::SetInitializeValue()
{
    LOG_SCOPE();
    IniFile &ini = Ini();
    ini.ReadOnce();
    if (GetLanguage().empty()) FillDefault(&Values::strLanguage, LanguageDefault(), L"m_sLanguage");
    FillDefault(&Values::strMinimize, OrDefault(ini.GetMinimize(), L"0"), L"m_sMinimize");
    FillDefault(&Values::strAutoReconnect, OrDefault(ini.GetAutoReconnect(), L"1"), L"m_sAutoReconnect");
    FillDefault(&Values::strAutoUpdate, OrDefault(ini.GetAutoUpdate(), L"0"), L"m_sAutoUpdate");
    FillDefault(&Values::strLogLevel, OrDefault(ini.GetLogLevel(), L"0"), L"m_sLogLevel");
}

void UserSettingFile::BuildDocument(const Values &values)
{
    StartXML();
    OutOneLine(kDeclaration, kRootIndent);
    OutOneLine(kRoot, kRootIndent);
    for (int i = 0; i < kRootValueCount; ++i) OutElement(VALUE_NAMES[i], values.*FieldOf(i), kValueIndent);
    OutOneLine(kGroup, kValueIndent);
    for (int i = kRootValueCount; i < VALUE_COUNT; ++i)
        OutElement(VALUE_NAMES[i], values.*FieldOf(i), kGroupValueIndent);
    OutOneLine(std::wstring(L"/") + kGroup, kValueIndent);
    OutOneLine(std::wstring(L"/") + kRoot, kRootIndent);
}

bool UserSettingFile::WriteSetting(const std::wstring &strPath)
{
    LOG_SCOPE();
    CriticalSection::Lock lock(m_csOperation);
    SetLastWriteError(0);
    SetInitializeValue();
    Values values = Snapshot();
    BuildDocument(values);

    // The key of the registry, made before the first write: a file is never written without it.
    std::wstring strKey = ReadKey();
    if (strKey.empty() && !CreateKey(strKey)) {
        SetLastWriteError(ERR_REGISTRY_WRITE);
        return false;
    }
    std::wstring strFull = PathOrDefault(strPath);
    bool bExisted = !strFull.empty() && GetFileAttributesW(strFull.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (strFull.empty() || !EndXML(strFull, strKey, Coding::CODE_AES)) {
        SetLastWriteError(bExisted ? ERR_UPDATE_FAILED : ERR_CREATE_FAILED);
        return false;
    }
    CriticalSection::Lock valuesLock(m_csValues);
    m_strKey = strKey;
    m_bChanged = true;
    return true;
}

bool UserSettingFile::BackupFile()
{
    LOG_SCOPE();
    CriticalSection::Lock lock(m_csOperation);
    std::wstring strFolder = GetFolder();
    if (strFolder.empty()) strFolder = GetDirPath();
    std::wstring strPath = strFolder + m_strFileName;
    FileIO file;
    if (strFolder.empty() || file.FileCopy(strPath, strPath + kBackupSuffix, true) != 0) {
        LOGWRITE(LOG_ERROR, L"Failed to backup terminal profile.");
        return false;
    }
    return true;
}
