#include "TerminalProfile.h"
#include "AplicationInfo.h"
#include "Coding.h"
#include "FileIO.h"
#include "Log.h"
#include "MessageIds.h"
#include "OSInformation.h"
#include "ProfileCommit.h"
#include "TraceLog.h"
#include <memory>

namespace {
const wchar_t kMapPrefix[] = L"TerminalProfile_";
const wchar_t kBackupSuffix[] = L".bak";
const wchar_t kRoot[] = L"SystemInformation";
const wchar_t kCommon[] = L"Common";
const wchar_t kProxy[] = L"proxy";
const wchar_t kConnection[] = L"Connection";
const wchar_t kRemoteConnectTypeAttr[] = L"RemoteConnectType";
const wchar_t kUpdate[] = L"UpdateModuleInformation";
const wchar_t kUpdateModuleNumber[] = L"updateModuleNumber";
const wchar_t kUpdateExecFlag[] = L"updateExecFlag";
const wchar_t kNotice[] = L"Notice";
const wchar_t kCategory[] = L"category";
const wchar_t kInfoCode[] = L"infocode";
}   // namespace

const wchar_t TerminalProfile::FILE_NAME[] = L"TerminalRegist.xml";

const wchar_t *const TerminalProfile::COMMON_NAMES[COMMON_VALUE_COUNT] = {
    L"authTerminalID", L"connectPassword", L"authTerminalServerURL", L"patternAuthRandURL", L"patternAuthURL",
    L"primaryDNS", L"secondaryDNS",
    L"autoDetectFlag", L"useAutoCompScriptFlag", L"useAutoCompScriptAddr", L"useProxyFlag", L"proxyServerAddress",
    L"proxyServerPort", L"noUseProxyLocalFlag", L"proxyServerException",
    L"passwordExpiredDate", L"passwordShowExpireDay", L"terminalPwdSharedKey", L"profileExpireDay",
    L"nolvexIdInput", L"execConfirm", L"extAplPath"};

const wchar_t *const TerminalProfile::CONNECTION_NAMES[CONNECTION_VALUE_COUNT] = {
    L"RemoteConnectType", L"authTerminalFlag", L"remoteConnectPwType", L"accessControlPwType",
    L"name lang=\"en\"", L"name lang=\"ja\"", L"gatewayAddress", L"dialNumber", L"authType", L"suffix",
    L"prrSharedKey", L"useDNSServer", L"setProxyFlag", L"chapPap", L"accessControlGWAddr", L"pollingInterval"};

TerminalProfile &TerminalProfile::GetInstance()
{
    static TerminalProfile instance;
    return instance;
}

TerminalProfile::TerminalProfile() : TerminalProfile(Seams()) {}

TerminalProfile::TerminalProfile(const Seams &seams) : m_seams(seams), m_strFileName(FILE_NAME) {}

TerminalProfile::~TerminalProfile() {}

std::wstring TerminalProfile::GetDirPath()
{
    LOG_SCOPE();
    std::wstring strPath = m_seams.strFolder;
    if (strPath.empty()) {
        std::unique_ptr<OSInformation> pInfo(CreateOSInformation());
        if (pInfo) strPath = pInfo->GetAppDataFolderPath(nullptr);
        else LOGWRITE(LOG_ERROR, L"Failed to generate a OSInformation class");
    }
    if (!strPath.empty() && strPath.back() != L'\\') strPath += L'\\';
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] GetDirPath() return is [%s]", strPath.c_str());
    return strPath;
}

