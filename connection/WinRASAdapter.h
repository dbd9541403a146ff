#pragma once
// The RAS adapter: writes the phonebook entry of a dial-up or L2TP connection, stores its dial
// parameters (and the L2TP pre-shared key), dials it and watches the dial through RasDialFunc2,
// cancels, hangs up and reports status. One dial at a time per process (RasDialState).
#include "ConnectionAdapter.h"
#include <atomic>
#include <map>
#include <string>

class WinRASAdapter : public ConnectionAdapter {
public:
    // How long Connect waits for the dial to connect or fail before it gives up (MSG_RAS_TIMEOUT).
    static const DWORD DEFAULT_DIAL_LIMIT_MS = 120000;
    // A hang-up is watched every HANGUP_POLL_MS for at most HANGUP_LIMIT_MS.
    static const DWORD HANGUP_POLL_MS = 50;
    static const DWORD HANGUP_LIMIT_MS = 10000;

    explicit WinRASAdapter(const std::wstring &strEntryName = std::wstring());
    ~WinRASAdapter() override;

    long Connect(const AdapterConnectInfo &info) override;
    using ConnectionAdapter::Disconnect;
    long Disconnect() override;
    long Cancel() override;
    long GetConnectionStatus(bool &bConnect) override;
    void SetTrafficErrorInfo(unsigned int uiMessageCode, const std::wstring &strAddMessage);
    void SetDialLimit(DWORD dwLimitMs) { m_dwDialLimitMs = dwLimitMs; }
    // Writes the phonebook entry as Connect would, without dial parameters or a dial.
    long SetEntry(const AdapterConnectInfo &info);

    static bool isVista();
    long SetNwCategoryWizard();
    long DeleteNwCategoryWizard();

    // 0 parsed, 1 no key/value pair, MSG_RAS_INTERNAL_AUTH_METHOD (6052) for a repeated key.
    long ConfigRead(const std::wstring &strConfig);
    std::wstring ConfigGet(const std::wstring &strKey) const;
    void ConfigRelease() { m_mapConfig.clear(); }

    static DWORD WINAPI RasDialFunc2(ULONG_PTR dwCallbackId, DWORD dwSubEntry, HRASCONN hrasconn, UINT unMsg,
                                     RASCONNSTATE rascs, DWORD dwError, DWORD dwExtendedError);

private:
    long ConnectClaimed(const AdapterConnectInfo &info);
    long PrepareEntry(const AdapterConnectInfo &info);
    long ReadEntry(RASENTRYW &entry, bool &bNew);
    void FillEntry(const AdapterConnectInfo &info, RASENTRYW &entry, bool bNew);
    long SetAuthOptions(const AdapterConnectInfo &info, RASENTRYW &entry);
    long SelectModem(RASENTRYW &entry);
    static void SetDns(const AdapterConnectInfo &info, RASENTRYW &entry);
    long WriteEntry(RASENTRYW &entry);
    long StoreDialParams(const AdapterConnectInfo &info);
    long StorePreSharedKey(const AdapterConnectInfo &info);
    long Dial(const AdapterConnectInfo &info);
    long DialResult(DWORD dwWait);
    void EndFailedDial(HRASCONN hReturned);
    void HangUp(HRASCONN hConn);
    void ClearDialPassword(const wchar_t *pszPhonebook);
    long RasFailure(const wchar_t *pszApi, DWORD dwResult);
    const wchar_t *Phonebook() const { return m_strPhonebookPath.empty() ? nullptr : m_strPhonebookPath.c_str(); }
    bool IsVpn() const { return m_strConnectType == L"0"; }

    std::wstring m_strEntryName;
    std::wstring m_strPhonebookPath;
    std::wstring m_strConnectType;
    bool m_bUsePreSharedKey = false;
    std::atomic<bool> m_bValid{true};
    bool m_bSetNwCategoryWizard = false;
    DWORD m_dwDialLimitMs = DEFAULT_DIAL_LIMIT_MS;
    std::map<std::wstring, std::wstring> m_mapConfig;
};
