#include "WinRASAdapter.h"
#include "Log.h"
#include "MessageIds.h"
#include "RasDialState.h"
#include "ScopedHandle.h"
#include <shlobj.h>
#include <cwchar>
#include <new>
#include <vector>

namespace {
const wchar_t kUserPhonebookTail[] = L"\\Microsoft\\Network\\Connections\\Pbk\\rasphone.pbk";
const wchar_t kVpnDeviceType[] = L"vpn";
const wchar_t kVpnDeviceName[] = L"RAS VPN Line 0";
const wchar_t kModemDeviceType[] = L"modem";
const wchar_t kNwCategoryKey[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Network\\NwCategoryWizard";
const wchar_t kNwCategoryValue[] = L"Show";
const DWORD kVpnRedialCount = 1;
const DWORD kVpnRedialPause = 1;
const DWORD kVistaMajorVersion = 6;
const DWORD kRasDialFunc2Type = 2;
const DWORD kAuthOptionBits = RASEO_RequirePAP | RASEO_RequireCHAP | RASEO_RequireMsCHAP | RASEO_RequireMsCHAP2;
const long kCancelled = -1;
const long kNoPair = 1;

struct AuthKey {
    const wchar_t *pszKey;
    DWORD dwOption;
};
const AuthKey kAuthKeys[] = {{L"EnablePAP", RASEO_RequirePAP},
                             {L"EnableCHAP", RASEO_RequireCHAP},
                             {L"EnableMsCHAP", RASEO_RequireMsCHAP},
                             {L"EnableMsCHAP2", RASEO_RequireMsCHAP2}};

std::wstring Trim(const std::wstring &str)
{
    size_t nFirst = str.find_first_not_of(L" \t");
    if (nFirst == std::wstring::npos) return std::wstring();
    return str.substr(nFirst, str.find_last_not_of(L" \t") - nFirst + 1);
}

template <size_t N> void CopyText(WCHAR (&szOut)[N], const std::wstring &str)
{
    size_t nLen = str.size() < N ? str.size() : N - 1;
    wmemcpy(szOut, str.data(), nLen);
    szOut[nLen] = L'\0';
}

template <typename T> void Wipe(T &value) { SecureZeroMemory(&value, sizeof(value)); }
}  // namespace

WinRASAdapter::WinRASAdapter(const std::wstring &strEntryName) : m_strEntryName(strEntryName) {}

WinRASAdapter::~WinRASAdapter()
{
    if (m_bSetNwCategoryWizard) DeleteNwCategoryWizard();
}

void WinRASAdapter::SetTrafficErrorInfo(unsigned int uiMessageCode, const std::wstring &strAddMessage)
{
    m_uiTrafficMessageCode = uiMessageCode;
    m_strTrafficAddMessage = strAddMessage;
}

long WinRASAdapter::RasFailure(const wchar_t *pszApi, DWORD dwResult)
{
    // Invalid parameter is a system error without a RAS text.
    std::wstring strText = dwResult == ERROR_INVALID_PARAMETER ? SystemErrorText(dwResult)
                                                                : ExRasGetErrorString(dwResult);
    LOGWRITE(LOG_ERROR, L"APIError [%s] rc:[%ld] msg:[%s]", pszApi, static_cast<long>(dwResult), strText.c_str());
    m_lStatusCode = static_cast<long>(dwResult);
    return GetRasMessageId(dwResult);
}

// ---- Connect ----

long WinRASAdapter::Connect(const AdapterConnectInfo &info)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] ConnectType is %s, UserName is {%s}, Password is {%s}, Destination is %s",
             info.strConnectType.c_str(), info.strUserName.c_str(), info.strPassword.c_str(),
             info.strDestination.c_str());
    LOGWRITE(LOG_DEBUG, L"[InputInfo] EntryName is %s, AuthType is %s, VpnConfig is %s, AutoDNS is %s",
             info.strEntryName.c_str(), info.strAuthType.c_str(), info.strVpnConfig.c_str(), info.strAutoDNS.c_str());
    RasDialState &state = RasDialState::Instance();
    if (!state.Claim()) {
        // The dial state belongs to the process: a second dial would overwrite the first one's.
        LOGWRITE(LOG_ERROR, L"Another RAS dial is in progress in this process; this connect is refused");
        return MSG_INTERNAL_ANOTHER_PROCESS;
    }
    long lResult = ConnectClaimed(info);
    state.Release();
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] Connect() return is [%ld]", lResult);
    return lResult;
}

