// The RAS simulator as the product sees it: loaded in place of rasapi32.dll from the program folder.
#include "RasSimFolder.h"
#include "TestFiles.h"
#include <windows.h>
#include <ras.h>
#include <raserror.h>
#include <gtest/gtest.h>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {
const wchar_t kEntry[] = L"NolvexConnectDial";
const wchar_t kUserPhonebook[] = L"C:\\users\\test\\AppData\\Roaming\\Microsoft\\Network\\Connections\\Pbk\\rasphone.pbk";
const DWORD kWaitMs = 5000;
const DWORD kPollMs = 10;

struct Notice {
    DWORD dwState;
    DWORD dwError;
};

// What the RasDialFunc2 callback saw; the callback's answer comes from m_dwReturn.
struct CallbackLog {
    std::mutex lock;
    std::vector<Notice> vecNotices;
    std::atomic<DWORD> dwReturn{1};
    ULONG_PTR uCallbackId = 0;
};
CallbackLog *g_pCallbackLog = nullptr;

DWORD WINAPI DialFunc2(ULONG_PTR uCallbackId, DWORD, HRASCONN, UINT, RASCONNSTATE state, DWORD dwError, DWORD)
{
    if (g_pCallbackLog == nullptr) return 0;   // a late notice after the test ended
    std::lock_guard<std::mutex> guard(g_pCallbackLog->lock);
    g_pCallbackLog->uCallbackId = uCallbackId;
    g_pCallbackLog->vecNotices.push_back({static_cast<DWORD>(state), dwError});
    return g_pCallbackLog->dwReturn;
}
}  // namespace

