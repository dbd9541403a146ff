#include "WinOSInformation.h"
#include "IniFile.h"
#include "Log.h"
#include "ScopedHandle.h"
#include "WinRegInfo.h"
#include "WmiBiosSerial.h"
#include <iphlpapi.h>
#include <winioctl.h>
#include <sddl.h>
#include <shlobj.h>
#include <cwctype>
#include <memory>
#include <new>

namespace {
const wchar_t kProductFolder[] = L"NolvexConnect\\";
const wchar_t kMonitorAppName[] = L"NolvexConnectMonitor";
const wchar_t kAfterVersion[] = L"After6.2";
const DWORD kLastNamedMajor = 6;
const DWORD kLastNamedMinor = 2;
const UINT kPppType = 23;                 // MIB_IF_TYPE_PPP
const BYTE kLocallyAdministered = 0x02;   // bit of the first address byte
const size_t kMacBytes = 6;
const size_t kMaxSerialChars = 20;
const DWORD kSmartReceiveDriveData = 0x7C088;
const DWORD kIdentifyBufferBytes = 512;
const DWORD kIdentifyInputBytes = 33;
const BYTE kDriveHeadEven = 0xA0;
const BYTE kDriveHeadOdd = 0xB0;
const BYTE kIdentifyDevice = 0xEC;
const int kMaxComputerName = MAX_COMPUTERNAME_LENGTH + 1;

bool IsAsciiLetterOrDigit(wchar_t c)
{
    return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}
}  // namespace

WinOSInformation::WinOSInformation()
{
}

WinOSInformation::WinOSInformation(const Seams &seams) : m_seams(seams)
{
}

WinOSInformation::~WinOSInformation()
{
}

std::wstring WinOSInformation::GetProductFolder(int iCsidl, HANDLE hToken)
{
    wchar_t szPath[MAX_PATH] = {};
    LOGWRITE(LOG_DEBUG, L"[API Call] %s( %d, %ld )", L"SHGetFolderPathW", iCsidl, (long)(LONG_PTR)hToken);
    HRESULT hr = SHGetFolderPathW(nullptr, iCsidl, hToken, SHGFP_TYPE_CURRENT, szPath);
    if (FAILED(hr)) {
        LOG_API_ERROR(L"SHGetFolderPath", hr);
        return std::wstring();
    }
    std::wstring strPath(szPath);
    if (strPath.empty()) return strPath;
    if (strPath.back() != L'\\') strPath += L'\\';
    return strPath + kProductFolder;
}

std::wstring WinOSInformation::GetAppDataFolderPath(HANDLE hToken)
{
    LOG_SCOPE();
    std::wstring strPath = GetProductFolder(CSIDL_APPDATA, hToken);
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] GetAppDataFolderPath() return is [%s]", strPath.c_str());
    return strPath;
}

std::wstring WinOSInformation::GetAllUsersAppDataFolderPath()
{
    LOG_SCOPE();
    std::wstring strPath = GetProductFolder(CSIDL_COMMON_APPDATA, nullptr);
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] GetAllUsersAppDataFolderPath() return is [%s]", strPath.c_str());
    return strPath;
}

std::wstring WinOSInformation::GetModuleName()
{
    if (!m_seams.strModuleName.empty()) return m_seams.strModuleName;
    LOG_SCOPE();
    std::wstring strBuffer(MAX_PATH, L'\0');
    for (;;) {
        DWORD dwLen = GetModuleFileNameW(nullptr, &strBuffer[0], (DWORD)strBuffer.size());
        if (dwLen == 0) {
            LOG_API_ERROR(L"GetModuleFileNameW", GetLastError());
            return std::wstring();
        }
        if (dwLen < strBuffer.size()) {   // XP truncates without an error: a full buffer means "grow"
            strBuffer.resize(dwLen);
            break;
        }
        if (strBuffer.size() >= 32768) return std::wstring();
        strBuffer.resize(strBuffer.size() * 2);
    }
    size_t nSep = strBuffer.find_last_of(L"\\/");
    std::wstring strName = nSep == std::wstring::npos ? strBuffer : strBuffer.substr(nSep + 1);
    size_t nDot = strName.find_last_of(L'.');
    if (nDot != std::wstring::npos) strName.erase(nDot);
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] GetModuleName() return is [%s]", strName.c_str());
    return strName;
}

