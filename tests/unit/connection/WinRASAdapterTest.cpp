// The RAS adapter against the RAS simulator: the entries it writes, the dial, its failures,
// cancel, disconnect and the bounds of its waits.
#include "RasSimFolder.h"
#include "Log.h"
#include "TraceLog.h"
#include "WinRASAdapter.h"
#include <windows.h>
#include <shlobj.h>
#include <gtest/gtest.h>
#include <chrono>
#include <future>
#include <memory>
#include <string>

namespace {
const wchar_t kDialEntry[] = L"NolvexConnectDial";
const wchar_t kVpnEntry[] = L"NolvexConnectL2TP";
const wchar_t kNwKey[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Network\\NwCategoryWizard";
const DWORD kDns1 = 0x0403020A;   // 10.2.3.4 in memory order
const DWORD kDns2 = 0x08080808;

std::wstring UserPhonebookId()
{
    wchar_t szAppData[MAX_PATH] = L"";
    SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, szAppData);
    return RasSimFolder::PhonebookId(std::wstring(szAppData) +
                                     L"\\Microsoft\\Network\\Connections\\Pbk\\rasphone.pbk");
}

AdapterConnectInfo DialUpInfo()
{
    AdapterConnectInfo info;
    info.strConnectType = L"1";
    info.strUserName = L"user01@nolvex";
    info.strPassword = L"dial-secret";
    info.strDestination = L"0570123456";
    info.strEntryName = kDialEntry;
    info.strAutoDNS = L"0";
    return info;
}

AdapterConnectInfo VpnInfo()
{
    AdapterConnectInfo info = DialUpInfo();
    info.strConnectType = L"0";
    info.strDestination = L"vpn.example.test";
    info.strEntryName = kVpnEntry;
    info.strAuthType = L"0";
    info.strPSK = L"psk-value";
    return info;
}

unsigned long Hex(const std::string &str) { return std::stoul(str, nullptr, 16); }

bool LogHas(const std::wstring &strText)
{
    TraceLog &log = TraceLog::GetInstance();
    std::string strBytes = ReadBytes(log.GetFolder() + log.GetFileName());
    std::wstring strAll(reinterpret_cast<const wchar_t *>(strBytes.data()), strBytes.size() / sizeof(wchar_t));
    return strAll.find(strText) != std::wstring::npos;
}
}  // namespace

class WinRASAdapterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TraceLog::GetInstance().SetLogLevel(1);   // debug lines too
        m_folder.reset(new RasSimFolder());
    }

    void TearDown() override
    {
        // Whatever a test left connected is hung up before its folder goes.
        WinRASAdapter(kDialEntry).Disconnect();
        WinRASAdapter(kVpnEntry).Disconnect();
        m_folder.reset();
    }

    std::map<std::string, std::string> DialEntry() { return m_folder->Record(L"system", kDialEntry, L"entry"); }
    std::map<std::string, std::string> VpnEntry() { return m_folder->Record(UserPhonebookId(), kVpnEntry, L"entry"); }

    bool Connected(const wchar_t *pszEntry)
    {
        bool bConnect = false;
        EXPECT_EQ(0, WinRASAdapter(pszEntry).GetConnectionStatus(bConnect));
        return bConnect;
    }

    bool PasswordStored(const std::wstring &strPhonebookId, const wchar_t *pszEntry)
    {
        return m_folder->Record(strPhonebookId, pszEntry, L"dial").count("password") != 0;
    }

    std::unique_ptr<RasSimFolder> m_folder;
};