class RasApiSimulator : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder.reset(new RasSimFolder());
        g_pCallbackLog = &m_callbacks;
        m_hModule = LoadLibraryW((ProgramFolder() + L"rasapi32.dll").c_str());
        ASSERT_NE(nullptr, m_hModule) << "error " << GetLastError();
        Resolve(m_pfnDial, "RasDialW");
        Resolve(m_pfnEnumConnections, "RasEnumConnectionsW");
        Resolve(m_pfnEnumDevices, "RasEnumDevicesW");
        Resolve(m_pfnStatus, "RasGetConnectStatusW");
        Resolve(m_pfnHangUp, "RasHangUpW");
        Resolve(m_pfnGetEntry, "RasGetEntryPropertiesW");
        Resolve(m_pfnSetEntry, "RasSetEntryPropertiesW");
        Resolve(m_pfnGetDialParams, "RasGetEntryDialParamsW");
        Resolve(m_pfnSetDialParams, "RasSetEntryDialParamsW");
        Resolve(m_pfnSetCredentials, "RasSetCredentialsW");
        Resolve(m_pfnGetCredentials, "RasGetCredentialsW");
        Resolve(m_pfnErrorString, "RasGetErrorStringW");
    }

    void TearDown() override
    {
        // Dial threads hold their own reference to the DLL; hang up what is left so that they end.
        for (HRASCONN hConn : Connections()) m_pfnHangUp(hConn);
        Sleep(m_dwSettleMs);
        if (m_hModule != nullptr) FreeLibrary(m_hModule);
        g_pCallbackLog = nullptr;
        m_folder.reset();
    }

    template <typename F> void Resolve(F &pfn, const char *pszName)
    {
        pfn = reinterpret_cast<F>(reinterpret_cast<void *>(GetProcAddress(m_hModule, pszName)));
        ASSERT_NE(nullptr, pfn) << pszName;
    }

    static RASENTRYW ModemEntry()
    {
        RASENTRYW entry = {};
        entry.dwSize = sizeof(entry);
        entry.dwType = RASET_Phone;
        entry.dwfOptions = RASEO_RemoteDefaultGateway | RASEO_RequirePAP | RASEO_SpecificNameServers;
        entry.dwfOptions2 = RASEO2_DontUseRasCredentials;
        entry.dwfNetProtocols = RASNP_Ip;
        entry.dwFramingProtocol = RASFP_Ppp;
        entry.ipaddrDns = {10, 1, 2, 3};
        entry.ipaddrDnsAlt = {192, 168, 0, 254};
        wcscpy(entry.szLocalPhoneNumber, L"0312345678");
        wcscpy(entry.szDeviceType, L"modem");
        wcscpy(entry.szDeviceName, L"Standard 56000 bps Modem");
        return entry;
    }

    DWORD WriteEntry(const wchar_t *pszPhonebook, const RASENTRYW &entry)
    {
        RASENTRYW copy = entry;
        return m_pfnSetEntry(pszPhonebook, kEntry, &copy, sizeof(copy), nullptr, 0);
    }

    static RASDIALPARAMSW DialParams(const wchar_t *pszPassword)
    {
        RASDIALPARAMSW params = {};
        params.dwSize = sizeof(params);
        wcscpy(params.szEntryName, kEntry);
        wcscpy(params.szUserName, L"alice");
        wcscpy(params.szPassword, pszPassword);
        params.dwCallbackId = 0x5A5A;
        return params;
    }

    DWORD Dial(HRASCONN &hConn)
    {
        RASDIALPARAMSW params = DialParams(L"secret-pw");
        hConn = nullptr;
        return m_pfnDial(nullptr, nullptr, &params, 2, reinterpret_cast<LPVOID>(&DialFunc2), &hConn);
    }

    std::vector<HRASCONN> Connections()
    {
        std::vector<RASCONNW> vecConns(1);
        vecConns[0].dwSize = sizeof(RASCONNW);
        DWORD dwBytes = sizeof(RASCONNW), dwCount = 0;
        DWORD dwError = m_pfnEnumConnections(vecConns.data(), &dwBytes, &dwCount);
        if (dwError == ERROR_BUFFER_TOO_SMALL) {
            vecConns.resize(dwCount);
            vecConns[0].dwSize = sizeof(RASCONNW);
            dwError = m_pfnEnumConnections(vecConns.data(), &dwBytes, &dwCount);
        }
        std::vector<HRASCONN> vecHandles;
        if (dwError != ERROR_SUCCESS) return vecHandles;
        for (DWORD i = 0; i < dwCount; ++i) vecHandles.push_back(vecConns[i].hrasconn);
        return vecHandles;
    }

    // The status call's result; the state and error it reported.
    DWORD Status(HRASCONN hConn, DWORD &dwState, DWORD &dwError)
    {
        RASCONNSTATUSW status = {};
        status.dwSize = sizeof(status);
        DWORD dwResult = m_pfnStatus(hConn, &status);
        dwState = status.rasconnstate;
        dwError = status.dwError;
        return dwResult;
    }

    // Waits until the status query reports the state (or the handle is gone for state ~0).
    bool WaitForState(HRASCONN hConn, DWORD dwWanted)
    {
        for (DWORD dwWaited = 0; dwWaited < kWaitMs; dwWaited += kPollMs) {
            DWORD dwState = 0, dwError = 0;
            DWORD dwResult = Status(hConn, dwState, dwError);
            if (dwWanted == kGone ? dwResult == ERROR_INVALID_HANDLE : (dwResult == 0 && dwState == dwWanted))
                return true;
            Sleep(kPollMs);
        }
        return false;
    }

    std::vector<Notice> Notices()
    {
        std::lock_guard<std::mutex> guard(m_callbacks.lock);
        return m_callbacks.vecNotices;
    }

    // The callback runs on the simulator's thread: its last notice may trail the state by a moment.
    bool WaitForLastNotice(DWORD dwWanted)
    {
        for (DWORD dwWaited = 0; dwWaited < kWaitMs; dwWaited += kPollMs) {
            std::vector<Notice> vecNotices = Notices();
            if (!vecNotices.empty() && vecNotices.back().dwState == dwWanted) return true;
            Sleep(kPollMs);
        }
        return false;
    }

    static const DWORD kGone = 0xFFFFFFFF;
    std::unique_ptr<RasSimFolder> m_folder;
    CallbackLog m_callbacks;
    HMODULE m_hModule = nullptr;
    DWORD m_dwSettleMs = 200;
    decltype(&::RasDialW) m_pfnDial = nullptr;
    decltype(&::RasEnumConnectionsW) m_pfnEnumConnections = nullptr;
    decltype(&::RasEnumDevicesW) m_pfnEnumDevices = nullptr;
    decltype(&::RasGetConnectStatusW) m_pfnStatus = nullptr;
    decltype(&::RasHangUpW) m_pfnHangUp = nullptr;
    decltype(&::RasGetEntryPropertiesW) m_pfnGetEntry = nullptr;
    decltype(&::RasSetEntryPropertiesW) m_pfnSetEntry = nullptr;
    decltype(&::RasGetEntryDialParamsW) m_pfnGetDialParams = nullptr;
    decltype(&::RasSetEntryDialParamsW) m_pfnSetDialParams = nullptr;
    decltype(&::RasSetCredentialsW) m_pfnSetCredentials = nullptr;
    decltype(&::RasGetCredentialsW) m_pfnGetCredentials = nullptr;
    decltype(&::RasGetErrorStringW) m_pfnErrorString = nullptr;
};

