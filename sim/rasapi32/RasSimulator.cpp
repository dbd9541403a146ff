#include "RasSimulator.h"
#include "RasDialScript.h"
#include "RasDialer.h"
#include "RasEntryFields.h"
#include "RasErrorText.h"
#include "RasKeyValueFile.h"
#include "RasLock.h"
#include <raserror.h>
#include <cwchar>

namespace {
const wchar_t kEntryKind[] = L"entry";
const wchar_t kDialKind[] = L"dial";
const wchar_t kCredKind[] = L"cred";
const wchar_t kModemType[] = L"modem";
const wchar_t kVpnType[] = L"vpn";
// Where Windows keeps the system phonebook; RasEnumConnections names it for entries dialled from it.
const wchar_t kSystemPhonebook[] = L"C:\\ProgramData\\Microsoft\\Network\\Connections\\Pbk\\rasphone.pbk";
// RasGetCredentials never gives a stored password back, only this stand-in for it.
const wchar_t kPasswordHandle[] = L"****************";
enum NotifierType { kMaxFunctionNotifier = 2 };

template <size_t N> void CopyText(WCHAR (&szOut)[N], const std::wstring &str)
{
    size_t nLen = str.size() < N ? str.size() : N - 1;
    wmemcpy(szOut, str.data(), nLen);
    szOut[nLen] = L'\0';
}

template <size_t N> std::wstring TextOf(const WCHAR (&sz)[N]) { return std::wstring(sz, wcsnlen(sz, N)); }

std::wstring PathText(LPCWSTR psz) { return psz == nullptr ? std::wstring() : std::wstring(psz); }

void Wipe(std::wstring &str)
{
    if (!str.empty()) SecureZeroMemory(&str[0], str.size() * sizeof(wchar_t));
}
}  // namespace

RasSimulator::RasSimulator() : m_sizes(false), m_journal(m_store.Folder())
{
    m_scenario.Load(m_store.Folder());
    m_sizes = RasSizes(m_scenario.IsXp());
}

// ---- phonebook entries ----

bool RasSimulator::EntryExists(LPCWSTR pszPhonebook, const std::wstring &strEntry) const
{
    return GetFileAttributesW(m_store.EntryFile(pszPhonebook, strEntry, kEntryKind).c_str()) !=
           INVALID_FILE_ATTRIBUTES;
}

DWORD RasSimulator::ReadEntry(LPCWSTR pszPhonebook, const std::wstring &strEntry, RASENTRYW &entry) const
{
    RasRecord record;
    if (!RasStore::IsValidEntryName(strEntry)) return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    DWORD dwError = RasKeyValueFile::Load(m_store.EntryFile(pszPhonebook, strEntry, kEntryKind), record);
    if (dwError == ERROR_FILE_NOT_FOUND) return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    if (dwError != ERROR_SUCCESS) return ERROR_CANNOT_OPEN_PHONEBOOK;
    ZeroMemory(&entry, sizeof(entry));
    RasEntryFields::FromRecord(record, entry);
    entry.dwSize = sizeof(entry);
    return ERROR_SUCCESS;
}

DWORD RasSimulator::GetEntryProperties(LPCWSTR pszPhonebook, LPCWSTR pszEntry, LPRASENTRYW pEntry, LPDWORD pdwSize)
{
    JsonLine line = m_journal.NewRecord("RasGetEntryPropertiesW");
    std::wstring strEntry = PathText(pszEntry);
    line.Add("phonebook", PathText(pszPhonebook)).Add("entry", strEntry);
    DWORD dwResult = m_scenario.FailureOf(L"RasGetEntryProperties");
    if (dwResult == ERROR_SUCCESS && pdwSize == nullptr) dwResult = ERROR_INVALID_PARAMETER;
    if (dwResult == ERROR_SUCCESS && pEntry != nullptr && !m_sizes.Entry(pEntry->dwSize)) dwResult = ERROR_INVALID_SIZE;
    if (dwResult == ERROR_SUCCESS && (pEntry == nullptr || *pdwSize < sizeof(RASENTRYW))) {
        *pdwSize = sizeof(RASENTRYW);
        dwResult = ERROR_BUFFER_TOO_SMALL;
    }
    if (dwResult == ERROR_SUCCESS) {
        RasLock lock;
        RASENTRYW entry;
        dwResult = ReadEntry(pszPhonebook, strEntry, entry);
        if (dwResult == ERROR_SUCCESS) *pEntry = entry;
    }
    Finish(line, dwResult);
    return dwResult;
}

