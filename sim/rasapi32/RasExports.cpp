// The exported entry points: each hands its arguments to a RasSimulator, which decides the answer.
#include "RasSimulator.h"
#include <windows.h>
#include <ras.h>

extern "C" {

DWORD WINAPI RasDialW(LPRASDIALEXTENSIONS lpRasDialExtensions, LPCWSTR lpszPhonebook, LPRASDIALPARAMSW lpRasDialParams,
                      DWORD dwNotifierType, LPVOID lpvNotifier, LPHRASCONN lphRasConn)
{
    return RasSimulator().Dial(lpszPhonebook, lpRasDialParams, dwNotifierType, lpvNotifier, lphRasConn);
}

DWORD WINAPI RasEnumConnectionsW(LPRASCONNW lprasconn, LPDWORD lpcb, LPDWORD lpcConnections)
{
    return RasSimulator().EnumConnections(lprasconn, lpcb, lpcConnections);
}

DWORD WINAPI RasEnumDevicesW(LPRASDEVINFOW lpRasDevInfo, LPDWORD lpcb, LPDWORD lpcDevices)
{
    return RasSimulator().EnumDevices(lpRasDevInfo, lpcb, lpcDevices);
}

DWORD WINAPI RasGetConnectStatusW(HRASCONN hrasconn, LPRASCONNSTATUSW lprasconnstatus)
{
    return RasSimulator().GetConnectStatus(hrasconn, lprasconnstatus);
}

DWORD WINAPI RasHangUpW(HRASCONN hrasconn) { return RasSimulator().HangUp(hrasconn); }

DWORD WINAPI RasGetEntryPropertiesW(LPCWSTR lpszPhonebook, LPCWSTR lpszEntry, LPRASENTRYW lpRasEntry,
                                    LPDWORD lpdwEntryInfoSize, LPBYTE lpbDeviceInfo, LPDWORD lpdwDeviceInfoSize)
{
    if (lpdwDeviceInfoSize != nullptr) *lpdwDeviceInfoSize = 0;   // no TAPI device configuration
    return RasSimulator().GetEntryProperties(lpszPhonebook, lpszEntry, lpRasEntry, lpdwEntryInfoSize);
}

DWORD WINAPI RasSetEntryPropertiesW(LPCWSTR lpszPhonebook, LPCWSTR lpszEntry, LPRASENTRYW lpRasEntry,
                                    DWORD dwEntryInfoSize, LPBYTE lpbDeviceInfo, DWORD dwDeviceInfoSize)
{
    return RasSimulator().SetEntryProperties(lpszPhonebook, lpszEntry, lpRasEntry, dwEntryInfoSize);
}

DWORD WINAPI RasDeleteEntryW(LPCWSTR lpszPhonebook, LPCWSTR lpszEntry)
{
    return RasSimulator().DeleteEntry(lpszPhonebook, lpszEntry);
}

DWORD WINAPI RasGetEntryDialParamsW(LPCWSTR lpszPhonebook, LPRASDIALPARAMSW lprasdialparams, LPBOOL lpfPassword)
{
    return RasSimulator().GetEntryDialParams(lpszPhonebook, lprasdialparams, lpfPassword);
}

DWORD WINAPI RasSetEntryDialParamsW(LPCWSTR lpszPhonebook, LPRASDIALPARAMSW lprasdialparams, WINBOOL fRemovePassword)
{
    return RasSimulator().SetEntryDialParams(lpszPhonebook, lprasdialparams, fRemovePassword);
}

DWORD WINAPI RasGetCredentialsW(LPCWSTR lpszPhonebook, LPCWSTR lpszEntry, LPRASCREDENTIALSW lpCredentials)
{
    return RasSimulator().GetCredentials(lpszPhonebook, lpszEntry, lpCredentials);
}

DWORD WINAPI RasSetCredentialsW(LPCWSTR lpszPhonebook, LPCWSTR lpszEntry, LPRASCREDENTIALSW lpCredentials,
                                WINBOOL fClearCredentials)
{
    return RasSimulator().SetCredentials(lpszPhonebook, lpszEntry, lpCredentials, fClearCredentials);
}

DWORD WINAPI RasGetErrorStringW(UINT uErrorValue, LPWSTR lpszErrorString, DWORD cBufSize)
{
    return RasSimulator().GetErrorString(uErrorValue, lpszErrorString, cBufSize);
}

}  // extern "C"