std::wstring WinOSInformation::GetSystemDriveName()
{
    LOG_SCOPE();
    wchar_t szDir[MAX_PATH] = {};
    UINT uiLen = GetSystemDirectoryW(szDir, MAX_PATH);
    if (uiLen == 0 || uiLen >= MAX_PATH) {
        LOG_API_ERROR(L"GetSystemDirectoryW", uiLen == 0 ? GetLastError() : ERROR_INSUFFICIENT_BUFFER);
        return std::wstring();
    }
    std::wstring strDir(szDir, uiLen);
    size_t nColon = strDir.find(L':');
    std::wstring strDrive = nColon == std::wstring::npos ? std::wstring() : strDir.substr(0, nColon + 1);
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] GetSystemDriveName() return is [%s]", strDrive.c_str());
    return strDrive;
}

bool WinOSInformation::IsMonitorService()
{
    return GetModuleName() == kMonitorAppName;
}

IniFile &WinOSInformation::Ini()
{
    return m_seams.pIniFile != nullptr ? *m_seams.pIniFile : IniFile::GetInstance();
}

std::wstring WinOSInformation::VersionText(DWORD dwMajor, DWORD dwMinor)
{
    if (dwMajor > kLastNamedMajor || (dwMajor == kLastNamedMajor && dwMinor > kLastNamedMinor)) return kAfterVersion;
    return std::to_wstring(dwMajor) + L"." + std::to_wstring(dwMinor);
}

// Above 6.2 the answer depends on the program's manifest listing the newer systems.
bool WinOSInformation::ReadVersion(DWORD &dwMajor, DWORD &dwMinor)
{
    OSVERSIONINFOW osvi = {};
    osvi.dwOSVersionInfoSize = sizeof(osvi);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExW(&osvi)) {
#pragma GCC diagnostic pop
        LOG_API_ERROR(L"GetVersionEx", GetLastError());
        return false;
    }
    dwMajor = osvi.dwMajorVersion;
    dwMinor = osvi.dwMinorVersion;
    return true;
}

std::wstring WinOSInformation::GetOSVersion()
{
    LOG_SCOPE();
    DWORD dwMajor = 0;
    DWORD dwMinor = 0;
    bool bRead = m_seams.pfnVersion ? m_seams.pfnVersion(dwMajor, dwMinor) : ReadVersion(dwMajor, dwMinor);
    std::wstring strVersion = bRead ? VersionText(dwMajor, dwMinor) : std::wstring();
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] GetOSVersion() return is [%s]", strVersion.c_str());
    return strVersion;
}

bool WinOSInformation::IsWow64Process()
{
    LOG_SCOPE();
    BOOL bWow64 = FALSE;
    if (!::IsWow64Process(GetCurrentProcess(), &bWow64)) {
        LOG_API_ERROR(L"IsWow64Process", GetLastError());
        return false;
    }
    return bWow64 != FALSE;
}

std::wstring WinOSInformation::GetComputerNameW()
{
    LOG_SCOPE();
    char szName[kMaxComputerName] = {};
    DWORD dwLen = kMaxComputerName;
    if (!::GetComputerNameA(szName, &dwLen)) {
        LOG_API_ERROR(L"GetComputerName", GetLastError());
        return std::wstring();
    }
    wchar_t szWide[kMaxComputerName] = {};
    if (MultiByteToWideChar(CP_ACP, 0, szName, (int)dwLen, szWide, kMaxComputerName - 1) == 0 && dwLen != 0) {
        LOG_API_ERROR(L"MultiByteToWideChar", GetLastError());
        return std::wstring();
    }
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] GetComputerNameW() return is [%s]", szWide);
    return szWide;
}

std::wstring WinOSInformation::GetComputerSID()
{
    LOG_SCOPE();
    std::wstring strName = GetComputerNameW();
    if (strName.empty()) return strName;
    DWORD dwSid = 0;
    DWORD dwDomain = 0;
    SID_NAME_USE use = SidTypeUnknown;
    LookupAccountNameW(nullptr, strName.c_str(), nullptr, &dwSid, nullptr, &dwDomain, &use);
    if (dwSid == 0) {
        LOG_API_ERROR(L"LookupAccountName", GetLastError());
        return std::wstring();
    }
    std::vector<BYTE> vecSid(dwSid, 0);
    std::vector<wchar_t> vecDomain(dwDomain + 1, L'\0');
    if (!LookupAccountNameW(nullptr, strName.c_str(), vecSid.data(), &dwSid, vecDomain.data(), &dwDomain, &use)) {
        LOG_API_ERROR(L"LookupAccountName", GetLastError());
        return std::wstring();
    }
    LPWSTR pszSid = nullptr;
    if (!ConvertSidToStringSidW(vecSid.data(), &pszSid)) {
        LOG_API_ERROR(L"ConvertSidToStringSid", GetLastError());
        return std::wstring();
    }
    ScopedLocal hSid(pszSid);
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] GetComputerSID() return is [%s]", pszSid);
    return pszSid;
}