TEST_F(WinRASAdapterTest, DialUpEntryHoldsTheDesignedFieldsAndConnects)
{
    WinRASAdapter adapter;
    ASSERT_EQ(0, adapter.Connect(DialUpInfo()));
    auto entry = DialEntry();
    EXPECT_EQ("1", entry["dwType"]);
    EXPECT_EQ(static_cast<unsigned long>(RASEO_RemoteDefaultGateway | RASEO_Custom | RASEO_RequirePAP),
              Hex(entry["dwfOptions"]));
    EXPECT_EQ(static_cast<unsigned long>(RASEO2_DontUseRasCredentials), Hex(entry["dwfOptions2"]));
    EXPECT_EQ("0570123456", entry["szLocalPhoneNumber"]);
    EXPECT_EQ("modem", entry["szDeviceType"]);
    EXPECT_EQ("Standard 56000 bps Modem", entry["szDeviceName"]);
    EXPECT_EQ("4", entry["dwfNetProtocols"]);
    EXPECT_EQ("1", entry["dwFramingProtocol"]);
    auto dial = m_folder->Record(L"system", kDialEntry, L"dial");
    EXPECT_EQ("user01@nolvex", dial["user"]);
    EXPECT_EQ("", dial["phone_number"]);
    EXPECT_TRUE(Connected(kDialEntry));
    for (const std::string &strLine : m_folder->JournalLines()) EXPECT_EQ(std::string::npos, strLine.find("dial-secret"));

    // Disconnect hangs up and leaves no password behind.
    EXPECT_EQ(0, adapter.Disconnect());
    EXPECT_FALSE(Connected(kDialEntry));
    EXPECT_FALSE(PasswordStored(L"system", kDialEntry));
}

TEST_F(WinRASAdapterTest, L2tpEntryWithAndWithoutThePreSharedKey)
{
    WinRASAdapter adapter;
    ASSERT_EQ(0, adapter.Connect(VpnInfo()));
    auto entry = VpnEntry();
    EXPECT_EQ("2", entry["dwType"]);
    EXPECT_EQ(static_cast<unsigned long>(RASEO_RemoteDefaultGateway | RASEO_Custom | RASEO_RequireCHAP |
                                         RASEO_RequireMsCHAP2),
              Hex(entry["dwfOptions"]));
    EXPECT_EQ(static_cast<unsigned long>(RASEO2_UsePreSharedKey | RASEO2_DontUseRasCredentials),
              Hex(entry["dwfOptions2"]));
    EXPECT_EQ("3", entry["dwVpnStrategy"]);
    EXPECT_EQ("1", entry["dwEncryptionType"]);
    EXPECT_EQ("vpn", entry["szDeviceType"]);
    EXPECT_EQ("RAS VPN Line 0", entry["szDeviceName"]);
    EXPECT_EQ("1", entry["dwRedialCount"]);
    EXPECT_EQ("1", entry["dwRedialPause"]);
    EXPECT_EQ("vpn.example.test", entry["szLocalPhoneNumber"]);
    EXPECT_EQ("psk-value", m_folder->Record(UserPhonebookId(), kVpnEntry, L"cred")["preshared_key"]);
    EXPECT_EQ("vpn.example.test", m_folder->Record(UserPhonebookId(), kVpnEntry, L"dial")["phone_number"]);
    ASSERT_EQ(0, adapter.Disconnect());
    // The key stays the entry's credential; the dial password goes.
    EXPECT_EQ("psk-value", m_folder->Record(UserPhonebookId(), kVpnEntry, L"cred")["preshared_key"]);
    EXPECT_FALSE(PasswordStored(UserPhonebookId(), kVpnEntry));

    AdapterConnectInfo info = VpnInfo();
    info.strAuthType = L"1";
    ASSERT_EQ(0, WinRASAdapter().Connect(info));
    EXPECT_EQ(static_cast<unsigned long>(RASEO2_DontUseRasCredentials), Hex(VpnEntry()["dwfOptions2"]));
}

TEST_F(WinRASAdapterTest, DnsModes)
{
    AdapterConnectInfo info = DialUpInfo();
    info.strAutoDNS = L"1";
    info.rasDns1 = kDns1;
    info.rasDns2 = kDns2;
    WinRASAdapter adapter;
    ASSERT_EQ(0, adapter.Connect(info));
    adapter.Disconnect();
    auto entry = DialEntry();
    EXPECT_NE(0u, Hex(entry["dwfOptions"]) & RASEO_SpecificNameServers);
    EXPECT_EQ("10.2.3.4", entry["ipaddrDns"]);
    EXPECT_EQ("8.8.8.8", entry["ipaddrDnsAlt"]);

    // "-1" keeps what the entry has.
    info.strAutoDNS = L"-1";
    info.rasDns1 = 0;
    ASSERT_EQ(0, adapter.Connect(info));
    adapter.Disconnect();
    entry = DialEntry();
    EXPECT_NE(0u, Hex(entry["dwfOptions"]) & RASEO_SpecificNameServers);
    EXPECT_EQ("10.2.3.4", entry["ipaddrDns"]);

    // Anything else: automatic name servers.
    info.strAutoDNS = L"0";
    ASSERT_EQ(0, adapter.Connect(info));
    EXPECT_EQ(0u, Hex(DialEntry()["dwfOptions"]) & RASEO_SpecificNameServers);
}