TEST_F(RasApiSimulator, EntryIsStoredPerPhonebookFieldByFieldAndReadBack)
{
    ASSERT_EQ(0u, WriteEntry(nullptr, ModemEntry()));
    auto record = m_folder->Record(L"system", kEntry, L"entry");
    EXPECT_EQ("1", record["dwType"]);
    EXPECT_EQ("0x00040014", record["dwfOptions"]);
    EXPECT_EQ("0x00000008", record["dwfOptions2"]);
    EXPECT_EQ("10.1.2.3", record["ipaddrDns"]);
    EXPECT_EQ("192.168.0.254", record["ipaddrDnsAlt"]);
    EXPECT_EQ("modem", record["szDeviceType"]);
    EXPECT_EQ("0312345678", record["szLocalPhoneNumber"]);
    // Another phonebook does not hold it.
    EXPECT_TRUE(m_folder->Record(RasSimFolder::PhonebookId(kUserPhonebook), kEntry, L"entry").empty());

    RASENTRYW back = {};
    back.dwSize = sizeof(back);
    DWORD dwSize = sizeof(back);
    ASSERT_EQ(0u, m_pfnGetEntry(nullptr, kEntry, &back, &dwSize, nullptr, nullptr));
    RASENTRYW expected = ModemEntry();
    EXPECT_EQ(0, memcmp(&expected, &back, sizeof(back)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY),
              m_pfnGetEntry(kUserPhonebook, kEntry, &back, &dwSize, nullptr, nullptr));
}

TEST_F(RasApiSimulator, EntryCallsCheckSizesAndGrowTheBuffer)
{
    ASSERT_EQ(0u, WriteEntry(nullptr, ModemEntry()));
    DWORD dwSize = 0;
    EXPECT_EQ(static_cast<DWORD>(ERROR_BUFFER_TOO_SMALL), m_pfnGetEntry(nullptr, kEntry, nullptr, &dwSize, nullptr, nullptr));
    EXPECT_EQ(sizeof(RASENTRYW), dwSize);

    RASENTRYW entry = ModemEntry();
    entry.dwSize = sizeof(RASENTRYW) - 4;
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_SIZE), m_pfnSetEntry(nullptr, kEntry, &entry, sizeof(entry), nullptr, 0));
    dwSize = sizeof(entry);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_SIZE), m_pfnGetEntry(nullptr, kEntry, &entry, &dwSize, nullptr, nullptr));
    entry = ModemEntry();
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), m_pfnSetEntry(nullptr, L"bad\\name", &entry, sizeof(entry), nullptr, 0));
}