long WinRASAdapter::ConnectClaimed(const AdapterConnectInfo &info)
{
    m_strEntryName = info.strEntryName;
    m_strConnectType = info.strConnectType;
    m_bValid = true;   // an adapter connects again after a disconnect
    m_lStatusCode = 0;
    RasDialState::Instance().Reset();
    long lResult = PrepareEntry(info);
    if (lResult == 0) lResult = StoreDialParams(info);
    if (lResult == 0 && IsVpn() && m_bUsePreSharedKey) lResult = StorePreSharedKey(info);
    if (lResult == 0 && !m_bValid) lResult = kCancelled;
    if (lResult == 0) {
        if (isVista() && SetNwCategoryWizard() != 0)
            LOGWRITE(LOG_WARN, L"Failed to suppress the confirmation screen where the connection");
        lResult = Dial(info);
    } else if (lResult != MSG_RAS_INTERNAL_AUTH_METHOD) {
        ClearDialPassword(Phonebook());
    }
    if (DeleteNwCategoryWizard() != 0)
        LOGWRITE(LOG_WARN, L"Failed to suppress the confirmation screen where the connection");
    return lResult;
}

long WinRASAdapter::SetEntry(const AdapterConnectInfo &info)
{
    LOG_SCOPE();
    m_strEntryName = info.strEntryName;
    m_strConnectType = info.strConnectType;
    long lResult = PrepareEntry(info);
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] SetEntry() return is [%ld]", lResult);
    return lResult;
}

long WinRASAdapter::PrepareEntry(const AdapterConnectInfo &info)
{
    m_strPhonebookPath.clear();
    if (IsVpn()) {
        wchar_t szAppData[MAX_PATH] = L"";
        LOGWRITE(LOG_DEBUG, L"[API Call] SHGetFolderPath(0x%02x)", CSIDL_APPDATA);
        HRESULT hr = SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, szAppData);
        LOGWRITE(LOG_DEBUG, L"[API Return] SHGetFolderPath() return 0x%08lx", static_cast<unsigned long>(hr));
        if (FAILED(hr)) {
            LOG_API_ERROR(L"SHGetFolderPath", static_cast<DWORD>(hr));
            return MSG_INTERNAL_CONNECTION;
        }
        m_strPhonebookPath = std::wstring(szAppData) + kUserPhonebookTail;
    }
    RASENTRYW entry;
    bool bNew = false;
    long lResult = ReadEntry(entry, bNew);
    if (lResult != 0) return lResult;
    FillEntry(info, entry, bNew);
    lResult = SetAuthOptions(info, entry);
    if (lResult == 0 && !IsVpn()) lResult = SelectModem(entry);
    if (lResult != 0) return lResult;
    SetDns(info, entry);
    entry.dwfOptions2 |= RASEO2_DontUseRasCredentials;
    return WriteEntry(entry);
}

long WinRASAdapter::ReadEntry(RASENTRYW &entry, bool &bNew)
{
    ZeroMemory(&entry, sizeof(entry));
    entry.dwSize = sizeof(entry);
    DWORD dwSize = sizeof(entry);
    LOGWRITE(LOG_DEBUG, L"[API Call] RasGetEntryProperties(%s, %s)", m_strPhonebookPath.c_str(), m_strEntryName.c_str());
    DWORD dwResult = RasGetEntryPropertiesW(Phonebook(), m_strEntryName.c_str(), &entry, &dwSize, nullptr, nullptr);
    LOGWRITE(LOG_DEBUG, L"[API Return] RasGetEntryProperties() return %ld", static_cast<long>(dwResult));
    bNew = dwResult == ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    if (bNew) {
        ZeroMemory(&entry, sizeof(entry));
        entry.dwSize = sizeof(entry);
        return 0;
    }
    return dwResult == ERROR_SUCCESS ? 0 : RasFailure(L"RasGetEntryProperties", dwResult);
}