DWORD RasSimulator::SetEntryProperties(LPCWSTR pszPhonebook, LPCWSTR pszEntry, LPRASENTRYW pEntry, DWORD dwSize)
{
    JsonLine line = m_journal.NewRecord("RasSetEntryPropertiesW");
    std::wstring strEntry = PathText(pszEntry);
    line.Add("phonebook", PathText(pszPhonebook)).Add("entry", strEntry);
    DWORD dwResult = m_scenario.FailureOf(L"RasSetEntryProperties");
    if (dwResult == ERROR_SUCCESS && (pEntry == nullptr || !RasStore::IsValidEntryName(strEntry)))
        dwResult = ERROR_INVALID_PARAMETER;
    if (dwResult == ERROR_SUCCESS && !m_sizes.Entry(pEntry->dwSize)) dwResult = ERROR_INVALID_SIZE;
    if (dwResult == ERROR_SUCCESS && dwSize < pEntry->dwSize) dwResult = ERROR_BUFFER_INVALID;
    if (dwResult == ERROR_SUCCESS) {
        RasRecord record;
        RasEntryFields::ToRecord(*pEntry, record);
        line.Add("type", pEntry->dwType).Add("options", pEntry->dwfOptions).Add("options2", pEntry->dwfOptions2);
        line.Add("device_type", TextOf(pEntry->szDeviceType)).Add("device_name", TextOf(pEntry->szDeviceName));
        RasLock lock;
        if (!m_store.EnsurePhonebook(pszPhonebook)) dwResult = ERROR_CANNOT_OPEN_PHONEBOOK;
        else if (RasKeyValueFile::Save(m_store.EntryFile(pszPhonebook, strEntry, kEntryKind), record) != ERROR_SUCCESS)
            dwResult = ERROR_CANNOT_WRITE_PHONEBOOK;
    }
    Finish(line, dwResult);
    return dwResult;
}

DWORD RasSimulator::DeleteEntry(LPCWSTR pszPhonebook, LPCWSTR pszEntry)
{
    JsonLine line = m_journal.NewRecord("RasDeleteEntryW");
    std::wstring strEntry = PathText(pszEntry);
    line.Add("phonebook", PathText(pszPhonebook)).Add("entry", strEntry);
    DWORD dwResult = m_scenario.FailureOf(L"RasDeleteEntry");
    if (dwResult == ERROR_SUCCESS) {
        RasLock lock;
        if (!RasStore::IsValidEntryName(strEntry) || !EntryExists(pszPhonebook, strEntry)) {
            dwResult = ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
        } else {
            for (const wchar_t *pszKind : {kEntryKind, kDialKind, kCredKind})
                RasKeyValueFile::Remove(m_store.EntryFile(pszPhonebook, strEntry, pszKind));
        }
    }
    Finish(line, dwResult);
    return dwResult;
}

// ---- dial parameters and credentials ----

DWORD RasSimulator::GetEntryDialParams(LPCWSTR pszPhonebook, LPRASDIALPARAMSW pParams, LPBOOL pbPassword)
{
    JsonLine line = m_journal.NewRecord("RasGetEntryDialParamsW");
    line.Add("phonebook", PathText(pszPhonebook));
    DWORD dwResult = m_scenario.FailureOf(L"RasGetEntryDialParams");
    if (dwResult == ERROR_SUCCESS && (pParams == nullptr || pbPassword == nullptr)) dwResult = ERROR_INVALID_PARAMETER;
    if (dwResult == ERROR_SUCCESS && !m_sizes.DialParams(pParams->dwSize)) dwResult = ERROR_INVALID_SIZE;
    if (dwResult == ERROR_SUCCESS) {
        std::wstring strEntry = TextOf(pParams->szEntryName);
        line.Add("entry", strEntry);
        RasLock lock;
        RasRecord record;
        if (!RasStore::IsValidEntryName(strEntry) || !EntryExists(pszPhonebook, strEntry)) {
            dwResult = ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
        } else {
            RasKeyValueFile::Load(m_store.EntryFile(pszPhonebook, strEntry, kDialKind), record);   // none: empty
            std::wstring strPassword = RasKeyValueFile::Text(record, "password");
            CopyText(pParams->szPhoneNumber, RasKeyValueFile::Text(record, "phone_number"));
            CopyText(pParams->szCallbackNumber, RasKeyValueFile::Text(record, "callback_number"));
            CopyText(pParams->szUserName, RasKeyValueFile::Text(record, "user"));
            CopyText(pParams->szPassword, strPassword);
            CopyText(pParams->szDomain, RasKeyValueFile::Text(record, "domain"));
            *pbPassword = record.count("password") ? TRUE : FALSE;
            line.AddBool("password_saved", *pbPassword != FALSE);
            Wipe(strPassword);
            Wipe(record["password"]);
        }
    }
    Finish(line, dwResult);
    return dwResult;
}