TEST_F(RasApiSimulator, DialParamsHonourTheRemovePasswordFlagAndJournalNoPassword)
{
    ASSERT_EQ(0u, WriteEntry(nullptr, ModemEntry()));
    RASDIALPARAMSW params = DialParams(L"secret-pw");
    ASSERT_EQ(0u, m_pfnSetDialParams(nullptr, &params, FALSE));
    EXPECT_EQ("secret-pw", m_folder->Record(L"system", kEntry, L"dial")["password"]);

    RASDIALPARAMSW back = {};
    back.dwSize = sizeof(back);
    wcscpy(back.szEntryName, kEntry);
    BOOL bPassword = FALSE;
    ASSERT_EQ(0u, m_pfnGetDialParams(nullptr, &back, &bPassword));
    EXPECT_TRUE(bPassword);
    EXPECT_STREQ(L"alice", back.szUserName);
    EXPECT_STREQ(L"secret-pw", back.szPassword);

    RASDIALPARAMSW cleared = DialParams(L"");
    wcscpy(cleared.szUserName, L"");
    ASSERT_EQ(0u, m_pfnSetDialParams(nullptr, &cleared, TRUE));
    ASSERT_EQ(0u, m_pfnGetDialParams(nullptr, &back, &bPassword));
    EXPECT_FALSE(bPassword);
    EXPECT_STREQ(L"", back.szPassword);
    EXPECT_EQ(0u, m_folder->Record(L"system", kEntry, L"dial").count("password"));

    for (const std::string &strLine : m_folder->JournalLines()) EXPECT_EQ(std::string::npos, strLine.find("secret-pw"));
    auto vecSets = m_folder->Calls("RasSetEntryDialParamsW");
    ASSERT_EQ(2u, vecSets.size());
    EXPECT_NE(std::string::npos, vecSets[0].find("\"password\":\"set\""));
    EXPECT_NE(std::string::npos, vecSets[1].find("\"password\":\"empty\""));

    RASDIALPARAMSW missing = DialParams(L"x");
    wcscpy(missing.szEntryName, L"NoSuchEntry");
    EXPECT_EQ(static_cast<DWORD>(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY), m_pfnSetDialParams(nullptr, &missing, FALSE));
    missing.dwSize = 100;
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_SIZE), m_pfnSetDialParams(nullptr, &missing, FALSE));
}

TEST_F(RasApiSimulator, PreSharedKeyIsKeptAsTheEntrysCredentialAndNeverGivenBack)
{
    ASSERT_EQ(0u, WriteEntry(kUserPhonebook, ModemEntry()));
    RASCREDENTIALSW creds = {};
    creds.dwSize = sizeof(creds);
    creds.dwMask = RASCM_PreSharedKey;
    wcscpy(creds.szPassword, L"psk-123");
    ASSERT_EQ(0u, m_pfnSetCredentials(kUserPhonebook, kEntry, &creds, FALSE));
    auto record = m_folder->Record(RasSimFolder::PhonebookId(kUserPhonebook), kEntry, L"cred");
    EXPECT_EQ("psk-123", record["preshared_key"]);
    EXPECT_EQ("16", record["mask"]);

    RASCREDENTIALSW back = {};
    back.dwSize = sizeof(back);
    back.dwMask = RASCM_PreSharedKey;
    ASSERT_EQ(0u, m_pfnGetCredentials(kUserPhonebook, kEntry, &back));
    EXPECT_EQ(static_cast<DWORD>(RASCM_PreSharedKey), back.dwMask);
    EXPECT_STRNE(L"psk-123", back.szPassword);
    EXPECT_NE(std::string::npos, m_folder->Calls("RasSetCredentialsW")[0].find("\"password\":\"set\""));

    ASSERT_EQ(0u, m_pfnSetCredentials(kUserPhonebook, kEntry, &creds, TRUE));
    EXPECT_EQ(0u, m_folder->Record(RasSimFolder::PhonebookId(kUserPhonebook), kEntry, L"cred").count("preshared_key"));
    creds.dwSize = 12;
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_SIZE), m_pfnSetCredentials(kUserPhonebook, kEntry, &creds, FALSE));
}