TEST_F(WinRASAdapterTest, AuthenticationBitsFromTheConfigurationText)
{
    struct Case {
        const wchar_t *pszConfig;
        unsigned long ulBits;
    } cases[] = {
        {L"EnablePAP = 1, EnableCHAP= 0", RASEO_RequirePAP},
        {L"EnableCHAP=1,EnableMsCHAP=1", RASEO_RequireCHAP | RASEO_RequireMsCHAP},
        {L"EnableMsCHAP2=1", RASEO_RequireMsCHAP2},
        {L"no pairs here", RASEO_RequireCHAP | RASEO_RequireMsCHAP2},
        {L"EnablePAP=0", 0},
    };
    const unsigned long ulAuthBits = RASEO_RequirePAP | RASEO_RequireCHAP | RASEO_RequireMsCHAP | RASEO_RequireMsCHAP2;
    for (const Case &c : cases) {
        AdapterConnectInfo info = VpnInfo();
        info.strVpnConfig = c.pszConfig;
        WinRASAdapter adapter;
        ASSERT_EQ(0, adapter.Connect(info));
        adapter.Disconnect();
        EXPECT_EQ(c.ulBits, Hex(VpnEntry()["dwfOptions"]) & ulAuthBits);
    }
}

TEST_F(WinRASAdapterTest, RepeatedConfigurationKeyFailsBeforeAnyEntryIsWritten)
{
    AdapterConnectInfo info = VpnInfo();
    info.strVpnConfig = L"EnablePAP=1,EnableCHAP=1, EnablePAP =0";
    EXPECT_EQ(6052, WinRASAdapter().Connect(info));
    EXPECT_TRUE(m_folder->Calls("RasSetEntryPropertiesW").empty());
    EXPECT_TRUE(m_folder->Calls("RasDialW").empty());
}

TEST_F(WinRASAdapterTest, DevicesDecideTheDialUpEntry)
{
    m_folder->Scenario("devices=none\n");
    EXPECT_EQ(8000, WinRASAdapter().Connect(DialUpInfo()));
    m_folder->Scenario("devices=vpn\n");
    EXPECT_EQ(6211, WinRASAdapter().Connect(DialUpInfo()));
    EXPECT_TRUE(m_folder->Calls("RasSetEntryPropertiesW").empty());
    // L2TP needs no modem.
    EXPECT_EQ(0, WinRASAdapter().Connect(VpnInfo()));
}

TEST_F(WinRASAdapterTest, FailureAtEachDialStateGivesItsMessageAndLeavesNothing)
{
    struct Case {
        int iState;
        DWORD dwError;
        long lMessageId;
    } cases[] = {{0, 633, 6230}, {1, 602, 6253}, {2, 678, 6250}, {3, 619, 6274}, {4, 629, 6214},
                 {5, 691, 6268}, {6, 718, 6265}, {12, 734, 6252}, {14, 720, 6244}};
    for (const Case &c : cases) {
        m_folder->Scenario("dial_fail_state=" + std::to_string(c.iState) + "\ndial_fail_error=" +
                           std::to_string(c.dwError) + "\nhang_up_delay_ms=60\n");
        WinRASAdapter adapter;
        EXPECT_EQ(c.lMessageId, adapter.Connect(DialUpInfo())) << "state " << c.iState;
        EXPECT_EQ(static_cast<long>(c.dwError), adapter.GetStatusCode());
        EXPECT_FALSE(Connected(kDialEntry)) << "state " << c.iState;
        EXPECT_FALSE(PasswordStored(L"system", kDialEntry)) << "state " << c.iState;
    }
}