DWORD RasSimulator::SetEntryDialParams(LPCWSTR pszPhonebook, LPRASDIALPARAMSW pParams, BOOL bRemovePassword)
{
    JsonLine line = m_journal.NewRecord("RasSetEntryDialParamsW");
    line.Add("phonebook", PathText(pszPhonebook)).AddBool("remove_password", bRemovePassword != FALSE);
    DWORD dwResult = m_scenario.FailureOf(L"RasSetEntryDialParams");
    if (dwResult == ERROR_SUCCESS && pParams == nullptr) dwResult = ERROR_INVALID_PARAMETER;
    if (dwResult == ERROR_SUCCESS && !m_sizes.DialParams(pParams->dwSize)) dwResult = ERROR_INVALID_SIZE;
    if (dwResult == ERROR_SUCCESS) {
        std::wstring strEntry = TextOf(pParams->szEntryName);
        line.Add("entry", strEntry).Add("user", TextOf(pParams->szUserName));
        line.Add("password", RasJournal::Secret(pParams->szPassword)).Add("domain", TextOf(pParams->szDomain));
        line.Add("phone_number", TextOf(pParams->szPhoneNumber));
        RasLock lock;
        if (!RasStore::IsValidEntryName(strEntry) || !EntryExists(pszPhonebook, strEntry)) {
            dwResult = ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
        } else {
            std::wstring strPath = m_store.EntryFile(pszPhonebook, strEntry, kDialKind);
            RasRecord record;
            RasKeyValueFile::Load(strPath, record);   // the password stays unless it is replaced or removed
            record["user"] = TextOf(pParams->szUserName);
            record["domain"] = TextOf(pParams->szDomain);
            record["phone_number"] = TextOf(pParams->szPhoneNumber);
            record["callback_number"] = TextOf(pParams->szCallbackNumber);
            if (bRemovePassword) record.erase("password");
            else record["password"] = TextOf(pParams->szPassword);
            if (RasKeyValueFile::Save(strPath, record) != ERROR_SUCCESS) dwResult = ERROR_CANNOT_WRITE_PHONEBOOK;
            Wipe(record["password"]);
        }
    }
    Finish(line, dwResult);
    return dwResult;
}

DWORD RasSimulator::SetCredentials(LPCWSTR pszPhonebook, LPCWSTR pszEntry, LPRASCREDENTIALSW pCredentials,
                                   BOOL bClear)
{
    JsonLine line = m_journal.NewRecord("RasSetCredentialsW");
    std::wstring strEntry = PathText(pszEntry);
    line.Add("phonebook", PathText(pszPhonebook)).Add("entry", strEntry).AddBool("clear", bClear != FALSE);
    DWORD dwResult = m_scenario.FailureOf(L"RasSetCredentials");
    if (dwResult == ERROR_SUCCESS && pCredentials == nullptr) dwResult = ERROR_INVALID_PARAMETER;
    if (dwResult == ERROR_SUCCESS && !m_sizes.Credentials(pCredentials->dwSize)) dwResult = ERROR_INVALID_SIZE;
    if (dwResult == ERROR_SUCCESS) {
        line.Add("mask", pCredentials->dwMask).Add("user", TextOf(pCredentials->szUserName));
        line.Add("password", RasJournal::Secret(pCredentials->szPassword));
        RasLock lock;
        if (!RasStore::IsValidEntryName(strEntry) || !EntryExists(pszPhonebook, strEntry)) {
            dwResult = ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
        } else {
            std::wstring strPath = m_store.EntryFile(pszPhonebook, strEntry, kCredKind);
            RasRecord record;
            RasKeyValueFile::Load(strPath, record);
            DWORD dwMask = pCredentials->dwMask;
            bool bKey = (dwMask & RASCM_PreSharedKey) != 0;
            const char *pszSecret = bKey ? "preshared_key" : "password";
            if (bClear) {
                record.erase(pszSecret);
                if (!bKey) record.erase("user");
            } else {
                record[pszSecret] = TextOf(pCredentials->szPassword);
                if (!bKey && (dwMask & RASCM_UserName)) record["user"] = TextOf(pCredentials->szUserName);
                if (!bKey && (dwMask & RASCM_Domain)) record["domain"] = TextOf(pCredentials->szDomain);
            }
            record["mask"] = std::to_wstring(RasKeyValueFile::Number(record, "mask") | dwMask);
            if (RasKeyValueFile::Save(strPath, record) != ERROR_SUCCESS) dwResult = ERROR_CANNOT_WRITE_PHONEBOOK;
            Wipe(record[pszSecret]);
        }
    }
    Finish(line, dwResult);
    return dwResult;
}