TEST_F(RasApiSimulator, DevicesFollowTheScenarioWithTheGrowthProtocol)
{
    struct Case {
        const char *pszScenario;
        DWORD dwCount;
    } cases[] = {{"", 3}, {"devices=none\n", 0}, {"devices=modem\n", 1}, {"devices=vpn\n", 2}};
    for (const Case &c : cases) {
        m_folder->Scenario(c.pszScenario);
        RASDEVINFOW one = {};
        one.dwSize = sizeof(one);
        DWORD dwBytes = sizeof(one), dwCount = 0;
        DWORD dwResult = m_pfnEnumDevices(&one, &dwBytes, &dwCount);
        EXPECT_EQ(c.dwCount, dwCount) << c.pszScenario;
        EXPECT_EQ(c.dwCount * sizeof(RASDEVINFOW), dwBytes) << c.pszScenario;
        EXPECT_EQ(c.dwCount > 1 ? static_cast<DWORD>(ERROR_BUFFER_TOO_SMALL) : 0u, dwResult) << c.pszScenario;
        if (c.dwCount > 1) {
            std::vector<RASDEVINFOW> vecAll(dwCount);
            vecAll[0].dwSize = sizeof(RASDEVINFOW);
            ASSERT_EQ(0u, m_pfnEnumDevices(vecAll.data(), &dwBytes, &dwCount));
            EXPECT_STREQ(L"vpn", vecAll[dwCount - 1].szDeviceType);
        }
    }
    m_folder->Scenario("devices=modem\n");
    RASDEVINFOW one = {};
    one.dwSize = sizeof(one) + 4;
    DWORD dwBytes = sizeof(one), dwCount = 0;
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_SIZE), m_pfnEnumDevices(&one, &dwBytes, &dwCount));
}

TEST_F(RasApiSimulator, DialWalksTheStatesOnItsOwnThreadToConnected)
{
    ASSERT_EQ(0u, WriteEntry(nullptr, ModemEntry()));
    HRASCONN hConn = nullptr;
    ASSERT_EQ(0u, Dial(hConn));
    ASSERT_NE(nullptr, hConn);
    ASSERT_TRUE(WaitForState(hConn, RASCS_Connected));
    ASSERT_TRUE(WaitForLastNotice(RASCS_Connected));
    std::vector<Notice> vecNotices = Notices();
    ASSERT_FALSE(vecNotices.empty());
    EXPECT_EQ(static_cast<DWORD>(RASCS_OpenPort), vecNotices.front().dwState);
    EXPECT_EQ(static_cast<DWORD>(RASCS_Connected), vecNotices.back().dwState);
    for (const Notice &notice : vecNotices) EXPECT_EQ(0u, notice.dwError);
    EXPECT_EQ(static_cast<ULONG_PTR>(0x5A5A), m_callbacks.uCallbackId);

    std::vector<HRASCONN> vecConns = Connections();
    ASSERT_EQ(1u, vecConns.size());
    EXPECT_EQ(hConn, vecConns[0]);
    auto vecDials = m_folder->Calls("RasDialW");
    ASSERT_EQ(1u, vecDials.size());
    EXPECT_NE(std::string::npos, vecDials[0].find("\"password\":\"set\""));
    EXPECT_EQ(std::string::npos, vecDials[0].find("secret-pw"));

    // A second dial of the same entry is refused while the first one lives.
    HRASCONN hSecond = nullptr;
    EXPECT_EQ(static_cast<DWORD>(ERROR_DIAL_ALREADY_IN_PROGRESS), Dial(hSecond));
}

TEST_F(RasApiSimulator, CallbackReturningZeroStopsNotificationsButNotTheDial)
{
    ASSERT_EQ(0u, WriteEntry(nullptr, ModemEntry()));
    m_callbacks.dwReturn = 0;
    HRASCONN hConn = nullptr;
    ASSERT_EQ(0u, Dial(hConn));
    ASSERT_TRUE(WaitForState(hConn, RASCS_Connected));
    Sleep(50);
    EXPECT_EQ(1u, Notices().size());
}

