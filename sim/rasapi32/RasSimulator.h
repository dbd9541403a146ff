#pragma once
// The answers of the simulated Remote Access Service, one object per call: the scenario is read
// afresh, every call is journalled, and the phonebook and connection files are changed under the
// cross-process lock.
#include <windows.h>
#include <ras.h>
#include <string>
#include "RasConnectionTable.h"
#include "RasJournal.h"
#include "RasScenario.h"
#include "RasSizes.h"
#include "RasStore.h"

class RasSimulator {
public:
    RasSimulator();

    DWORD Dial(LPCWSTR pszPhonebook, LPRASDIALPARAMSW pParams, DWORD dwNotifierType, LPVOID pNotifier,
               LPHRASCONN phConn);
    DWORD EnumConnections(LPRASCONNW pConns, LPDWORD pcb, LPDWORD pcConnections);
    DWORD EnumDevices(LPRASDEVINFOW pDevices, LPDWORD pcb, LPDWORD pcDevices);
    DWORD GetConnectStatus(HRASCONN hConn, LPRASCONNSTATUSW pStatus);
    DWORD HangUp(HRASCONN hConn);
    DWORD GetEntryProperties(LPCWSTR pszPhonebook, LPCWSTR pszEntry, LPRASENTRYW pEntry, LPDWORD pdwSize);
    DWORD SetEntryProperties(LPCWSTR pszPhonebook, LPCWSTR pszEntry, LPRASENTRYW pEntry, DWORD dwSize);
    DWORD DeleteEntry(LPCWSTR pszPhonebook, LPCWSTR pszEntry);
    DWORD GetEntryDialParams(LPCWSTR pszPhonebook, LPRASDIALPARAMSW pParams, LPBOOL pbPassword);
    DWORD SetEntryDialParams(LPCWSTR pszPhonebook, LPRASDIALPARAMSW pParams, BOOL bRemovePassword);
    DWORD GetCredentials(LPCWSTR pszPhonebook, LPCWSTR pszEntry, LPRASCREDENTIALSW pCredentials);
    DWORD SetCredentials(LPCWSTR pszPhonebook, LPCWSTR pszEntry, LPRASCREDENTIALSW pCredentials, BOOL bClear);
    DWORD GetErrorString(UINT uiError, LPWSTR pszBuffer, DWORD cchBuffer);

private:
    DWORD CheckDial(LPCWSTR pszPhonebook, const RASDIALPARAMSW *pParams, DWORD dwNotifierType, LPVOID pNotifier,
                    const HRASCONN *phConn, RASENTRYW &entry);
    DWORD StartDial(LPCWSTR pszPhonebook, const RASDIALPARAMSW &params, const RASENTRYW &entry,
                    DWORD dwNotifierType, LPVOID pNotifier, HRASCONN &hConn);
    bool HasDevice(const RASENTRYW &entry) const;
    bool IsDialling(LPCWSTR pszPhonebook, const std::wstring &strEntry);
    DWORD ReadEntry(LPCWSTR pszPhonebook, const std::wstring &strEntry, RASENTRYW &entry) const;
    bool EntryExists(LPCWSTR pszPhonebook, const std::wstring &strEntry) const;
    std::vector<RasConnection> Listed();
    void FillConnection(const RasConnection &conn, RASCONNW &out) const;
    void Finish(JsonLine &line, DWORD dwResult) const { m_journal.Record(line, dwResult); }

    RasStore m_store;
    RasScenario m_scenario;
    RasSizes m_sizes;
    RasJournal m_journal;
};