DWORD RasSimulator::GetCredentials(LPCWSTR pszPhonebook, LPCWSTR pszEntry, LPRASCREDENTIALSW pCredentials)
{
    JsonLine line = m_journal.NewRecord("RasGetCredentialsW");
    std::wstring strEntry = PathText(pszEntry);
    line.Add("phonebook", PathText(pszPhonebook)).Add("entry", strEntry);
    DWORD dwResult = m_scenario.FailureOf(L"RasGetCredentials");
    if (dwResult == ERROR_SUCCESS && pCredentials == nullptr) dwResult = ERROR_INVALID_PARAMETER;
    if (dwResult == ERROR_SUCCESS && !m_sizes.Credentials(pCredentials->dwSize)) dwResult = ERROR_INVALID_SIZE;
    if (dwResult == ERROR_SUCCESS) {
        RasLock lock;
        RasRecord record;
        if (!RasStore::IsValidEntryName(strEntry) || !EntryExists(pszPhonebook, strEntry)) {
            dwResult = ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
        } else {
            RasKeyValueFile::Load(m_store.EntryFile(pszPhonebook, strEntry, kCredKind), record);
            DWORD dwAsked = pCredentials->dwMask;
            bool bKey = (dwAsked & RASCM_PreSharedKey) != 0;
            bool bSaved = record.count(bKey ? "preshared_key" : "password") != 0;
            pCredentials->dwMask = 0;
            if (bSaved) pCredentials->dwMask |= bKey ? RASCM_PreSharedKey : RASCM_Password;
            if (!bKey) {
                pCredentials->dwMask |= RASCM_UserName | RASCM_Domain;
                CopyText(pCredentials->szUserName, RasKeyValueFile::Text(record, "user"));
                CopyText(pCredentials->szDomain, RasKeyValueFile::Text(record, "domain"));
            }
            CopyText(pCredentials->szPassword, bSaved ? kPasswordHandle : L"");
            Wipe(record["password"]);
            Wipe(record["preshared_key"]);
        }
    }
    Finish(line, dwResult);
    return dwResult;
}

// ---- devices ----

DWORD RasSimulator::EnumDevices(LPRASDEVINFOW pDevices, LPDWORD pcb, LPDWORD pcDevices)
{
    JsonLine line = m_journal.NewRecord("RasEnumDevicesW");
    std::vector<RasDevice> vecDevices = m_scenario.Devices();
    DWORD dwResult = m_scenario.FailureOf(L"RasEnumDevices");
    if (dwResult == ERROR_SUCCESS && (pcb == nullptr || pcDevices == nullptr)) dwResult = ERROR_INVALID_PARAMETER;
    if (dwResult == ERROR_SUCCESS && pDevices != nullptr && !m_sizes.DeviceInfo(pDevices->dwSize))
        dwResult = ERROR_INVALID_SIZE;
    if (dwResult == ERROR_SUCCESS) {
        line.Add("buffer", *pcb);
        DWORD dwNeeded = static_cast<DWORD>(vecDevices.size() * sizeof(RASDEVINFOW));
        *pcDevices = static_cast<DWORD>(vecDevices.size());
        if (pDevices == nullptr || *pcb < dwNeeded) {
            *pcb = dwNeeded;
            dwResult = ERROR_BUFFER_TOO_SMALL;
        } else {
            for (size_t i = 0; i < vecDevices.size(); ++i) {
                pDevices[i].dwSize = sizeof(RASDEVINFOW);
                CopyText(pDevices[i].szDeviceType, vecDevices[i].strType);
                CopyText(pDevices[i].szDeviceName, vecDevices[i].strName);
            }
            *pcb = dwNeeded;
        }
        line.Add("devices", static_cast<unsigned long>(vecDevices.size()));
    }
    Finish(line, dwResult);
    return dwResult;
}

