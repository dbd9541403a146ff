#include "IniFile.h"
#include "AplicationInfo.h"
#include "Coding.h"
#include "Log.h"
#include <memory>

namespace {
const wchar_t kFileName[] = L"NolvexConnectIni.xml";
const wchar_t kMapName[] = L"IniFile";
const wchar_t *const kKeyNames[IniFile::KEY_COUNT] = {
    L"RegistTerminalServerURL",
    L"AuthBoxNumber",
    L"Minimize",
    L"AutoReconnect",
    L"AutoUpdate",
    L"LogLevel",
    L"ComSid",
    L"AutoRemoteConn",
    L"Invisible",
    L"ComLogOutput",
    L"ComLogInterval",
    L"ComLogPeriod",
    L"ComLogRetry",
    L"LocalMac",
    L"ACLTermAuth",
    L"PhoneNum",
    L"FixID_PW",
    L"FixID",
    L"FixPW",
    L"WatchACL",
    L"WatchACLInt",
    L"WatchACLTO",
    L"EachTimeInit",
    L"MACInvalid",
    L"PatternPWDisp",
    L"ClosedNetworkConnectType",
    L"MBB_InterfaceName",
    L"MBB_ConnectTimeOut",
    L"MBB_DisConnectTimeOut",
    L"AllowPlainHTTP"
};

}  // namespace

IniFile &IniFile::GetInstance()
{
    static IniFile instance;
    return instance;
}

IniFile::IniFile() : IniFile(std::wstring())
{
}

IniFile::IniFile(const std::wstring &strFolder)
    : m_strFolderSeam(strFolder), m_strFileName(kFileName), m_strMapName(kMapName)
{
}

IniFile::~IniFile()
{
}

const wchar_t *IniFile::KeyName(Key key)
{
    return key >= 0 && key < KEY_COUNT ? kKeyNames[key] : L"";
}

int IniFile::FlagOf(Key key)
{
    switch (key) {
    case KEY_FixID: return FLAG_FIXID;
    case KEY_FixPW: return FLAG_FIXPW;
    case KEY_WatchACLInt: return FLAG_WATCHACLINT;
    case KEY_WatchACLTO: return FLAG_WATCHACLTO;
    default: return -1;
    }
}

std::wstring IniFile::GetDirPath()
{
    LOG_SCOPE();
    std::wstring strPath = m_strFolderSeam;
    if (strPath.empty()) {
        std::unique_ptr<AplicationInfo> pInfo(CreateAplicationInfo());
        if (pInfo) strPath = pInfo->GetInstallPath();
    }
    if (!strPath.empty() && strPath.back() != L'\\') strPath += L'\\';
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] GetDirPath() return is [%s]", strPath.c_str());
    return strPath;
}

bool IniFile::ReadSetting()
{
    LOG_SCOPE();
    CriticalSection::Lock lock(m_csOperation);
    Values values;
    std::wstring strFolder = GetDirPath();
    bool bRead = !strFolder.empty() &&
                 XMLRead(strFolder + m_strFileName, m_strMapName, m_strKey, Coding::CODE_BASE64) != 0;
    if (bRead) {
        ParseValues(values);
    } else {
        LOGWRITE(LOG_ERROR, L"ReadSetting() Failed to XML load");
    }
    Publish(strFolder, values);
    return bRead;
}

void IniFile::ParseValues(Values &values)
{
    for (int i = 0; i < KEY_COUNT; ++i) {
        XMLNode node;
        if (GetNextNode(nullptr, kKeyNames[i], node) != NODE_FOUND) continue;
        values.astrValue[i] = node.Value();
        LOGWRITE(LOG_DEBUG, L"[InputInfo] %s is %s", kKeyNames[i], values.astrValue[i].c_str());
        int iFlag = FlagOf((Key)i);
        if (iFlag >= 0) values.abPresent[iFlag] = true;
    }
}

void IniFile::Publish(const std::wstring &strFolder, const Values &values)
{
    CriticalSection::Lock lock(m_csValues);
    m_strFolder = strFolder;
    m_values = values;
}

void IniFile::ReadOnce()
{
    if (GetFolder().empty()) ReadSetting();
}

void IniFile::TryReadOnce()
{
    if (!GetFolder().empty()) return;
    if (!m_csOperation.TryEnter()) return;
    // Re-entered by this thread inside ReadSetting: the operation lock is recursive.
    ReadSetting();
    m_csOperation.Leave();
}

std::wstring IniFile::GetFolder() const
{
    CriticalSection::Lock lock(m_csValues);
    return m_strFolder;
}

std::wstring IniFile::GetValue(Key key) const
{
    if (key < 0 || key >= KEY_COUNT) return std::wstring();
    CriticalSection::Lock lock(m_csValues);
    return m_values.astrValue[key];
}

bool IniFile::ReadFlag(Flag flag) const
{
    CriticalSection::Lock lock(m_csValues);
    return m_values.abPresent[flag];
}

bool IniFile::IsFixIDPresent() const
{
    return ReadFlag(FLAG_FIXID);
}

bool IniFile::IsFixPWPresent() const
{
    return ReadFlag(FLAG_FIXPW);
}

bool IniFile::IsWatchACLIntPresent() const
{
    return ReadFlag(FLAG_WATCHACLINT);
}

bool IniFile::IsWatchACLTOPresent() const
{
    return ReadFlag(FLAG_WATCHACLTO);
}