TEST_F(WinRASAdapterTest, HandleThatRasDialReturnedIsHungUpWhenTheCallFails)
{
    m_folder->Scenario("dial_error=617\n");
    WinRASAdapter adapter;
    EXPECT_EQ(6230, adapter.Connect(DialUpInfo()));
    EXPECT_EQ(1u, m_folder->Calls("RasHangUpW").size());
    EXPECT_FALSE(Connected(kDialEntry));
    EXPECT_FALSE(PasswordStored(L"system", kDialEntry));
}

TEST_F(WinRASAdapterTest, CancelAndDisconnectEndAWaitingConnectWithinASecond)
{
    m_folder->Scenario("dial_never_finish=1\nhang_up_delay_ms=50\n");
    for (int iWay = 0; iWay < 2; ++iWay) {
        WinRASAdapter adapter;
        auto start = std::chrono::steady_clock::now();
        auto result = std::async(std::launch::async, [&adapter] { return adapter.Connect(DialUpInfo()); });
        Sleep(400);   // the dial is waiting in its authentication state
        std::chrono::steady_clock::time_point asked = std::chrono::steady_clock::now();
        if (iWay == 0) adapter.Cancel();
        else adapter.Disconnect();
        ASSERT_EQ(std::future_status::ready, result.wait_for(std::chrono::seconds(5)));
        EXPECT_EQ(-1, result.get());
        EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(1)) << "way " << iWay;
        EXPECT_FALSE(Connected(kDialEntry));
        EXPECT_FALSE(PasswordStored(L"system", kDialEntry));
        (void)start;
    }
}

TEST_F(WinRASAdapterTest, DialThatNeverFinishesEndsAtTheLimitAndASecondConnectIsRefused)
{
    m_folder->Scenario("dial_never_finish=1\nhang_up_delay_ms=50\n");
    WinRASAdapter adapter;
    adapter.SetDialLimit(1500);
    auto result = std::async(std::launch::async, [&adapter] { return adapter.Connect(DialUpInfo()); });
    Sleep(300);
    size_t nDialsBefore = m_folder->Calls("RasDialW").size();
    WinRASAdapter second;
    EXPECT_EQ(6010, second.Connect(VpnInfo()));
    EXPECT_EQ(nDialsBefore, m_folder->Calls("RasDialW").size());
    EXPECT_TRUE(VpnEntry().empty());
    ASSERT_EQ(std::future_status::ready, result.wait_for(std::chrono::seconds(10)));
    EXPECT_EQ(6265, result.get());
    EXPECT_FALSE(Connected(kDialEntry));
    EXPECT_FALSE(PasswordStored(L"system", kDialEntry));
}

TEST_F(WinRASAdapterTest, HangUpThatNeverCompletesIsGivenUpAfterTheBound)
{
    WinRASAdapter adapter;
    ASSERT_EQ(0, adapter.Connect(DialUpInfo()));
    m_folder->Scenario("hang_up_never=1\n");
    auto start = std::chrono::steady_clock::now();
    adapter.Disconnect();
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(WinRASAdapter::HANGUP_LIMIT_MS));
    EXPECT_LT(elapsed, std::chrono::milliseconds(WinRASAdapter::HANGUP_LIMIT_MS * 2));
    EXPECT_TRUE(LogHas(L"did not complete within 10000 ms; given up"));
    // Once the system completes hang-ups again, the connection can be ended.
    m_folder->Scenario("hang_up_delay_ms=0\n");
    EXPECT_EQ(0, WinRASAdapter(kDialEntry).Disconnect());
    EXPECT_FALSE(Connected(kDialEntry));
}

TEST_F(WinRASAdapterTest, StatusAndDisconnectWorkForAnEntryNamedWithoutAConnect)
{
    ASSERT_EQ(0, WinRASAdapter().Connect(DialUpInfo()));
    std::unique_ptr<ConnectionAdapter> other(GetAdapter(L"RAS", kDialEntry));
    ASSERT_NE(nullptr, other);
    bool bConnect = false;
    EXPECT_EQ(0, other->GetConnectionStatus(bConnect));
    EXPECT_TRUE(bConnect);
    EXPECT_EQ(0, other->Disconnect());
    EXPECT_FALSE(Connected(kDialEntry));
    EXPECT_FALSE(PasswordStored(L"system", kDialEntry));
    EXPECT_EQ(nullptr, GetAdapter(L"MBB", L""));
    EXPECT_EQ(nullptr, GetAdapter(L"WinATL", L""));
    EXPECT_EQ(nullptr, GetAdapter(L"Other", L""));
}