std::wstring TerminalProfile::GetFilePath()
{
    std::wstring strFolder = GetDirPath();
    if (strFolder.empty()) return std::wstring();
    std::wstring strPath = strFolder + m_strFileName;
    DWORD dwAttributes = GetFileAttributesW(strPath.c_str());
    if (dwAttributes == INVALID_FILE_ATTRIBUTES || (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return std::wstring();
    return strPath;
}

std::wstring TerminalProfile::PathOrDefault(const std::wstring &strPath)
{
    if (!strPath.empty()) return strPath;
    std::wstring strFolder = GetDirPath();
    return strFolder.empty() ? std::wstring() : strFolder + m_strFileName;
}

std::wstring TerminalProfile::MapName()
{
    std::wstring strModule = m_seams.strModuleName;
    if (strModule.empty()) {
        std::unique_ptr<OSInformation> pInfo(CreateOSInformation());
        if (pInfo) strModule = pInfo->GetModuleName();
    }
    return kMapPrefix + strModule;
}

std::wstring TerminalProfile::ReadKey()
{
    std::unique_ptr<AplicationInfo> pInfo(m_seams.pfnCreateRegInfo ? m_seams.pfnCreateRegInfo() : CreateAplicationInfo());
    if (!pInfo) {
        LOGWRITE(LOG_ERROR, L"Failed to generate a AplicationInfo class");
        return std::wstring();
    }
    return pInfo->GetTerminalProfileKeyInfo();
}

bool TerminalProfile::ProfileLoad(const std::wstring &strPath)
{
    LOG_SCOPE();
    CriticalSection::Lock lock(m_csOperation);
    MapClear();
    std::wstring strFull = PathOrDefault(strPath);
    LOGWRITE(LOG_DEBUG, L"File path is [%s]", strFull.c_str());
    m_strKey = ReadKey();
    if (!strFull.empty()) ProfileCommit::Recover(strFull, m_strKey);
    Values values;
    bool bLoaded = false;
    if (m_strKey.empty()) {
        LOGWRITE(LOG_ERROR, L"ProfileLoad() There is no key of the terminal profile");
    } else if (strFull.empty() || XMLRead(strFull, MapName(), m_strKey, Coding::CODE_AES) == 0) {
        LOGWRITE(LOG_ERROR, L"ProfileLoad() Failed to XML load");
    } else {
        bLoaded = ParseProfile(values);
    }
    if (!bLoaded) values = Values();
    Publish(values, strFull);
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] ProfileLoad() return is %d (connections %d)", (int)bLoaded,
             (int)values.vecConnections.size());
    return bLoaded;
}

// A profile holds SystemInformation with a Common section; the other sections may be missing.
bool TerminalProfile::ParseProfile(Values &values)
{
    XMLNode root;
    if (GetNextNode(nullptr, kRoot, root) != NODE_FOUND) {
        LOGWRITE(LOG_ERROR, L"ProfileLoad() The file is no terminal profile (no %s)", kRoot);
        return false;
    }
    if (!SetCommonInfo(root, values)) return false;
    SetConnectionInfo(root, values);
    SetUpdateModuleInfo(root, values);
    SetNotice(root, values);
    return true;
}

std::wstring TerminalProfile::SubValue(const XMLNode &parent, const wchar_t *pszName)
{
    XMLNode node;
    return GetSubNode(parent, pszName, node) == NODE_FOUND ? node.Value() : std::wstring();
}

bool TerminalProfile::SetCommonInfo(const XMLNode &root, Values &values)
{
    XMLNode common;
    if (GetSubNode(root, kCommon, common) != NODE_FOUND) {
        LOGWRITE(LOG_ERROR, L"There is no common information");
        return false;
    }
    XMLNode proxy;
    bool bProxy = GetSubNode(common, kProxy, proxy) == NODE_FOUND;
    for (int i = 0; i < COMMON_VALUE_COUNT; ++i) {
        bool bInProxy = i >= PROXY_AUTO_DETECT_FLAG && i <= PROXY_SERVER_EXCEPTION;
        if (bInProxy && !bProxy) continue;
        values.astrCommon[i] = SubValue(bInProxy ? proxy : common, COMMON_NAMES[i]);
    }
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] Common.authTerminalID is {%s}", values.astrCommon[AUTH_TERMINAL_ID].c_str());
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] Common.connectPassword is {%s}", values.astrCommon[CONNECT_PASSWORD].c_str());
    return true;
}

// Counts the Connection nodes first, then reads them again in file order, one record each.
void TerminalProfile::SetConnectionInfo(const XMLNode &root, Values &values)
{
    int iCount = 0;
    XMLNode node;
    for (const wchar_t *p = root.pValue; GetNextNode(p, kConnection, node) == NODE_FOUND && node.pStart < root.pEnd;
         p = node.pEnd)
        ++iCount;
    if (iCount == 0) {
        LOGWRITE(LOG_WARN, L"There is no connection information");
        return;
    }
    values.vecConnections.resize(static_cast<size_t>(iCount));
    const wchar_t *p = root.pValue;
    for (int i = 0; i < iCount && GetNextNode(p, kConnection, node) == NODE_FOUND; ++i, p = node.pEnd)
        ReadConnection(node, values.vecConnections[static_cast<size_t>(i)]);
}