void WinRASAdapter::FillEntry(const AdapterConnectInfo &info, RASENTRYW &entry, bool bNew)
{
    CopyText(entry.szLocalPhoneNumber, info.strDestination);
    // The name-server choice of an existing entry survives unless the DNS mode changes it.
    DWORD dwKeep = entry.dwfOptions & RASEO_SpecificNameServers;
    if (IsVpn()) {
        entry.dwType = RASET_Vpn;
        entry.dwRedialCount = kVpnRedialCount;
        entry.dwRedialPause = kVpnRedialPause;
        entry.dwfNetProtocols = RASNP_Ip;
        entry.dwVpnStrategy = VS_L2tpOnly;
        entry.dwEncryptionType = ET_Require;
        CopyText(entry.szDeviceType, kVpnDeviceType);
        CopyText(entry.szDeviceName, kVpnDeviceName);
        m_bUsePreSharedKey = info.strAuthType == L"0";
        if (m_bUsePreSharedKey) entry.dwfOptions2 |= RASEO2_UsePreSharedKey;
        else entry.dwfOptions2 &= ~static_cast<DWORD>(RASEO2_UsePreSharedKey);
    } else {
        entry.dwType = RASET_Phone;
        m_bUsePreSharedKey = false;
    }
    entry.dwfOptions = dwKeep | RASEO_RemoteDefaultGateway | RASEO_Custom;
    if (bNew) {
        entry.dwfOptions |= RASEO_RemoteDefaultGateway;
        entry.dwfNetProtocols = RASNP_Ip;
        entry.dwFramingProtocol = RASFP_Ppp;
    }
}

long WinRASAdapter::SetAuthOptions(const AdapterConnectInfo &info, RASENTRYW &entry)
{
    entry.dwfOptions &= ~kAuthOptionBits;
    if (info.strVpnConfig.empty()) {
        entry.dwfOptions |= IsVpn() ? (RASEO_RequireCHAP | RASEO_RequireMsCHAP2) : RASEO_RequirePAP;
        return 0;
    }
    long lRead = ConfigRead(info.strVpnConfig);
    if (lRead == MSG_RAS_INTERNAL_AUTH_METHOD) {
        LOGWRITE(LOG_ERROR, L"Failed to load authentication method");
        return lRead;
    }
    if (lRead == kNoPair) {
        entry.dwfOptions |= RASEO_RequireCHAP | RASEO_RequireMsCHAP2;
        return 0;
    }
    for (const AuthKey &key : kAuthKeys) {
        if (ConfigGet(key.pszKey) == L"1") entry.dwfOptions |= key.dwOption;
    }
    ConfigRelease();
    return 0;
}

long WinRASAdapter::SelectModem(RASENTRYW &entry)
{
    std::vector<RasDeviceRecord> vecDevices(1);
    vecDevices[0].dwSize = sizeof(RASDEVINFOW);
    DWORD dwBytes = sizeof(RASDEVINFOW), dwCount = 0;
    LOGWRITE(LOG_DEBUG, L"[API Call] RasEnumDevices(%lu)", dwBytes);
    DWORD dwResult = RasEnumDevicesW(vecDevices.data(), &dwBytes, &dwCount);
    LOGWRITE(LOG_DEBUG, L"[API Return] RasEnumDevices() return %ld", static_cast<long>(dwResult));
    if (dwResult == ERROR_BUFFER_TOO_SMALL) {
        try {
            vecDevices.assign(dwBytes / sizeof(RASDEVINFOW) + 1, RasDeviceRecord());
        } catch (const std::bad_alloc &) {
            LOGWRITE(LOG_ERROR, L"Failed to ensure the region");
            return MSG_INTERNAL_MEMORY;
        }
        vecDevices[0].dwSize = sizeof(RASDEVINFOW);
        dwBytes = static_cast<DWORD>(vecDevices.size() * sizeof(RASDEVINFOW));
        dwResult = RasEnumDevicesW(vecDevices.data(), &dwBytes, &dwCount);
        LOGWRITE(LOG_DEBUG, L"[API Return] RasEnumDevices() return %ld", static_cast<long>(dwResult));
    }
    if (dwResult != ERROR_SUCCESS) return RasFailure(L"RasEnumDevices", dwResult);
    if (dwCount == 0) {
        LOGWRITE(LOG_ERROR, L"No RAS device found");
        return MSG_CARD_NOT_FOUND;
    }
    for (DWORD i = 0; i < dwCount; ++i) {
        LOGWRITE(LOG_DEBUG, L"Device[%ld], DeviceName = %s, DeviceType = %s", static_cast<long>(i),
                 vecDevices[i].szDeviceName, vecDevices[i].szDeviceType);
    }
    for (DWORD i = 0; i < dwCount; ++i) {
        if (lstrcmpiW(vecDevices[i].szDeviceType, kModemDeviceType) != 0) continue;
        CopyText(entry.szDeviceType, vecDevices[i].szDeviceType);
        CopyText(entry.szDeviceName, vecDevices[i].szDeviceName);
        return 0;
    }
    LOGWRITE(LOG_ERROR, L"No modem found among the RAS devices");
    return MSG_RAS_NO_MODEM;
}

