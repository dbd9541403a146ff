#include "RasConnectionTable.h"
#include "RasKeyValueFile.h"
#include "ScopedHandle.h"
#include "SimLog.h"
#include <raserror.h>
#include <algorithm>
#include <cwchar>

namespace {
const ULONGLONG kTicksPerMs = 10000ULL;
// Handles start high and step by 4 like kernel handles, so that a zeroed or small value is never one.
const ULONG_PTR kFirstHandle = 0x10000;
const ULONG_PTR kHandleStep = 4;

std::wstring HandleText(HRASCONN hConn)
{
    wchar_t szText[24];
    swprintf(szText, 24, L"%08I64x", static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(hConn)));
    return szText;
}
}  // namespace

RasConnectionTable::RasConnectionTable(const RasStore &store) : m_store(store) {}

ULONGLONG RasConnectionTable::NowMs()
{
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    return ((static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) / kTicksPerMs;
}

std::wstring RasConnectionTable::PathOf(HRASCONN hConn) const
{
    return m_store.ConnectionsFolder() + L"\\" + HandleText(hConn) + L".conn";
}

DWORD RasConnectionTable::NextHandle(HRASCONN &hConn)
{
    std::wstring strPath = m_store.ConnectionsFolder() + L"\\next.txt";
    RasRecord counter;
    DWORD dwError = RasKeyValueFile::Load(strPath, counter);
    if (dwError != ERROR_SUCCESS && dwError != ERROR_FILE_NOT_FOUND) return dwError;
    ULONG_PTR uHandle = static_cast<ULONG_PTR>(RasKeyValueFile::Number64(counter, "next", kFirstHandle));
    counter["next"] = std::to_wstring(static_cast<unsigned long long>(uHandle + kHandleStep));
    dwError = RasKeyValueFile::Save(strPath, counter);
    if (dwError != ERROR_SUCCESS) return dwError;
    hConn = reinterpret_cast<HRASCONN>(uHandle);
    return ERROR_SUCCESS;
}

DWORD RasConnectionTable::Create(RasConnection &conn)
{
    if (!m_store.EnsureConnections()) return ERROR_CANNOT_OPEN_PHONEBOOK;
    DWORD dwError = NextHandle(conn.hConn);
    if (dwError != ERROR_SUCCESS) return dwError;
    return Save(conn);
}

DWORD RasConnectionTable::Save(const RasConnection &conn)
{
    RasRecord record;
    record["handle"] = std::to_wstring(static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(conn.hConn)));
    record["entry"] = conn.strEntry;
    record["phonebook"] = conn.strPhonebook;
    record["device_type"] = conn.strDeviceType;
    record["device_name"] = conn.strDeviceName;
    record["phone_number"] = conn.strPhoneNumber;
    record["state"] = std::to_wstring(conn.dwState);
    record["error"] = std::to_wstring(conn.dwError);
    record["pid"] = std::to_wstring(conn.dwPid);
    record["connected_ms"] = std::to_wstring(conn.ullConnectedMs);
    record["drop_after_ms"] = std::to_wstring(conn.dwDropAfterMs);
    record["gone_ms"] = std::to_wstring(conn.ullGoneMs);
    record["hanging_up"] = conn.bHangingUp ? L"1" : L"0";
    record["hang_up_never"] = conn.bHangUpNever ? L"1" : L"0";
    return RasKeyValueFile::Save(PathOf(conn.hConn), record);
}

DWORD RasConnectionTable::Load(const std::wstring &strPath, RasConnection &conn)
{
    RasRecord record;
    DWORD dwError = RasKeyValueFile::Load(strPath, record);
    if (dwError != ERROR_SUCCESS) return dwError;
    conn.hConn = reinterpret_cast<HRASCONN>(static_cast<ULONG_PTR>(RasKeyValueFile::Number64(record, "handle")));
    conn.strEntry = RasKeyValueFile::Text(record, "entry");
    conn.strPhonebook = RasKeyValueFile::Text(record, "phonebook");
    conn.strDeviceType = RasKeyValueFile::Text(record, "device_type");
    conn.strDeviceName = RasKeyValueFile::Text(record, "device_name");
    conn.strPhoneNumber = RasKeyValueFile::Text(record, "phone_number");
    conn.dwState = RasKeyValueFile::Number(record, "state");
    conn.dwError = RasKeyValueFile::Number(record, "error");
    conn.dwPid = RasKeyValueFile::Number(record, "pid");
    conn.ullConnectedMs = RasKeyValueFile::Number64(record, "connected_ms");
    conn.dwDropAfterMs = RasKeyValueFile::Number(record, "drop_after_ms");
    conn.ullGoneMs = RasKeyValueFile::Number64(record, "gone_ms");
    conn.bHangingUp = RasKeyValueFile::Number(record, "hanging_up") != 0;
    conn.bHangUpNever = RasKeyValueFile::Number(record, "hang_up_never") != 0;
    return ERROR_SUCCESS;
}

bool RasConnectionTable::Exists(const std::wstring &strPath, const RasConnection &conn)
{
    if (!conn.bHangingUp || conn.bHangUpNever || NowMs() < conn.ullGoneMs) return true;
    RasKeyValueFile::Remove(strPath);   // a failure was reported; the connection is gone either way
    return false;
}

DWORD RasConnectionTable::Find(HRASCONN hConn, RasConnection &conn)
{
    std::wstring strPath = PathOf(hConn);
    if (hConn == nullptr || Load(strPath, conn) != ERROR_SUCCESS || conn.hConn != hConn) return ERROR_INVALID_HANDLE;
    return Exists(strPath, conn) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

std::vector<RasConnection> RasConnectionTable::All()
{
    std::vector<RasConnection> vecAll;
    WIN32_FIND_DATAW data;
    ScopedFindHandle hFind(FindFirstFileW((m_store.ConnectionsFolder() + L"\\*.conn").c_str(), &data));
    if (!hFind) return vecAll;   // no folder or no file: no connection
    do {
        std::wstring strPath = m_store.ConnectionsFolder() + L"\\" + data.cFileName;
        RasConnection conn;
        if (Load(strPath, conn) == ERROR_SUCCESS && Exists(strPath, conn)) vecAll.push_back(conn);
    } while (FindNextFileW(hFind.Get(), &data));
    std::sort(vecAll.begin(), vecAll.end(), [](const RasConnection &a, const RasConnection &b) {
        return reinterpret_cast<ULONG_PTR>(a.hConn) < reinterpret_cast<ULONG_PTR>(b.hConn);
    });
    return vecAll;
}

bool RasConnectionTable::IsDropped(const RasConnection &conn, ULONGLONG ullNow)
{
    return conn.dwState == RASCS_Connected && conn.dwDropAfterMs != 0 &&
           ullNow >= conn.ullConnectedMs + conn.dwDropAfterMs;
}

void RasConnectionTable::CurrentState(const RasConnection &conn, ULONGLONG ullNow, DWORD &dwState, DWORD &dwError)
{
    dwState = conn.dwState;
    dwError = conn.dwError;
    if (conn.bHangingUp) {
        dwState = RASCS_Disconnected;
        dwError = 0;
    } else if (IsDropped(conn, ullNow)) {
        dwState = RASCS_Disconnected;
        dwError = ERROR_PORT_DISCONNECTED;
    }
}