// RemoteConnectType is the Connection node's own value (its attribute); a child element of that
// name is taken when the attribute is missing.
void TerminalProfile::ReadConnection(const XMLNode &node, ConnectionRecord &record)
{
    for (int i = 0; i < CONNECTION_VALUE_COUNT; ++i) record.astrValues[i] = SubValue(node, CONNECTION_NAMES[i]);
    if (node.strAttrName == kRemoteConnectTypeAttr) record.astrValues[REMOTE_CONNECT_TYPE] = node.strAttrValue;
}

void TerminalProfile::SetUpdateModuleInfo(const XMLNode &root, Values &values)
{
    XMLNode update;
    if (GetSubNode(root, kUpdate, update) != NODE_FOUND) {
        LOGWRITE(LOG_WARN, L"There is no updated information");
        return;
    }
    values.strUpdateModuleNumber = SubValue(update, kUpdateModuleNumber);
    values.strUpdateExecFlag = SubValue(update, kUpdateExecFlag);
}

void TerminalProfile::SetNotice(const XMLNode &root, Values &values)
{
    XMLNode notice;
    if (GetSubNode(root, kNotice, notice) != NODE_FOUND) {
        LOGWRITE(LOG_WARN, L"There is no notice information.");
        return;
    }
    values.strNoticeCategory = SubValue(notice, kCategory);
    values.strNoticeInfoCode = SubValue(notice, kInfoCode);
}

// All values at once; then the trace log learns the terminal id it must not write in clear.
void TerminalProfile::Publish(const Values &values, const std::wstring &strPath)
{
    size_t nSep = strPath.find_last_of(L"\\/");
    {
        CriticalSection::Lock lock(m_csValues);
        m_values = values;
        m_strFolder = nSep == std::wstring::npos ? std::wstring() : strPath.substr(0, nSep + 1);
    }
    if (!values.astrCommon[AUTH_TERMINAL_ID].empty())
        TraceLog::GetInstance().SetTerminalIdValue(values.astrCommon[AUTH_TERMINAL_ID]);
}

bool TerminalProfile::BackupFile()
{
    LOG_SCOPE();
    CriticalSection::Lock lock(m_csOperation);
    std::wstring strPath = GetFilePath();
    FileIO file;
    if (strPath.empty() || file.FileCopy(strPath, strPath + kBackupSuffix, true) != 0) {
        LOGWRITE(LOG_ERROR, L"Failed to backup terminal profile.");
        return false;
    }
    return true;
}

void TerminalProfile::WithOperationLock(const std::function<void()> &fn)
{
    CriticalSection::Lock lock(m_csOperation);
    fn();
}

TerminalProfile::Values TerminalProfile::Snapshot() const
{
    CriticalSection::Lock lock(m_csValues);
    return m_values;
}

std::wstring TerminalProfile::GetCommon(CommonValue value) const
{
    if (value < 0 || value >= COMMON_VALUE_COUNT) return std::wstring();
    CriticalSection::Lock lock(m_csValues);
    return m_values.astrCommon[value];
}

int TerminalProfile::GetConnectionCount() const
{
    CriticalSection::Lock lock(m_csValues);
    return static_cast<int>(m_values.vecConnections.size());
}

std::wstring TerminalProfile::GetConnection(int iIndex, ConnectionValue value) const
{
    CriticalSection::Lock lock(m_csValues);
    if (iIndex < 0 || static_cast<size_t>(iIndex) >= m_values.vecConnections.size() || value < 0 ||
        value >= CONNECTION_VALUE_COUNT)
        return std::wstring();
    return m_values.vecConnections[static_cast<size_t>(iIndex)].astrValues[value];
}

std::wstring TerminalProfile::GetUpdateModuleNumber() const
{
    CriticalSection::Lock lock(m_csValues);
    return m_values.strUpdateModuleNumber;
}

std::wstring TerminalProfile::GetUpdateExecFlag() const
{
    CriticalSection::Lock lock(m_csValues);
    return m_values.strUpdateExecFlag;
}

std::wstring TerminalProfile::GetNoticeCategory() const
{
    CriticalSection::Lock lock(m_csValues);
    return m_values.strNoticeCategory;
}

std::wstring TerminalProfile::GetNoticeInfoCode() const
{
    CriticalSection::Lock lock(m_csValues);
    return m_values.strNoticeInfoCode;
}