TEST_F(RasApiSimulator, ScriptedFailureAtAStateIsReportedAndTheHandleStaysUntilHungUp)
{
    ASSERT_EQ(0u, WriteEntry(nullptr, ModemEntry()));
    m_folder->Scenario("dial_fail_state=5\ndial_fail_error=691\nhang_up_delay_ms=150\n");
    HRASCONN hConn = nullptr;
    ASSERT_EQ(0u, Dial(hConn));
    ASSERT_TRUE(WaitForState(hConn, RASCS_Authenticate));
    Sleep(100);
    std::vector<Notice> vecNotices = Notices();
    ASSERT_FALSE(vecNotices.empty());
    EXPECT_EQ(static_cast<DWORD>(RASCS_Authenticate), vecNotices.back().dwState);
    EXPECT_EQ(691u, vecNotices.back().dwError);
    EXPECT_EQ(1u, Connections().size());

    // The hang-up completes only after the scripted delay.
    ASSERT_EQ(0u, m_pfnHangUp(hConn));
    DWORD dwState = 0, dwError = 0;
    EXPECT_EQ(0u, Status(hConn, dwState, dwError));
    EXPECT_EQ(static_cast<DWORD>(RASCS_Disconnected), dwState);
    EXPECT_TRUE(WaitForState(hConn, kGone));
    EXPECT_TRUE(Connections().empty());
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), m_pfnHangUp(hConn));
}

TEST_F(RasApiSimulator, NeverFinishingDialAndNeverCompletingHangUp)
{
    ASSERT_EQ(0u, WriteEntry(nullptr, ModemEntry()));
    m_folder->Scenario("dial_never_finish=1\nhang_up_never=1\n");
    HRASCONN hConn = nullptr;
    ASSERT_EQ(0u, Dial(hConn));
    ASSERT_TRUE(WaitForState(hConn, RASCS_Authenticate));
    Sleep(300);
    DWORD dwState = 0, dwError = 0;
    ASSERT_EQ(0u, Status(hConn, dwState, dwError));
    EXPECT_EQ(static_cast<DWORD>(RASCS_Authenticate), dwState);
    ASSERT_EQ(0u, m_pfnHangUp(hConn));
    Sleep(300);
    EXPECT_EQ(0u, Status(hConn, dwState, dwError));
}

TEST_F(RasApiSimulator, DroppedLinkLeavesTheListAndReportsDisconnected)
{
    ASSERT_EQ(0u, WriteEntry(nullptr, ModemEntry()));
    m_folder->Scenario("drop_after_ms=200\n");
    HRASCONN hConn = nullptr;
    ASSERT_EQ(0u, Dial(hConn));
    ASSERT_TRUE(WaitForState(hConn, RASCS_Connected));
    ASSERT_TRUE(WaitForState(hConn, RASCS_Disconnected));
    DWORD dwState = 0, dwError = 0;
    ASSERT_EQ(0u, Status(hConn, dwState, dwError));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PORT_DISCONNECTED), dwError);
    EXPECT_TRUE(Connections().empty());
    EXPECT_EQ(0u, m_pfnHangUp(hConn));
}

TEST_F(RasApiSimulator, DialFailsForAMissingEntryDeviceOrBadArguments)
{
    HRASCONN hConn = nullptr;
    EXPECT_EQ(static_cast<DWORD>(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY), Dial(hConn));
    EXPECT_EQ(nullptr, hConn);

    ASSERT_EQ(0u, WriteEntry(nullptr, ModemEntry()));
    m_folder->Scenario("devices=vpn\n");
    // The call fails, yet leaves a handle the caller must hang up.
    EXPECT_EQ(static_cast<DWORD>(ERROR_DEVICE_DOES_NOT_EXIST), Dial(hConn));
    ASSERT_NE(nullptr, hConn);
    EXPECT_EQ(1u, Connections().size());
    EXPECT_EQ(0u, m_pfnHangUp(hConn));

    m_folder->Scenario("os=xp\n");
    RASDIALPARAMSW params = DialParams(L"pw");
    params.dwSize = sizeof(params) + 4;
    hConn = nullptr;
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_SIZE), m_pfnDial(nullptr, nullptr, &params, 2, reinterpret_cast<LPVOID>(&DialFunc2), &hConn));
    params.dwSize = sizeof(params);
    hConn = reinterpret_cast<HRASCONN>(static_cast<ULONG_PTR>(0x1234));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), m_pfnDial(nullptr, nullptr, &params, 2, reinterpret_cast<LPVOID>(&DialFunc2), &hConn));
}