void WinRASAdapter::SetDns(const AdapterConnectInfo &info, RASENTRYW &entry)
{
    if (info.strAutoDNS == L"-1") return;
    if (info.strAutoDNS == L"1") {
        entry.dwfOptions |= RASEO_SpecificNameServers;
        memcpy(&entry.ipaddrDns, &info.rasDns1, sizeof(entry.ipaddrDns));
        memcpy(&entry.ipaddrDnsAlt, &info.rasDns2, sizeof(entry.ipaddrDnsAlt));
    } else {
        entry.dwfOptions &= ~static_cast<DWORD>(RASEO_SpecificNameServers);
    }
}

long WinRASAdapter::WriteEntry(RASENTRYW &entry)
{
    LOGWRITE(LOG_DEBUG, L"[API Call] RasSetEntryProperties(%s, %s, options 0x%08lx, options2 0x%08lx)",
             m_strPhonebookPath.c_str(), m_strEntryName.c_str(), entry.dwfOptions, entry.dwfOptions2);
    DWORD dwResult = RasSetEntryPropertiesW(Phonebook(), m_strEntryName.c_str(), &entry, sizeof(entry), nullptr, 0);
    LOGWRITE(LOG_DEBUG, L"[API Return] RasSetEntryProperties() return %ld", static_cast<long>(dwResult));
    return dwResult == ERROR_SUCCESS ? 0 : RasFailure(L"RasSetEntryProperties", dwResult);
}

long WinRASAdapter::StoreDialParams(const AdapterConnectInfo &info)
{
    RASDIALPARAMSW params = {};
    params.dwSize = sizeof(params);
    CopyText(params.szEntryName, m_strEntryName);
    CopyText(params.szUserName, info.strUserName);
    CopyText(params.szPassword, info.strPassword);
    if (IsVpn()) CopyText(params.szPhoneNumber, info.strDestination);   // the domain stays empty
    LOGWRITE(LOG_DEBUG, L"[API Call] RasSetEntryDialParams(%s)", m_strEntryName.c_str());
    DWORD dwResult = RasSetEntryDialParamsW(Phonebook(), &params, FALSE);
    LOGWRITE(LOG_DEBUG, L"[API Return] RasSetEntryDialParams() return %ld", static_cast<long>(dwResult));
    Wipe(params);
    return dwResult == ERROR_SUCCESS ? 0 : RasFailure(L"RasSetEntryDialParams", dwResult);
}

long WinRASAdapter::StorePreSharedKey(const AdapterConnectInfo &info)
{
    RASCREDENTIALSW creds = {};
    creds.dwSize = sizeof(creds);
    creds.dwMask = RASCM_PreSharedKey;
    CopyText(creds.szPassword, info.strPSK);   // at most PWLEN (256) characters
    LOGWRITE(LOG_DEBUG, L"[API Call] RasSetCredentials(%s, RASCM_PreSharedKey)", m_strEntryName.c_str());
    DWORD dwResult = RasSetCredentialsW(Phonebook(), m_strEntryName.c_str(), &creds, FALSE);
    LOGWRITE(LOG_DEBUG, L"[API Return] RasSetCredentials() return %ld", static_cast<long>(dwResult));
    Wipe(creds);
    return dwResult == ERROR_SUCCESS ? 0 : RasFailure(L"RasSetCredentials", dwResult);
}

