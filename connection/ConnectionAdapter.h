#pragma once
// The adapter a connection class owns for the platform's connection interface, chosen by
// GetAdapter, and the RAS operations every adapter shares: error code to message id, error text,
// the live RAS connections.
#include <windows.h>
#include "RasHeaders.h"
#include <string>
#include <vector>

// What a connect needs; each adapter reads the fields of its kind.
struct AdapterConnectInfo {
    std::wstring strConnectType;        // "0" L2TP VPN, "1" dial-up
    std::wstring strUserName;           // NolvexID
    std::wstring strPassword;
    std::wstring strDestination;        // phone number or VPN server address
    std::wstring strControlURL;
    std::wstring strSecondDestination;
    std::wstring strEntryName;
    std::wstring strAuthType;           // "0": pre-shared key
    std::wstring strPSK;
    std::wstring strVpnConfig;          // "EnablePAP=1,EnableCHAP=0,..."
    std::wstring strAutoDNS;            // "-1" keep, "1" the two addresses below, other: automatic
    DWORD rasDns1 = 0;                  // IPv4 address, its four bytes in memory order
    DWORD rasDns2 = 0;
};

struct AdapterErrorInfo {
    long StatusCode = 0;
    std::wstring strAddMessage;
};

class ConnectionAdapter {
public:
    virtual ~ConnectionAdapter();
    virtual long Connect(const AdapterConnectInfo &info) = 0;
    virtual long Disconnect(const std::wstring &strText);
    virtual long Disconnect() = 0;
    virtual long Cancel() = 0;
    virtual long GetConnectionStatus(bool &bConnect) = 0;
    virtual long GetStatusCode();
    virtual void GetErrorInfo(AdapterErrorInfo &info);
    virtual void GetTrafficErrorInfo(unsigned int &uiMessageCode, std::wstring &strAddMessage);

    // Message id of a RAS (or system) error code: the fixed table, else 6273 when the system has a
    // text for the code, else 6060.
    static long GetRasMessageId(DWORD dwRasError);
    // The RAS text of a code, the system's when RAS has none.
    static std::wstring ExRasGetErrorString(DWORD dwRasError);
    // The first live RAS connection whose state is connected, with its entry name.
    static void GetRasConnect(bool &bConnect, std::wstring &strEntryName, long &lError);
    static void PutLogRasConn(const RASCONNW &conn);
    // Every live RAS connection (RasEnumConnections, the buffer grown on 603); the RAS error code.
    static DWORD EnumRasConnections(std::vector<RASCONNW> &vecConns);

protected:
    ConnectionAdapter() = default;
    long m_lStatusCode = 0;
    AdapterErrorInfo m_stErrorInfo;
    unsigned int m_uiTrafficMessageCode = 0;
    std::wstring m_strTrafficAddMessage;
};

// "RAS" builds a WinRASAdapter (a non-empty argument is its entry name); "MBB" and "WinATL" are not
// built yet and give none, as does any other type. The caller deletes the adapter.
ConnectionAdapter *GetAdapter(const std::wstring &strType, const std::wstring &strArgument);
