#pragma once
// The live connections of the prefix: one file per connection, so that a connection dialled by one
// process is seen, queried and hung up by every other (the service after a client crash). Handles
// are numbers handed out from a counter file and valid in every process. Callers hold RasLock.
#include <windows.h>
#include <ras.h>
#include <string>
#include <vector>
#include "RasStore.h"

struct RasConnection {
    HRASCONN hConn = nullptr;
    std::wstring strEntry;
    std::wstring strPhonebook;    // as the dialler gave it (empty: the system phonebook)
    std::wstring strDeviceType;
    std::wstring strDeviceName;
    std::wstring strPhoneNumber;
    DWORD dwState = RASCS_OpenPort;
    DWORD dwError = 0;
    DWORD dwPid = 0;              // the dialling process
    ULONGLONG ullConnectedMs = 0; // when the state became RASCS_Connected
    DWORD dwDropAfterMs = 0;      // the link drops this long after it connected (0: never)
    ULONGLONG ullGoneMs = 0;      // a hang-up came: the connection disappears at this time
    bool bHangingUp = false;
    bool bHangUpNever = false;    // a hang-up that never completes
};

class RasConnectionTable {
public:
    explicit RasConnectionTable(const RasStore &store);

    // Milliseconds of the system clock, the same in every process.
    static ULONGLONG NowMs();

    // A new connection in RASCS_OpenPort; ERROR_SUCCESS with its handle, or the file error.
    DWORD Create(RasConnection &conn);
    // ERROR_INVALID_HANDLE for a handle that is unknown or whose hang-up has completed.
    DWORD Find(HRASCONN hConn, RasConnection &conn);
    DWORD Save(const RasConnection &conn);
    // Every connection that still exists, in handle order.
    std::vector<RasConnection> All();
    // The state and error the connection reports now (a dropped link: RASCS_Disconnected, 628).
    static void CurrentState(const RasConnection &conn, ULONGLONG ullNow, DWORD &dwState, DWORD &dwError);
    static bool IsDropped(const RasConnection &conn, ULONGLONG ullNow);

private:
    std::wstring PathOf(HRASCONN hConn) const;
    DWORD Load(const std::wstring &strPath, RasConnection &conn);
    // False (and the file removed) when the connection's hang-up has completed.
    bool Exists(const std::wstring &strPath, const RasConnection &conn);
    DWORD NextHandle(HRASCONN &hConn);

    const RasStore &m_store;
};