long WinRASAdapter::Dial(const AdapterConnectInfo &info)
{
    RasDialState &state = RasDialState::Instance();
    DWORD dwError = 0;
    if (!state.CreateEvents(dwError)) {
        ClearDialPassword(Phonebook());
        return MSG_RAS_INTERNAL_EVENT;
    }
    // A cancel that came before the events existed found nothing to signal: it is seen here.
    if (!m_bValid) {
        state.CloseEvents();
        ClearDialPassword(Phonebook());
        return kCancelled;
    }
    RASDIALPARAMSW params = {};
    params.dwSize = sizeof(params);
    CopyText(params.szEntryName, m_strEntryName);
    CopyText(params.szUserName, info.strUserName);
    CopyText(params.szPassword, info.strPassword);
    if (IsVpn()) CopyText(params.szPhoneNumber, info.strDestination);
    HRASCONN hReturned = nullptr;
    LOGWRITE(LOG_DEBUG, L"[API Call] RasDial(%s, %s)", m_strPhonebookPath.c_str(), m_strEntryName.c_str());
    DWORD dwResult = RasDialW(nullptr, Phonebook(), &params, kRasDialFunc2Type,
                              reinterpret_cast<LPVOID>(&WinRASAdapter::RasDialFunc2), &hReturned);
    LOGWRITE(LOG_DEBUG, L"[API Return] RasDial() return %ld, handle 0x%08I64x", static_cast<long>(dwResult),
             LogHandleValue(hReturned));
    Wipe(params);
    long lResult = 0;
    if (dwResult != ERROR_SUCCESS) {
        lResult = RasFailure(L"RasDial", dwResult);
        state.SignalDial();
    } else {
        lResult = DialResult(state.WaitDial(m_dwDialLimitMs));
    }
    state.CloseEvents();
    if (lResult != 0) EndFailedDial(hReturned);
    return lResult;
}

long WinRASAdapter::DialResult(DWORD dwWait)
{
    RasDialState &state = RasDialState::Instance();
    if (dwWait == WAIT_TIMEOUT) {
        LOGWRITE(LOG_ERROR, L"RasDial did not end within %lu ms; the dial is given up", m_dwDialLimitMs);
        return MSG_RAS_TIMEOUT;
    }
    if (dwWait != WAIT_OBJECT_0) return MSG_RAS_INTERNAL_EVENT;
    if (!m_bValid) return kCancelled;
    DWORD dwError = state.Error();
    if (dwError != 0) {
        m_lStatusCode = static_cast<long>(dwError);
        return GetRasMessageId(dwError);
    }
    // Woken without an error and without the connected state: another adapter cancelled.
    return state.IsConnected() ? 0 : kCancelled;
}

void WinRASAdapter::EndFailedDial(HRASCONN hReturned)
{
    RasDialState &state = RasDialState::Instance();
    HRASCONN hReported = state.Handle();
    if (hReturned != nullptr) HangUp(hReturned);
    if (hReported != nullptr && hReported != hReturned) HangUp(hReported);
    state.SetHandle(nullptr);
    ClearDialPassword(Phonebook());
}

// ---- the dial's callback ----

DWORD WINAPI WinRASAdapter::RasDialFunc2(ULONG_PTR dwCallbackId, DWORD dwSubEntry, HRASCONN hrasconn, UINT unMsg,
                                         RASCONNSTATE rascs, DWORD dwError, DWORD dwExtendedError)
{
    RasDialState &state = RasDialState::Instance();
    LOGWRITE(LOG_DEBUG, L"RasDialFunc2 handle 0x%08I64x state %ld error %ld", LogHandleValue(hrasconn),
             static_cast<long>(rascs), static_cast<long>(dwError));
    if (hrasconn != nullptr) state.SetHandle(hrasconn);
    if (dwError != 0) {
        state.SetError(dwError);
        LOGWRITE(LOG_ERROR, L"APIError [%s] rc:[%ld] msg:[%s]", L"RasDial", static_cast<long>(dwError),
                 ExRasGetErrorString(dwError).c_str());
        state.SignalDial();
        return 0;
    }
    if ((static_cast<DWORD>(rascs) & RASCS_DONE) != 0) {
        LOGWRITE(LOG_INFO, L"RasDial Success");
        state.SetConnected();
        state.SignalDial();
        return 0;
    }
    if (state.IsDialSignalled()) {
        LOGWRITE(LOG_INFO, L"RasDial Cancel");
        state.SignalFunc();
        return 0;
    }
    return 1;
}

// ---- hang-up, cancel, disconnect, status ----