bool WinOSInformation::IdentifyDrive(int iDrive, std::vector<BYTE> &vecOutput)
{
    wchar_t szDrive[MAX_PATH] = {};
    _snwprintf(szDrive, MAX_PATH - 1, L"\\\\.\\PhysicalDrive%d", iDrive);
    ScopedFileHandle hDrive(CreateFileW(szDrive, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
    if (!hDrive.IsValid()) return false;
    SENDCMDINPARAMS input = {};
    input.cBufferSize = kIdentifyBufferBytes;
    input.irDriveRegs.bDriveHeadReg = (iDrive % 2 == 0) ? kDriveHeadEven : kDriveHeadOdd;
    input.irDriveRegs.bCommandReg = kIdentifyDevice;
    input.bDriveNumber = (BYTE)iDrive;
    vecOutput.assign(IDENTIFY_OUTPUT_BYTES, 0);
    DWORD dwReturned = 0;
    BOOL bDone = DeviceIoControl(hDrive.Get(), kSmartReceiveDriveData, &input, kIdentifyInputBytes, vecOutput.data(),
                                 IDENTIFY_OUTPUT_BYTES, &dwReturned, nullptr);
    return bDone && dwReturned == IDENTIFY_OUTPUT_BYTES;
}

std::wstring WinOSInformation::SerialFromIdentify(const std::vector<BYTE> &vecOutput)
{
    if (vecOutput.size() < IDENTIFY_OUTPUT_BYTES) return std::wstring();
    const BYTE *pbField = vecOutput.data() + IDENTIFY_DATA_OFFSET + SERIAL_FIELD_OFFSET;
    std::string strField;
    // The drive stores each pair of characters swapped. Never beyond the field, also when it
    // holds no zero byte.
    for (DWORD i = 0; i + 1 < SERIAL_FIELD_BYTES; i += 2) {
        strField += (char)pbField[i + 1];
        strField += (char)pbField[i];
    }
    size_t nZero = strField.find('\0');
    if (nZero != std::string::npos) strField.erase(nZero);
    std::wstring strSerial;
    for (char c : strField) {
        wchar_t wc = (wchar_t)(unsigned char)c;
        if (IsAsciiLetterOrDigit(wc) && strSerial.size() < kMaxSerialChars) strSerial += wc;
    }
    return strSerial;
}

std::wstring WinOSInformation::GetHDDSerialNo()
{
    LOG_SCOPE();
    for (int iDrive = 0; iDrive < MAX_DRIVES; ++iDrive) {
        std::vector<BYTE> vecOutput;
        bool bAnswered = m_seams.pfnIdentify ? m_seams.pfnIdentify(iDrive, vecOutput) : IdentifyDrive(iDrive, vecOutput);
        if (!bAnswered || vecOutput.size() < IDENTIFY_OUTPUT_BYTES) continue;
        std::wstring strSerial = SerialFromIdentify(vecOutput);
        LOGWRITE(LOG_DEBUG, L"[OutputInfo] GetHDDSerialNo() return is [%s]", strSerial.c_str());
        return strSerial;
    }
    LOGWRITE(LOG_WARN, L"No drive answered the identify request");
    return std::wstring();
}

std::wstring WinOSInformation::GetVolumeSerialNo()
{
    LOG_SCOPE();
    std::wstring strDrive = GetSystemDriveName();
    if (strDrive.empty()) return strDrive;
    DWORD dwSerial = 0;
    if (!GetVolumeInformationW((strDrive + L"\\").c_str(), nullptr, 0, &dwSerial, nullptr, nullptr, nullptr, 0)) {
        LOG_API_ERROR(L"GetVolumeInformation", GetLastError());
        return std::wstring();
    }
    wchar_t szSerial[16] = {};
    _snwprintf(szSerial, 15, L"%02lx", (unsigned long)dwSerial);
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] GetVolumeSerialNo() return is [%s]", szSerial);
    return szSerial;
}

bool WinOSInformation::ReadAdapters(std::vector<AdapterEntry> &vecAdapters)
{
    ULONG ulSize = 0;
    DWORD dwResult = GetAdaptersInfo(nullptr, &ulSize);
    if (dwResult == ERROR_NO_DATA) return true;   // no adapter at all
    if (dwResult != ERROR_BUFFER_OVERFLOW || ulSize == 0) {
        LOG_API_ERROR(L"GetAdaptersInfo", dwResult);
        return false;
    }
    std::vector<BYTE> vecBuffer(ulSize, 0);
    IP_ADAPTER_INFO *pInfo = reinterpret_cast<IP_ADAPTER_INFO *>(vecBuffer.data());
    dwResult = GetAdaptersInfo(pInfo, &ulSize);
    if (dwResult != ERROR_SUCCESS) {
        LOG_API_ERROR(L"GetAdaptersInfo", dwResult);
        return false;
    }
    for (const IP_ADAPTER_INFO *p = pInfo; p != nullptr; p = p->Next) {
        AdapterEntry entry;
        entry.uiType = p->Type;
        UINT uiLen = p->AddressLength < MAX_ADAPTER_ADDRESS_LENGTH ? p->AddressLength : MAX_ADAPTER_ADDRESS_LENGTH;
        entry.vecAddress.assign(p->Address, p->Address + uiLen);
        vecAdapters.push_back(entry);
    }
    return true;
}

std::vector<std::wstring> WinOSInformation::FormatAddresses(const std::vector<AdapterEntry> &vecAdapters,
                                                            bool bSkipLocal)
{
    std::vector<std::wstring> vecResult;
    for (const AdapterEntry &entry : vecAdapters) {
        if (entry.uiType == kPppType || entry.vecAddress.size() < kMacBytes) continue;
        if (bSkipLocal && (entry.vecAddress[0] & kLocallyAdministered) != 0) continue;
        wchar_t szAddress[2 * kMacBytes + 1] = {};
        const std::vector<BYTE> &a = entry.vecAddress;
        _snwprintf(szAddress, 2 * kMacBytes, L"%02X%02X%02X%02X%02X%02X", a[0], a[1], a[2], a[3], a[4], a[5]);
        vecResult.push_back(szAddress);
    }
    return vecResult;
}

std::vector<std::wstring> *WinOSInformation::GetMACAddress()
{
    LOG_SCOPE();
    std::vector<std::wstring> *pResult = new (std::nothrow) std::vector<std::wstring>();
    if (pResult == nullptr) {
        LOGWRITE(LOG_ERROR, L"Failed to generate a string array");
        return nullptr;
    }
    std::vector<AdapterEntry> vecAdapters;
    bool bListed = m_seams.pfnAdapters ? m_seams.pfnAdapters(vecAdapters) : ReadAdapters(vecAdapters);
    if (!bListed) return pResult;
    IniFile &ini = Ini();
    ini.ReadOnce();
    *pResult = FormatAddresses(vecAdapters, ini.GetLocalMac() == L"0");
    for (const std::wstring &strAddress : *pResult) LOGWRITE(LOG_DEBUG, L"[OutputInfo] MAC Address is %s", strAddress.c_str());
    return pResult;
}

bool WinOSInformation::IsUserAdmin()
{
    LOG_SCOPE();
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID pAdmins = nullptr;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0,
                                  0, &pAdmins)) {
        LOG_API_ERROR(L"AllocateAndInitializeSid", GetLastError());
        return false;
    }
    // Enabled membership only: a filtered token lists the group as deny-only, which is not
    // membership.
    BOOL bMember = FALSE;
    BOOL bChecked = CheckTokenMembership(nullptr, pAdmins, &bMember);
    DWORD dwErr = GetLastError();
    FreeSid(pAdmins);
    if (!bChecked) {
        LOG_API_ERROR(L"CheckTokenMembership", dwErr);
        return false;
    }
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] IsUserAdmin() return is [%d]", bMember ? 1 : 0);
    return bMember != FALSE;
}

