#include "ConnectionAdapter.h"
#include "Log.h"
#include "MessageIds.h"
#include "RasMessageTable.h"
#include "WinRASAdapter.h"
#include <new>

namespace {
const DWORD kErrorTextChars = 512;
const DWORD kRasConnectedState = RASCS_DONE;
}  // namespace

ConnectionAdapter::~ConnectionAdapter() {}

long ConnectionAdapter::Disconnect(const std::wstring &strText) { return 0; }

long ConnectionAdapter::GetStatusCode() { return m_lStatusCode; }

void ConnectionAdapter::GetErrorInfo(AdapterErrorInfo &info) { info = m_stErrorInfo; }

void ConnectionAdapter::GetTrafficErrorInfo(unsigned int &uiMessageCode, std::wstring &strAddMessage)
{
    uiMessageCode = m_uiTrafficMessageCode;
    strAddMessage = m_strTrafficAddMessage;
}

long ConnectionAdapter::GetRasMessageId(DWORD dwRasError)
{
    long lMessageId = RasMessageTable::Find(dwRasError);
    if (lMessageId != 0 && lMessageId != MSG_INTERNAL_CONNECTION) return lMessageId;
    // Not a known RAS code: an error the system can name is an OS error, anything else internal.
    wchar_t szText[kErrorTextChars];
    DWORD dwLen = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, dwRasError, 0,
                                 szText, kErrorTextChars, nullptr);
    return dwLen > 0 ? MSG_RAS_OS_ERROR : MSG_INTERNAL_CONNECTION;
}

std::wstring ConnectionAdapter::ExRasGetErrorString(DWORD dwRasError)
{
    wchar_t szText[kErrorTextChars] = L"";
    LOGWRITE(LOG_DEBUG, L"[API Call] RasGetErrorString(%ld)", static_cast<long>(dwRasError));
    DWORD dwResult = RasGetErrorStringW(dwRasError, szText, kErrorTextChars);
    LOGWRITE(LOG_DEBUG, L"[API Return] RasGetErrorString() return %ld", static_cast<long>(dwResult));
    if (dwResult == ERROR_SUCCESS) return szText;
    LOGWRITE(LOG_DEBUG, L"ExRasGetErrorString: Can't Get Error Message From RAS, but Find From OS Error Message.");
    return SystemErrorText(dwRasError);
}

DWORD ConnectionAdapter::EnumRasConnections(std::vector<RASCONNW> &vecConns)
{
    vecConns.assign(1, RasConnRecord());
    vecConns[0].dwSize = sizeof(RASCONNW);
    DWORD dwBytes = sizeof(RASCONNW);
    DWORD dwCount = 0;
    LOGWRITE(LOG_DEBUG, L"[API Call] RasEnumConnections(%lu)", dwBytes);
    DWORD dwResult = RasEnumConnectionsW(vecConns.data(), &dwBytes, &dwCount);
    LOGWRITE(LOG_DEBUG, L"[API Return] RasEnumConnections() return %ld", static_cast<long>(dwResult));
    if (dwResult == ERROR_BUFFER_TOO_SMALL) {
        try {
            vecConns.assign(dwBytes / sizeof(RASCONNW) + 1, RasConnRecord());
        } catch (const std::bad_alloc &) {
            LOGWRITE(LOG_ERROR, L"Failed to ensure the region");
            vecConns.clear();
            return ERROR_NOT_ENOUGH_MEMORY;
        }
        vecConns[0].dwSize = sizeof(RASCONNW);
        dwBytes = static_cast<DWORD>(vecConns.size() * sizeof(RASCONNW));
        LOGWRITE(LOG_DEBUG, L"[API Call] RasEnumConnections(%lu)", dwBytes);
        dwResult = RasEnumConnectionsW(vecConns.data(), &dwBytes, &dwCount);
        LOGWRITE(LOG_DEBUG, L"[API Return] RasEnumConnections() return %ld", static_cast<long>(dwResult));
    }
    if (dwResult != ERROR_SUCCESS) {
        LOGWRITE(LOG_ERROR, L"APIError [%s] rc:[%ld] msg:[%s]", L"RasEnumConnections", static_cast<long>(dwResult),
                 ExRasGetErrorString(dwResult).c_str());
        vecConns.clear();
        return dwResult;
    }
    vecConns.resize(dwCount);
    return ERROR_SUCCESS;
}

void ConnectionAdapter::GetRasConnect(bool &bConnect, std::wstring &strEntryName, long &lError)
{
    LOG_SCOPE();
    bConnect = false;
    strEntryName.clear();
    std::vector<RASCONNW> vecConns;
    DWORD dwResult = EnumRasConnections(vecConns);
    lError = static_cast<long>(dwResult);
    for (const RASCONNW &conn : vecConns) {
        PutLogRasConn(conn);
        RASCONNSTATUSW status = {};
        status.dwSize = sizeof(status);
        DWORD dwStatus = RasGetConnectStatusW(conn.hrasconn, &status);
        if (dwStatus != ERROR_SUCCESS) {
            LOGWRITE(LOG_ERROR, L"APIError [%s] rc:[%ld] msg:[%s]", L"RasGetConnectStatus", static_cast<long>(dwStatus),
                     ExRasGetErrorString(dwStatus).c_str());
            continue;
        }
        if (static_cast<DWORD>(status.rasconnstate) == kRasConnectedState) {
            bConnect = true;
            strEntryName = conn.szEntryName;
            break;
        }
    }
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] bConnect is %ld, strEntryName is %s, lError is %ld", bConnect ? 1L : 0L,
             strEntryName.c_str(), lError);
}

void ConnectionAdapter::PutLogRasConn(const RASCONNW &conn)
{
    LOGWRITE(LOG_DEBUG, L"hrasconn = 0x%08I64x", LogHandleValue(conn.hrasconn));
    LOGWRITE(LOG_DEBUG, L"szEntryName = %s", conn.szEntryName);
    LOGWRITE(LOG_DEBUG, L"szDeviceType = %s", conn.szDeviceType);
    LOGWRITE(LOG_DEBUG, L"szDeviceName = %s", conn.szDeviceName);
    LOGWRITE(LOG_DEBUG, L"szPhonebook = %s", conn.szPhonebook);
    LOGWRITE(LOG_DEBUG, L"dwSubEntry = %lu", conn.dwSubEntry);
    const GUID &g = conn.guidEntry;
    LOGWRITE(LOG_DEBUG, L"guidEntry = {%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
             g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    LOGWRITE(LOG_DEBUG, L"dwFlags = 0x%08lX", conn.dwFlags);
    LOGWRITE(LOG_DEBUG, L"luid = 0x%08lX%08lX", static_cast<unsigned long>(conn.luid.HighPart), conn.luid.LowPart);
}

ConnectionAdapter *GetAdapter(const std::wstring &strType, const std::wstring &strArgument)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] strType is %s, strArgument is %s", strType.c_str(), strArgument.c_str());
    ConnectionAdapter *pAdapter = nullptr;
    if (strType == L"RAS") pAdapter = new (std::nothrow) WinRASAdapter(strArgument);
    // "MBB" (mobile broadband) and "WinATL" (the hosted browser) are built by their own classes,
    // which this library does not hold yet.
    if (pAdapter == nullptr) LOGWRITE(LOG_ERROR, L"Failed to generate a ConnectionAdapter class");
    return pAdapter;
}