TEST_F(WinRASAdapterTest, NetworkLocationValueBelongsToTheAdapterThatWroteIt)
{
    RegDeleteKeyW(HKEY_CURRENT_USER, kNwKey);
    {
        WinRASAdapter adapter;
        ASSERT_EQ(0, adapter.SetNwCategoryWizard());
        DWORD dwShow = 1, dwSize = sizeof(dwShow);
        ASSERT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, kNwKey, L"Show", RRF_RT_REG_DWORD, nullptr, &dwShow, &dwSize));
        EXPECT_EQ(0u, dwShow);
        // Another adapter did not write it and leaves it.
        EXPECT_EQ(0, WinRASAdapter().DeleteNwCategoryWizard());
        EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, kNwKey, L"Show", RRF_RT_REG_DWORD, nullptr, &dwShow, &dwSize));
        EXPECT_EQ(0, adapter.DeleteNwCategoryWizard());
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegGetValueW(HKEY_CURRENT_USER, kNwKey, L"Show", RRF_RT_REG_DWORD, nullptr, &dwShow, &dwSize));
    }
    // A value the user had stays as it was.
    HKEY hKey = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kNwKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &hKey, nullptr));
    DWORD dwUser = 1;
    RegSetValueExW(hKey, L"Show", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&dwUser), sizeof(dwUser));
    RegCloseKey(hKey);
    {
        WinRASAdapter adapter;
        EXPECT_EQ(0, adapter.SetNwCategoryWizard());
        EXPECT_EQ(0, adapter.DeleteNwCategoryWizard());
    }
    DWORD dwShow = 0, dwSize = sizeof(dwShow);
    ASSERT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, kNwKey, L"Show", RRF_RT_REG_DWORD, nullptr, &dwShow, &dwSize));
    EXPECT_EQ(1u, dwShow);
    RegDeleteKeyW(HKEY_CURRENT_USER, kNwKey);
}

TEST_F(WinRASAdapterTest, ErrorTextComesFromRasOrElseFromTheSystem)
{
    EXPECT_EQ(L"The remote access connection entry could not be found.",
              ConnectionAdapter::ExRasGetErrorString(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY));
    m_folder->Scenario("fail_RasGetErrorString=87\n");
    std::wstring strText = ConnectionAdapter::ExRasGetErrorString(ERROR_ACCESS_DENIED);
    EXPECT_FALSE(strText.empty());
    EXPECT_EQ(strText, SystemErrorText(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(LogHas(L"Can't Get Error Message From RAS, but Find From OS Error Message."));
}

TEST_F(WinRASAdapterTest, GetRasConnectReportsOnlyAConnectedEntry)
{
    m_folder->Scenario("dial_never_finish=1\nhang_up_delay_ms=0\n");
    WinRASAdapter dialling;
    dialling.SetDialLimit(300);
    EXPECT_EQ(6265, dialling.Connect(DialUpInfo()));
    bool bConnect = true;
    std::wstring strEntry = L"x";
    long lError = -1;
    ConnectionAdapter::GetRasConnect(bConnect, strEntry, lError);
    EXPECT_FALSE(bConnect);
    EXPECT_EQ(L"", strEntry);

    m_folder->Scenario("");
    ASSERT_EQ(0, WinRASAdapter().Connect(VpnInfo()));
    ConnectionAdapter::GetRasConnect(bConnect, strEntry, lError);
    EXPECT_TRUE(bConnect);
    EXPECT_EQ(kVpnEntry, strEntry);
    EXPECT_EQ(0, lError);
}

TEST_F(WinRASAdapterTest, WindowsXpAcceptsTheRecordsTheAdapterPasses)
{
    m_folder->Scenario("os=xp\n");
    WinRASAdapter adapter;
    ASSERT_EQ(0, adapter.Connect(DialUpInfo()));
    EXPECT_TRUE(Connected(kDialEntry));
    EXPECT_EQ(0, adapter.Disconnect());
    EXPECT_FALSE(Connected(kDialEntry));
}