void WinRASAdapter::HangUp(HRASCONN hConn)
{
    LOGWRITE(LOG_DEBUG, L"[API Call] RasHangUp(0x%08I64x)", LogHandleValue(hConn));
    DWORD dwResult = RasHangUpW(hConn);
    LOGWRITE(LOG_DEBUG, L"[API Return] RasHangUp() return %ld", static_cast<long>(dwResult));
    if (dwResult != ERROR_SUCCESS) {
        LOGWRITE(LOG_ERROR, L"APIError [%s] rc:[%ld] msg:[%s]", L"RasHangUp", static_cast<long>(dwResult),
                 ExRasGetErrorString(dwResult).c_str());
    }
    // The connection is gone when its handle is no longer valid; watched for a bounded time.
    DWORD dwLastError = ERROR_SUCCESS;
    for (DWORD dwWaited = 0; dwWaited < HANGUP_LIMIT_MS; dwWaited += HANGUP_POLL_MS) {
        RASCONNSTATUSW status = {};
        status.dwSize = sizeof(status);
        DWORD dwStatus = RasGetConnectStatusW(hConn, &status);
        if (dwStatus == ERROR_INVALID_HANDLE) {
            if (RasDialState::Instance().Handle() == hConn) RasDialState::Instance().SetHandle(nullptr);
            return;
        }
        if (dwStatus != ERROR_SUCCESS && dwStatus != dwLastError) {
            LOGWRITE(LOG_ERROR, L"APIError [%s] rc:[%ld] msg:[%s]", L"RasGetConnectStatus", static_cast<long>(dwStatus),
                     ExRasGetErrorString(dwStatus).c_str());
        }
        dwLastError = dwStatus;
        Sleep(HANGUP_POLL_MS);
    }
    LOGWRITE(LOG_ERROR, L"Hang-up of 0x%08I64x did not complete within %lu ms; given up", LogHandleValue(hConn),
             HANGUP_LIMIT_MS);
    if (RasDialState::Instance().Handle() == hConn) RasDialState::Instance().SetHandle(nullptr);
}

void WinRASAdapter::ClearDialPassword(const wchar_t *pszPhonebook)
{
    if (m_strEntryName.empty()) return;
    RASDIALPARAMSW params = {};
    params.dwSize = sizeof(params);
    CopyText(params.szEntryName, m_strEntryName);
    LOGWRITE(LOG_DEBUG, L"[API Call] RasSetEntryDialParams(%s, remove password)", m_strEntryName.c_str());
    DWORD dwResult = RasSetEntryDialParamsW(pszPhonebook, &params, TRUE);
    LOGWRITE(LOG_DEBUG, L"[API Return] RasSetEntryDialParams() return %ld", static_cast<long>(dwResult));
    if (dwResult != ERROR_SUCCESS && dwResult != ERROR_CANNOT_FIND_PHONEBOOK_ENTRY) {
        LOGWRITE(LOG_ERROR, L"APIError [%s] rc:[%ld] msg:[%s]", L"RasSetEntryDialParams", static_cast<long>(dwResult),
                 ExRasGetErrorString(dwResult).c_str());
    }
}

long WinRASAdapter::Cancel()
{
    LOG_SCOPE();
    m_bValid = false;
    RasDialState &state = RasDialState::Instance();
    if (state.IsDialSignalled()) return 0;   // no dial waits
    HRASCONN hConn = state.Handle();
    if (hConn != nullptr) HangUp(hConn);
    state.SignalDial();
    return 0;
}

long WinRASAdapter::Disconnect()
{
    LOG_SCOPE();
    m_bValid = false;
    if (DeleteNwCategoryWizard() != 0)
        LOGWRITE(LOG_WARN, L"Failed to suppress the confirmation screen where the connection");
    RasDialState &state = RasDialState::Instance();
    HRASCONN hCurrent = state.Handle();
    if (hCurrent != nullptr) HangUp(hCurrent);
    state.SignalDial();   // a Connect that waits returns -1
    std::vector<RASCONNW> vecConns;
    long lResult = 0;
    DWORD dwResult = EnumRasConnections(vecConns);
    if (dwResult != ERROR_SUCCESS) lResult = GetRasMessageId(dwResult);
    bool bMatched = false;
    for (const RASCONNW &conn : vecConns) {
        if (m_strEntryName != conn.szEntryName) continue;
        PutLogRasConn(conn);
        bMatched = true;
        if (conn.hrasconn != hCurrent) HangUp(conn.hrasconn);   // the dial's own handle was hung up above
        if ((conn.dwFlags & RASCF_AllUsers) == 0 && m_strPhonebookPath != conn.szPhonebook)
            ClearDialPassword(conn.szPhonebook);
    }
    hCurrent = state.Handle();
    if (!bMatched && hCurrent != nullptr) HangUp(hCurrent);
    ClearDialPassword(Phonebook());
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] Disconnect() return is [%ld]", lResult);
    return lResult;
}