bool RasSimulator::HasDevice(const RASENTRYW &entry) const
{
    std::wstring strType = TextOf(entry.szDeviceType);
    std::wstring strName = TextOf(entry.szDeviceName);
    for (const RasDevice &device : m_scenario.Devices()) {
        if (lstrcmpiW(device.strType.c_str(), strType.c_str()) != 0) continue;
        // A VPN entry is dialled over any VPN line; a modem entry needs its own modem.
        if (strType == kVpnType || device.strName == strName) return true;
    }
    return false;
}

// ---- dial ----

DWORD RasSimulator::CheckDial(LPCWSTR pszPhonebook, const RASDIALPARAMSW *pParams, DWORD dwNotifierType,
                              LPVOID pNotifier, const HRASCONN *phConn, RASENTRYW &entry)
{
    if (pParams == nullptr || phConn == nullptr) return ERROR_INVALID_PARAMETER;
    if (!m_sizes.DialParams(pParams->dwSize)) return ERROR_INVALID_SIZE;
    // A handle passed in resumes a paused dial; the simulator has none, so any handle is unknown.
    if (*phConn != nullptr) return ERROR_INVALID_HANDLE;
    if (pNotifier != nullptr && dwNotifierType > kMaxFunctionNotifier) return ERROR_INVALID_PARAMETER;
    std::wstring strEntry = TextOf(pParams->szEntryName);
    DWORD dwError = ReadEntry(pszPhonebook, strEntry, entry);
    if (dwError != ERROR_SUCCESS) return dwError;
    if (IsDialling(pszPhonebook, strEntry)) return ERROR_DIAL_ALREADY_IN_PROGRESS;
    return m_scenario.FailureOf(L"RasDial");
}

bool RasSimulator::IsDialling(LPCWSTR pszPhonebook, const std::wstring &strEntry)
{
    std::wstring strId = RasStore::PhonebookId(pszPhonebook);
    for (const RasConnection &conn : Listed()) {
        if (conn.strEntry == strEntry && RasStore::PhonebookId(conn.strPhonebook.c_str()) == strId) return true;
    }
    return false;
}

DWORD RasSimulator::StartDial(LPCWSTR pszPhonebook, const RASDIALPARAMSW &params, const RASENTRYW &entry,
                              DWORD dwNotifierType, LPVOID pNotifier, HRASCONN &hConn)
{
    RasConnectionTable table(m_store);
    RasConnection conn;
    conn.strEntry = TextOf(params.szEntryName);
    conn.strPhonebook = PathText(pszPhonebook);
    conn.strDeviceType = TextOf(entry.szDeviceType);
    conn.strDeviceName = TextOf(entry.szDeviceName);
    conn.strPhoneNumber = params.szPhoneNumber[0] != L'\0' ? TextOf(params.szPhoneNumber)
                                                             : TextOf(entry.szLocalPhoneNumber);
    conn.dwPid = GetCurrentProcessId();
    // A missing device and a scripted "dial_error" fail the call itself, yet leave a handle that the
    // caller must hang up, as Windows does.
    DWORD dwFailure = HasDevice(entry) ? m_scenario.Number(L"dial_error", 0) : ERROR_DEVICE_DOES_NOT_EXIST;
    conn.dwError = dwFailure;
    {
        RasLock lock;
        // Checked again under the lock: another process may have dialled the entry meanwhile.
        if (IsDialling(pszPhonebook, conn.strEntry)) return ERROR_DIAL_ALREADY_IN_PROGRESS;
        DWORD dwError = table.Create(conn);
        if (dwError != ERROR_SUCCESS) return ERROR_CANNOT_OPEN_PHONEBOOK;
    }
    hConn = conn.hConn;
    if (dwFailure != ERROR_SUCCESS) return dwFailure;
    RasDialer *pDialer = new RasDialer(conn.hConn, RasDialScript::From(m_scenario), dwNotifierType, pNotifier,
                                       params.dwCallbackId);
    if (pNotifier == nullptr) {
        DWORD dwError = pDialer->Run();
        delete pDialer;
        return dwError;
    }
    DWORD dwError = ERROR_SUCCESS;
    return RasDialer::Start(pDialer, dwError) ? ERROR_SUCCESS : dwError;
}

