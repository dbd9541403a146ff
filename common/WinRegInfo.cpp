#include "WinRegInfo.h"
#include "ActiveSession.h"
#include "Log.h"
#include "OSInformation.h"
#include "RegistryView.h"
#include "ScopedHandle.h"
#include "TokenIdentity.h"
#include <memory>
#include <vector>

namespace {
const wchar_t kMonitorAppName[] = L"NolvexConnectMonitor";
const wchar_t kValuePath[] = L"Path";
const wchar_t kValueTerminalProfile[] = L"TerminalProfile";
const wchar_t kValueUserSettingFile[] = L"UserSettingFile";
const wchar_t kValuePublisher[] = L"Publisher";
const wchar_t kValueDisplayName[] = L"DisplayName";
const wchar_t kValueUninstall[] = L"UninstallString";
// Values longer than this many characters are refused (the designed 514-byte buffer).
const DWORD kMaxValueChars = 256;
const REGSAM kReadAccess = 0x20019;    // KEY_READ
const REGSAM kFullAccess = 0xF003F;    // KEY_ALL_ACCESS
const size_t kMinPathForBackslash = 2;

bool IsStringType(DWORD dwType)
{
    return dwType == REG_SZ || dwType == REG_EXPAND_SZ;
}
}  // namespace

WinRegInfo::WinRegInfo()
{
}

WinRegInfo::WinRegInfo(const Seams &seams) : m_seams(seams)
{
}

WinRegInfo::~WinRegInfo()
{
}

bool WinRegInfo::Is64BitMachine()
{
#ifdef _WIN64
    return true;
#else
    BOOL bWow64 = FALSE;
    if (!::IsWow64Process(GetCurrentProcess(), &bWow64)) return false;
    return bWow64 != FALSE;
#endif
}

REGSAM WinRegInfo::ViewAccess(REGSAM samAccess)
{
    REGSAM samView = samAccess | RegistryView::PRODUCT_VIEW;
    if (Is64BitMachine()) LOGWRITE(LOG_DEBUG, L"Set Flag for 64bit PC. 0x%08x", (unsigned int)samView);
    return samView;
}

std::wstring WinRegInfo::ReadStringValue(HKEY hKey, const std::wstring &strValueName, LONG &lError)
{
    // Room for the longest value taken and its terminating zero, plus one zero character that is
    // never written: the text is always ended, also when the value was stored without its zero.
    std::vector<wchar_t> vecBuffer(kMaxValueChars + 2, L'\0');
    DWORD dwType = REG_NONE;
    DWORD dwBytes = (DWORD)((kMaxValueChars + 1) * sizeof(wchar_t));
    lError = RegQueryValueExW(hKey, strValueName.c_str(), nullptr, &dwType,
                              reinterpret_cast<BYTE *>(vecBuffer.data()), &dwBytes);
    if (lError != ERROR_SUCCESS) return std::wstring();
    if (!IsStringType(dwType)) {
        lError = ERROR_INVALID_DATATYPE;
        return std::wstring();
    }
    std::wstring strValue(vecBuffer.data());
    if (strValue.size() > kMaxValueChars) {
        lError = ERROR_MORE_DATA;
        return std::wstring();
    }
    return strValue;
}

std::wstring WinRegInfo::GetRegeditValue(const std::wstring &strName, HKEY hRoot, const std::wstring &strKey,
                                         const std::wstring &strValueName)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] Name is %s", strName.c_str());
    ScopedRegKey hKey;
    LOGWRITE(LOG_DEBUG, L"[API Call] RegOpenKeyEx( %s )", strKey.c_str());
    LONG lError = RegOpenKeyExW(hRoot, strKey.c_str(), 0, ViewAccess(kReadAccess), hKey.Receive());
    if (lError != ERROR_SUCCESS) {
        LOGWRITE(LOG_ERROR, L"Can't Get %s %s , RegOpenKeyEx() return Error [%ld]", strKey.c_str(),
                 strValueName.c_str(), (long)lError);
        return std::wstring();
    }
    std::wstring strValue = ReadStringValue(hKey.Get(), strValueName, lError);
    if (lError != ERROR_SUCCESS) {
        LOGWRITE(LOG_ERROR, L"Can't Get %s %s , RegQueryValueEx() return Error [%ld]", strKey.c_str(),
                 strValueName.c_str(), (long)lError);
        return std::wstring();
    }
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] GetRegeditValue() return is [%s]", strValue.c_str());
    return strValue;
}