long WinRASAdapter::GetConnectionStatus(bool &bConnect)
{
    LOG_SCOPE();
    bConnect = false;
    std::vector<RASCONNW> vecConns;
    DWORD dwResult = EnumRasConnections(vecConns);
    if (dwResult != ERROR_SUCCESS) return GetRasMessageId(dwResult);
    for (const RASCONNW &conn : vecConns) {
        if (m_strEntryName == conn.szEntryName) bConnect = true;
    }
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] bConnect is %ld", bConnect ? 1L : 0L);
    return 0;
}

// ---- network location suppression ----

bool WinRASAdapter::isVista()
{
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW *>(&info))) {
        LOG_API_ERROR(L"GetVersionEx", GetLastError());
        return false;
    }
    return info.dwMajorVersion >= kVistaMajorVersion;
}

long WinRASAdapter::SetNwCategoryWizard()
{
    ScopedRegKey hKey;
    LONG lError = RegOpenKeyExW(HKEY_CURRENT_USER, kNwCategoryKey, 0, KEY_QUERY_VALUE, hKey.Receive());
    if (lError == ERROR_SUCCESS &&
        RegQueryValueExW(hKey.Get(), kNwCategoryValue, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
        return 0;   // the user's own choice stays
    }
    lError = RegCreateKeyExW(HKEY_CURRENT_USER, kNwCategoryKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, hKey.Receive(),
                             nullptr);
    if (lError != ERROR_SUCCESS) {
        LOG_API_ERROR(L"RegCreateKeyEx", lError);
        return MSG_RAS_INTERNAL_REGISTRY;
    }
    DWORD dwShow = 0;
    lError = RegSetValueExW(hKey.Get(), kNwCategoryValue, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&dwShow),
                            sizeof(dwShow));
    if (lError != ERROR_SUCCESS) {
        LOG_API_ERROR(L"RegSetValueEx", lError);
        return MSG_RAS_INTERNAL_REGISTRY;
    }
    m_bSetNwCategoryWizard = true;
    return 0;
}

long WinRASAdapter::DeleteNwCategoryWizard()
{
    if (!m_bSetNwCategoryWizard) return 0;
    ScopedRegKey hKey;
    LONG lError = RegOpenKeyExW(HKEY_CURRENT_USER, kNwCategoryKey, 0, KEY_SET_VALUE, hKey.Receive());
    if (lError == ERROR_SUCCESS) lError = RegDeleteValueW(hKey.Get(), kNwCategoryValue);
    if (lError != ERROR_SUCCESS && lError != ERROR_FILE_NOT_FOUND) {
        LOG_API_ERROR(L"RegDeleteValue", lError);
        return MSG_RAS_INTERNAL_REGISTRY;
    }
    m_bSetNwCategoryWizard = false;
    return 0;
}

// ---- the VPN configuration text ----

long WinRASAdapter::ConfigRead(const std::wstring &strConfig)
{
    m_mapConfig.clear();
    size_t nStart = 0;
    while (nStart <= strConfig.size()) {
        size_t nEnd = strConfig.find(L',', nStart);
        if (nEnd == std::wstring::npos) nEnd = strConfig.size();
        std::wstring strItem = strConfig.substr(nStart, nEnd - nStart);
        nStart = nEnd + 1;
        size_t nEq = strItem.find(L'=');
        if (nEq == std::wstring::npos) continue;
        std::wstring strKey = Trim(strItem.substr(0, nEq));
        if (!m_mapConfig.emplace(strKey, Trim(strItem.substr(nEq + 1))).second) {
            LOGWRITE(LOG_ERROR, L"APIError [%s] rc:[%ld] msg:[%s]", L"insert", static_cast<long>(MSG_RAS_INTERNAL_AUTH_METHOD),
                     (L"repeated key " + strKey).c_str());
            m_mapConfig.clear();
            return MSG_RAS_INTERNAL_AUTH_METHOD;
        }
    }
    return m_mapConfig.empty() ? kNoPair : 0;
}

std::wstring WinRASAdapter::ConfigGet(const std::wstring &strKey) const
{
    auto it = m_mapConfig.find(strKey);
    return it == m_mapConfig.end() ? std::wstring() : it->second;
}