DWORD RasSimulator::Dial(LPCWSTR pszPhonebook, LPRASDIALPARAMSW pParams, DWORD dwNotifierType, LPVOID pNotifier,
                         LPHRASCONN phConn)
{
    JsonLine line = m_journal.NewRecord("RasDialW");
    line.Add("phonebook", PathText(pszPhonebook)).Add("notifier_type", dwNotifierType);
    line.AddBool("notifier", pNotifier != nullptr);
    if (pParams != nullptr) {
        line.Add("entry", TextOf(pParams->szEntryName)).Add("user", TextOf(pParams->szUserName));
        line.Add("password", RasJournal::Secret(pParams->szPassword)).Add("domain", TextOf(pParams->szDomain));
        line.Add("phone_number", TextOf(pParams->szPhoneNumber));
    }
    RASENTRYW entry;
    DWORD dwResult = CheckDial(pszPhonebook, pParams, dwNotifierType, pNotifier, phConn, entry);
    if (dwResult == ERROR_SUCCESS) {
        HRASCONN hConn = nullptr;
        dwResult = StartDial(pszPhonebook, *pParams, entry, dwNotifierType, pNotifier, hConn);
        *phConn = hConn;
        line.Add("handle", RasJournal::Handle(hConn));
    }
    Finish(line, dwResult);
    return dwResult;
}

// ---- connections ----

std::vector<RasConnection> RasSimulator::Listed()
{
    RasConnectionTable table(m_store);
    std::vector<RasConnection> vecListed;
    ULONGLONG ullNow = RasConnectionTable::NowMs();
    // A dropped link leaves the list; a failed dial stays until it is hung up.
    for (const RasConnection &conn : table.All()) {
        if (!RasConnectionTable::IsDropped(conn, ullNow)) vecListed.push_back(conn);
    }
    return vecListed;
}

void RasSimulator::FillConnection(const RasConnection &conn, RASCONNW &out) const
{
    DWORD dwSize = out.dwSize;
    ZeroMemory(&out, sizeof(out));
    out.dwSize = dwSize;
    out.hrasconn = conn.hConn;
    CopyText(out.szEntryName, conn.strEntry);
    CopyText(out.szDeviceType, conn.strDeviceType);
    CopyText(out.szDeviceName, conn.strDeviceName);
    CopyText(out.szPhonebook, conn.strPhonebook.empty() ? std::wstring(kSystemPhonebook) : conn.strPhonebook);
    out.dwSubEntry = 1;
    out.dwFlags = conn.strPhonebook.empty() ? RASCF_AllUsers : 0;
}

DWORD RasSimulator::EnumConnections(LPRASCONNW pConns, LPDWORD pcb, LPDWORD pcConnections)
{
    JsonLine line = m_journal.NewRecord("RasEnumConnectionsW");
    DWORD dwResult = m_scenario.FailureOf(L"RasEnumConnections");
    if (dwResult == ERROR_SUCCESS && (pcb == nullptr || pcConnections == nullptr)) dwResult = ERROR_INVALID_PARAMETER;
    if (dwResult == ERROR_SUCCESS && pConns == nullptr && *pcb != 0) dwResult = ERROR_INVALID_PARAMETER;
    if (dwResult == ERROR_SUCCESS && pConns != nullptr && !m_sizes.Connection(pConns->dwSize))
        dwResult = ERROR_INVALID_SIZE;
    if (dwResult == ERROR_SUCCESS) {
        DWORD dwSize = pConns != nullptr ? pConns->dwSize : static_cast<DWORD>(sizeof(RASCONNW));
        line.Add("size", dwSize).Add("buffer", *pcb);
        RasLock lock;
        std::vector<RasConnection> vecListed = Listed();
        DWORD dwNeeded = static_cast<DWORD>(vecListed.size()) * dwSize;
        *pcConnections = static_cast<DWORD>(vecListed.size());
        if (*pcb < dwNeeded) {
            dwResult = ERROR_BUFFER_TOO_SMALL;
        } else {
            BYTE *pOut = reinterpret_cast<BYTE *>(pConns);
            for (size_t i = 0; i < vecListed.size(); ++i) {
                RASCONNW *pConn = reinterpret_cast<RASCONNW *>(pOut + i * dwSize);
                pConn->dwSize = dwSize;
                FillConnection(vecListed[i], *pConn);
            }
        }
        *pcb = dwNeeded;
        line.Add("connections", *pcConnections);
    }
    Finish(line, dwResult);
    return dwResult;
}