long WinRegInfo::MakeRegistry(HKEY hRoot, const std::wstring &strKey)
{
    LOG_SCOPE();
    ScopedRegKey hKey;
    DWORD dwDisposition = 0;
    LOGWRITE(LOG_DEBUG, L"[API Call] RegCreateKeyEx( %s )", strKey.c_str());
    LONG lError = RegCreateKeyExW(hRoot, strKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  ViewAccess(kFullAccess), nullptr, hKey.Receive(), &dwDisposition);
    if (lError != ERROR_SUCCESS) LOG_API_ERROR(L"RegCreateKeyEx", lError);
    return lError;
}

long WinRegInfo::SetRegeditValue(const std::wstring &strName, HKEY hRoot, const std::wstring &strKey,
                                 const std::wstring &strValueName, const std::wstring &strText)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] Name is %s", strName.c_str());
    long lError = MakeRegistry(hRoot, strKey);
    if (lError != ERROR_SUCCESS) {
        LOGWRITE(LOG_ERROR, L"MakeRegistry return Error: %ld", lError);
        return lError;
    }
    ScopedRegKey hKey;
    lError = RegOpenKeyExW(hRoot, strKey.c_str(), 0, ViewAccess(kFullAccess), hKey.Receive());
    if (lError != ERROR_SUCCESS) {
        LOGWRITE(LOG_ERROR, L"Can't Get %s %s , RegOpenKeyEx() return Error [%ld]", strKey.c_str(),
                 strValueName.c_str(), lError);
        return lError;
    }
    DWORD dwBytes = (DWORD)((strText.size() + 1) * sizeof(wchar_t));
    lError = RegSetValueExW(hKey.Get(), strValueName.c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE *>(strText.c_str()), dwBytes);
    if (lError != ERROR_SUCCESS) {
        LOGWRITE(LOG_ERROR, L"Can't Get %s %s , RegSetValueEx() return Error [%ld]", strKey.c_str(),
                 strValueName.c_str(), lError);
    }
    return lError;
}

std::wstring WinRegInfo::GetInstallPath()
{
    LOG_SCOPE();
    std::wstring strPath = GetRegeditValue(L"InstallPath", HKEY_LOCAL_MACHINE, ProductKey(), kValuePath);
    if (strPath.size() >= kMinPathForBackslash && strPath.back() != L'\\') strPath += L'\\';
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] GetInstallPath() return is [%s]", strPath.c_str());
    return strPath;
}

std::wstring WinRegInfo::ModuleName()
{
    if (!m_seams.strModuleName.empty()) return m_seams.strModuleName;
    std::unique_ptr<OSInformation> pInfo(CreateOSInformation());
    return pInfo ? pInfo->GetModuleName() : std::wstring();
}

bool WinRegInfo::UserProductKey(HKEY &hRoot, std::wstring &strKey)
{
    if (ModuleName() != kMonitorAppName) {
        hRoot = HKEY_CURRENT_USER;
        strKey = ProductKey();
        return true;
    }
    std::wstring strSid = GetUserSID();
    if (strSid.empty()) {
        LOGWRITE(LOG_ERROR, L"Can't Get User SID");
        return false;
    }
    hRoot = HKEY_USERS;
    strKey = strSid + L"\\" + ProductKey();
    LOGWRITE(LOG_INFO, L"Reset Registry Subkey for Service [%s]", strKey.c_str());
    return true;
}

std::wstring WinRegInfo::GetUserValue(const wchar_t *pszValueName)
{
    HKEY hRoot = nullptr;
    std::wstring strKey;
    if (!UserProductKey(hRoot, strKey)) return std::wstring();
    return GetRegeditValue(pszValueName, hRoot, strKey, pszValueName);
}

long WinRegInfo::SetUserValue(const wchar_t *pszValueName, const std::wstring &strValue)
{
    HKEY hRoot = nullptr;
    std::wstring strKey;
    // No user to write for: the key cannot be had, like a key that does not exist.
    if (!UserProductKey(hRoot, strKey)) return ERROR_NO_SUCH_USER;
    return SetRegeditValue(pszValueName, hRoot, strKey, pszValueName, strValue);
}

std::wstring WinRegInfo::GetTerminalProfileKeyInfo()
{
    LOG_SCOPE();
    return GetUserValue(kValueTerminalProfile);
}

long WinRegInfo::SetTerminalProfileKeyInfo(const std::wstring &strValue)
{
    LOG_SCOPE();
    return SetUserValue(kValueTerminalProfile, strValue);
}

