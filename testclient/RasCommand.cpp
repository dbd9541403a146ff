#include "RasCommand.h"
#include "ClientOptions.h"
#include "ConsoleOut.h"
#include "Log.h"
#include "TestClientApp.h"
#include "WinRASAdapter.h"
#include <cstdio>
#include <memory>

namespace {
const wchar_t kDialEntry[] = L"NolvexConnectDial";
const unsigned kAddressParts = 4;
const unsigned kMaxAddressPart = 255;
}  // namespace

RasCommand::RasCommand(const std::vector<std::wstring> &vecArgs) : m_vecArgs(vecArgs) {}

int RasCommand::Run()
{
    LOG_SCOPE();
    if (!ParseValues()) return TestClientApp::EXIT_USAGE;
    const std::wstring &strSub = m_vecArgs[0];
    if (strSub == L"entry") return RunEntry(false);
    if (strSub == L"dial") return RunEntry(true);
    if (strSub == L"status") return RunStatus();
    if (strSub == L"hangup") return RunHangUp();
    if (strSub == L"list") return RunList();
    ConsoleOut::Err(L"NolvexConnect: ras: unknown command " + strSub);
    return TestClientApp::EXIT_USAGE;
}

bool RasCommand::ParseValues()
{
    for (size_t i = 1; i < m_vecArgs.size(); ++i) {
        size_t nEq = m_vecArgs[i].find(L'=');
        if (nEq == std::wstring::npos || nEq == 0) {
            ConsoleOut::Err(L"NolvexConnect: ras: not key=value: " + m_vecArgs[i]);
            return false;
        }
        m_mapValues[m_vecArgs[i].substr(0, nEq)] = m_vecArgs[i].substr(nEq + 1);
    }
    return true;
}

std::wstring RasCommand::Value(const wchar_t *pszKey, const wchar_t *pszDefault) const
{
    auto it = m_mapValues.find(pszKey);
    return it == m_mapValues.end() ? std::wstring(pszDefault) : it->second;
}

bool RasCommand::ParseAddress(const std::wstring &strText, DWORD &dwAddress)
{
    // "a.b.c.d" into its four bytes in memory order, as the adapter copies them.
    unsigned uiParts[kAddressParts] = {};
    wchar_t chExtra = 0;
    if (swscanf(strText.c_str(), L"%u.%u.%u.%u%lc", &uiParts[0], &uiParts[1], &uiParts[2], &uiParts[3], &chExtra) !=
        static_cast<int>(kAddressParts))
        return false;
    BYTE *pBytes = reinterpret_cast<BYTE *>(&dwAddress);
    for (unsigned i = 0; i < kAddressParts; ++i) {
        if (uiParts[i] > kMaxAddressPart) return false;
        pBytes[i] = static_cast<BYTE>(uiParts[i]);
    }
    return true;
}

bool RasCommand::ToConnectInfo(AdapterConnectInfo &info)
{
    info.strConnectType = Value(L"type", L"1");
    info.strUserName = Value(L"user");
    info.strPassword = Value(L"password");
    info.strDestination = Value(L"destination");
    info.strEntryName = Value(L"entry", kDialEntry);
    info.strAuthType = Value(L"auth");
    info.strPSK = Value(L"psk");
    info.strVpnConfig = Value(L"config");
    info.strAutoDNS = Value(L"dns", L"0");
    for (auto item : {std::make_pair(L"dns1", &info.rasDns1), std::make_pair(L"dns2", &info.rasDns2)}) {
        std::wstring strAddress = Value(item.first);
        if (!strAddress.empty() && !ParseAddress(strAddress, *item.second)) {
            ConsoleOut::Err(std::wstring(L"NolvexConnect: ras: not an IPv4 address: ") + item.first + L"=" + strAddress);
            return false;
        }
    }
    return true;
}

int RasCommand::Report(const wchar_t *pszName, long lResult)
{
    ConsoleOut::Out(std::wstring(pszName) + L"=" + std::to_wstring(lResult));
    return lResult == 0 ? TestClientApp::EXIT_SENT : TestClientApp::EXIT_FAILED;
}

int RasCommand::RunEntry(bool bDial)
{
    AdapterConnectInfo info;
    if (!ToConnectInfo(info)) return TestClientApp::EXIT_USAGE;
    WinRASAdapter adapter;
    DWORD dwLimitMs = WinRASAdapter::DEFAULT_DIAL_LIMIT_MS;
    std::wstring strLimit = Value(L"limit");
    if (!strLimit.empty() && !ClientOptions::ParseNumber(strLimit, dwLimitMs)) {
        ConsoleOut::Err(L"NolvexConnect: ras: not a number: limit=" + strLimit);
        return TestClientApp::EXIT_USAGE;
    }
    adapter.SetDialLimit(dwLimitMs);
    long lResult = bDial ? adapter.Connect(info) : adapter.SetEntry(info);
    if (bDial) ConsoleOut::Out(L"status_code=" + std::to_wstring(adapter.GetStatusCode()));
    return Report(L"result", lResult);
}

int RasCommand::RunStatus()
{
    std::unique_ptr<ConnectionAdapter> adapter(GetAdapter(L"RAS", Value(L"entry", kDialEntry)));
    if (!adapter) return TestClientApp::EXIT_FAILED;
    bool bConnect = false;
    long lResult = adapter->GetConnectionStatus(bConnect);
    ConsoleOut::Out(std::wstring(L"connected=") + (bConnect ? L"1" : L"0"));
    return Report(L"result", lResult);
}

int RasCommand::RunHangUp()
{
    std::unique_ptr<ConnectionAdapter> adapter(GetAdapter(L"RAS", Value(L"entry", kDialEntry)));
    if (!adapter) return TestClientApp::EXIT_FAILED;
    return Report(L"result", adapter->Disconnect());
}

int RasCommand::RunList()
{
    std::vector<RASCONNW> vecConns;
    DWORD dwResult = ConnectionAdapter::EnumRasConnections(vecConns);
    for (const RASCONNW &conn : vecConns) {
        wchar_t szHandle[24];
        swprintf(szHandle, 24, L"0x%08I64x", LogHandleValue(conn.hrasconn));
        ConsoleOut::Out(std::wstring(L"connection entry=") + conn.szEntryName + L" handle=" + szHandle);
    }
    bool bConnect = false;
    std::wstring strEntry;
    long lError = 0;
    ConnectionAdapter::GetRasConnect(bConnect, strEntry, lError);
    ConsoleOut::Out(L"connected_entry=" + strEntry);
    return Report(L"result", dwResult == ERROR_SUCCESS ? 0 : ConnectionAdapter::GetRasMessageId(dwResult));
}