DWORD RasSimulator::GetConnectStatus(HRASCONN hConn, LPRASCONNSTATUSW pStatus)
{
    JsonLine line = m_journal.NewRecord("RasGetConnectStatusW");
    line.Add("handle", RasJournal::Handle(hConn));
    DWORD dwResult = m_scenario.FailureOf(L"RasGetConnectStatus");
    if (dwResult == ERROR_SUCCESS && pStatus == nullptr) dwResult = ERROR_INVALID_PARAMETER;
    if (dwResult == ERROR_SUCCESS && !m_sizes.ConnectStatus(pStatus->dwSize)) dwResult = ERROR_INVALID_SIZE;
    if (dwResult == ERROR_SUCCESS) {
        RasLock lock;
        RasConnection conn;
        dwResult = RasConnectionTable(m_store).Find(hConn, conn);
        if (dwResult == ERROR_SUCCESS) {
            DWORD dwState = 0, dwError = 0;
            RasConnectionTable::CurrentState(conn, RasConnectionTable::NowMs(), dwState, dwError);
            pStatus->rasconnstate = static_cast<RASCONNSTATE>(dwState);
            pStatus->dwError = dwError;
            CopyText(pStatus->szDeviceType, conn.strDeviceType);
            CopyText(pStatus->szDeviceName, conn.strDeviceName);
            CopyText(pStatus->szPhoneNumber, conn.strPhoneNumber);
            line.Add("state", dwState).Add("error", dwError);
        }
    }
    Finish(line, dwResult);
    return dwResult;
}

DWORD RasSimulator::HangUp(HRASCONN hConn)
{
    JsonLine line = m_journal.NewRecord("RasHangUpW");
    line.Add("handle", RasJournal::Handle(hConn));
    DWORD dwResult = m_scenario.FailureOf(L"RasHangUp");
    if (dwResult == ERROR_SUCCESS) {
        RasLock lock;
        RasConnectionTable table(m_store);
        RasConnection conn;
        dwResult = table.Find(hConn, conn);
        RasDialScript script = RasDialScript::From(m_scenario);
        // A hang-up that was scripted never to complete completes once the script no longer says so.
        bool bLifted = conn.bHangingUp && conn.bHangUpNever && !script.bHangUpNever;
        if (dwResult == ERROR_SUCCESS && (!conn.bHangingUp || bLifted)) {
            conn.bHangingUp = true;
            conn.bHangUpNever = script.bHangUpNever;
            conn.ullGoneMs = RasConnectionTable::NowMs() + script.dwHangUpDelayMs;
            if (table.Save(conn) != ERROR_SUCCESS) dwResult = ERROR_CANNOT_WRITE_PHONEBOOK;
            line.Add("entry", conn.strEntry);
        }
    }
    Finish(line, dwResult);
    return dwResult;
}

// ---- error texts ----

DWORD RasSimulator::GetErrorString(UINT uiError, LPWSTR pszBuffer, DWORD cchBuffer)
{
    JsonLine line = m_journal.NewRecord("RasGetErrorStringW");
    line.Add("code", uiError).Add("buffer", cchBuffer);
    DWORD dwResult = m_scenario.FailureOf(L"RasGetErrorString");
    std::wstring strText;
    if (dwResult == ERROR_SUCCESS && pszBuffer == nullptr) dwResult = ERROR_INVALID_PARAMETER;
    if (dwResult == ERROR_SUCCESS && !RasErrorText::Find(uiError, strText)) dwResult = ERROR_INVALID_PARAMETER;
    if (dwResult == ERROR_SUCCESS && strText.size() + 1 > cchBuffer) dwResult = ERROR_INSUFFICIENT_BUFFER;
    if (dwResult == ERROR_SUCCESS) wmemcpy(pszBuffer, strText.c_str(), strText.size() + 1);
    Finish(line, dwResult);
    return dwResult;
}