TEST_F(RasApiSimulator, EnumerationGrowsAndRefusesSizesTheSystemDoesNotKnow)
{
    RASENTRYW entry = ModemEntry();
    ASSERT_EQ(0u, WriteEntry(nullptr, entry));
    entry.dwType = RASET_Vpn;
    wcscpy(entry.szDeviceType, L"vpn");
    ASSERT_EQ(0u, m_pfnSetEntry(kUserPhonebook, L"NolvexConnectL2TP", &entry, sizeof(entry), nullptr, 0));
    HRASCONN hFirst = nullptr, hSecond = nullptr;
    ASSERT_EQ(0u, Dial(hFirst));
    RASDIALPARAMSW params = DialParams(L"pw");
    wcscpy(params.szEntryName, L"NolvexConnectL2TP");
    ASSERT_EQ(0u, m_pfnDial(nullptr, kUserPhonebook, &params, 2, reinterpret_cast<LPVOID>(&DialFunc2), &hSecond));
    ASSERT_NE(hFirst, hSecond);

    RASCONNW one = {};
    one.dwSize = sizeof(one);
    DWORD dwBytes = sizeof(one), dwCount = 0;
    EXPECT_EQ(static_cast<DWORD>(ERROR_BUFFER_TOO_SMALL), m_pfnEnumConnections(&one, &dwBytes, &dwCount));
    EXPECT_EQ(2u, dwCount);
    EXPECT_EQ(2 * sizeof(RASCONNW), dwBytes);
    std::vector<RASCONNW> vecAll(2);
    vecAll[0].dwSize = sizeof(RASCONNW);
    ASSERT_EQ(0u, m_pfnEnumConnections(vecAll.data(), &dwBytes, &dwCount));
    EXPECT_STREQ(kEntry, vecAll[0].szEntryName);
    EXPECT_STREQ(L"NolvexConnectL2TP", vecAll[1].szEntryName);
    EXPECT_STREQ(kUserPhonebook, vecAll[1].szPhonebook);

    // Vista's larger record: accepted unless the scenario is XP.
    std::vector<BYTE> vecVista(2 * (sizeof(RASCONNW) + 32));
    DWORD dwVista = static_cast<DWORD>(((sizeof(RASCONNW) + sizeof(GUID)) + alignof(RASCONNW) - 1) /
                                       alignof(RASCONNW) * alignof(RASCONNW));
    reinterpret_cast<RASCONNW *>(vecVista.data())->dwSize = dwVista;
    dwBytes = static_cast<DWORD>(vecVista.size());
    EXPECT_EQ(0u, m_pfnEnumConnections(reinterpret_cast<RASCONNW *>(vecVista.data()), &dwBytes, &dwCount));
    m_folder->Scenario("os=xp\n");
    reinterpret_cast<RASCONNW *>(vecVista.data())->dwSize = dwVista;
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_SIZE),
              m_pfnEnumConnections(reinterpret_cast<RASCONNW *>(vecVista.data()), &dwBytes, &dwCount));
}

TEST_F(RasApiSimulator, ErrorStringsAndScriptedFailures)
{
    wchar_t szText[256];
    ASSERT_EQ(0u, m_pfnErrorString(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY, szText, 256));
    EXPECT_STREQ(L"The remote access connection entry could not be found.", szText);
    EXPECT_EQ(0u, m_pfnErrorString(850, szText, 256));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), m_pfnErrorString(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY, szText, 10));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), m_pfnErrorString(5, szText, 256));

    m_folder->Scenario("fail_RasSetEntryProperties=87\nfail_RasGetErrorString=87\n");
    EXPECT_EQ(87u, WriteEntry(nullptr, ModemEntry()));
    EXPECT_EQ(87u, m_pfnErrorString(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY, szText, 256));
    EXPECT_TRUE(m_folder->Record(L"system", kEntry, L"entry").empty());
}