std::wstring WinOSInformation::GetPID()
{
    return std::to_wstring((long)GetCurrentProcessId());
}

namespace {
BOOL CALLBACK TakeMainWindow(HWND hWnd, LPARAM lParam)
{
    if (GetWindow(hWnd, GW_OWNER) != nullptr || !IsWindowVisible(hWnd)) return TRUE;
    *reinterpret_cast<HWND *>(lParam) = hWnd;
    return FALSE;
}
}  // namespace

// The first visible top-level window without owner of this thread: what a framework calls the
// thread's main window.
std::wstring WinOSInformation::GetWindowHandle()
{
    HWND hMain = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), TakeMainWindow, reinterpret_cast<LPARAM>(&hMain));
    // Window handles carry 32 significant bits in both builds.
    return std::to_wstring((long long)(LONG_PTR)hMain);
}

std::wstring WinOSInformation::ReadBiosSerialThroughWmi()
{
    return WmiBiosSerial::Read();
}

std::wstring WinOSInformation::GetBIOSSerialNo()
{
    LOG_SCOPE();
    if (IsMonitorService()) {
        LOGWRITE(LOG_INFO, L"Can't Get Bios Serial Number On Windows Service");
        return std::wstring();
    }
    return m_seams.pfnBiosSerial ? m_seams.pfnBiosSerial() : ReadBiosSerialThroughWmi();
}