std::wstring WinRegInfo::GetUserSettingFileKeyInfo()
{
    LOG_SCOPE();
    return GetUserValue(kValueUserSettingFile);
}

long WinRegInfo::SetUserSettingFileKeyInfo(const std::wstring &strValue)
{
    LOG_SCOPE();
    return SetUserValue(kValueUserSettingFile, strValue);
}

std::wstring WinRegInfo::GetPublisher()
{
    LOG_SCOPE();
    return GetRegeditValue(kValuePublisher, HKEY_LOCAL_MACHINE, UninstallKey(), kValuePublisher);
}

std::wstring WinRegInfo::GetDisplayName()
{
    LOG_SCOPE();
    return GetRegeditValue(kValueDisplayName, HKEY_LOCAL_MACHINE, UninstallKey(), kValueDisplayName);
}

std::wstring WinRegInfo::GetUninstallInfo()
{
    LOG_SCOPE();
    return GetRegeditValue(kValueUninstall, HKEY_LOCAL_MACHINE, UninstallKey(), kValueUninstall);
}

std::wstring WinRegInfo::GetModuleVersion()
{
    LOG_SCOPE();
    wchar_t szPath[MAX_PATH + 1] = {};
    DWORD dwLen = GetModuleFileNameW(nullptr, szPath, MAX_PATH);
    if (dwLen == 0 || dwLen >= MAX_PATH) {
        LOG_API_ERROR(L"GetModuleFileName", dwLen == 0 ? GetLastError() : ERROR_INSUFFICIENT_BUFFER);
        return std::wstring();
    }
    DWORD dwHandle = 0;
    DWORD dwSize = GetFileVersionInfoSizeW(szPath, &dwHandle);
    if (dwSize == 0) {
        LOG_API_ERROR(L"GetFileVersionInfoSize", GetLastError());
        return std::wstring();
    }
    std::vector<BYTE> vecInfo(dwSize, 0);
    if (!GetFileVersionInfoW(szPath, 0, dwSize, vecInfo.data())) {
        LOG_API_ERROR(L"GetFileVersionInfo", GetLastError());
        return std::wstring();
    }
    VS_FIXEDFILEINFO *pFixed = nullptr;
    UINT uiFixed = 0;
    if (!VerQueryValueW(vecInfo.data(), L"\\", reinterpret_cast<void **>(&pFixed), &uiFixed) || pFixed == nullptr ||
        uiFixed < sizeof(VS_FIXEDFILEINFO)) {
        LOG_API_ERROR(L"VerQueryValue", ERROR_RESOURCE_TYPE_NOT_FOUND);
        return std::wstring();
    }
    wchar_t szVersion[64] = {};
    _snwprintf(szVersion, 63, L"%ld.%ld.%ld.%ld", (long)HIWORD(pFixed->dwFileVersionMS),
               (long)LOWORD(pFixed->dwFileVersionMS), (long)HIWORD(pFixed->dwFileVersionLS),
               (long)LOWORD(pFixed->dwFileVersionLS));
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] GetModuleVersion() return is [%s]", szVersion);
    return szVersion;
}

bool WinRegInfo::FindActiveSession(DWORD &dwSessionId)
{
    long lResult = ActiveSession::Find(dwSessionId);
    if (lResult > 0) LOG_API_ERROR(L"WTSEnumerateSessions", lResult);
    if (lResult != ActiveSession::FOUND) return false;
    LOGWRITE(LOG_DEBUG, L"Active SessionId  %ld", (long)dwSessionId);
    return true;
}

std::wstring WinRegInfo::GetTokenUserSID(HANDLE hToken)
{
    TokenIdentity user;
    std::wstring strSid = user.FromToken(hToken) ? user.SidText() : std::wstring();
    if (strSid.empty()) LOGWRITE(LOG_ERROR, L"Can't Convert SID To User SID");
    return strSid;
}

std::wstring WinRegInfo::GetUserSID()
{
    LOG_SCOPE();
    DWORD dwSessionId = 0;
    if (!FindActiveSession(dwSessionId)) return std::wstring();
    ScopedHandle hToken;
    if (!WTSQueryUserToken(dwSessionId, hToken.Receive())) {
        LOG_API_ERROR(L"WTSQueryUserToken", GetLastError());
        LOGWRITE(LOG_ERROR, L"Can't Get User Token");
        return std::wstring();
    }
    std::wstring strSid = GetTokenUserSID(hToken.Get());
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] GetUserSID() return is [%s]", strSid.c_str());
    return strSid;
}
