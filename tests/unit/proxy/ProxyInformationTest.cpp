// The live settings through WinINet (the wininet simulator under Wine keeps them in the registry
// layout Windows uses): apply and query for the LAN default and for an entry, the flags, the
// three notifications, the auto detect bit of the registry value, the setters, the file list.
#include "FileIO.h"
#include "ProxyInformation.h"
#include "ProxyTestHelp.h"
#include "TestFiles.h"
#include "TraceLog.h"
#include <gtest/gtest.h>
#include <userenv.h>
#include <wininet.h>

namespace {
const wchar_t kEntry[] = L"NcProxyTestEntry";

class ProxyInformationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TraceLog::GetInstance().SetLogLevel(1);
        m_vecSavedDefault = ConnectionBlob(ProxyInformation::DEFAULT_CONNECTION_VALUE);
        m_sim.reset(new WinInetSimFolder());
    }
    void TearDown() override
    {
        DeleteConnectionBlob(kEntry);
        if (m_vecSavedDefault.empty())
            DeleteConnectionBlob(ProxyInformation::DEFAULT_CONNECTION_VALUE);
        else
            WriteConnectionBlob(ProxyInformation::DEFAULT_CONNECTION_VALUE, m_vecSavedDefault);
        m_sim.reset();
    }

    static void FillSwitched(ProxyInformation &info)
    {
        info.SetAutoDetect(true);
        info.SetAutoProxy(true);
        info.SetAutoConfigURL(L"http://pac.example.test/p.pac");
        info.SetDirect(false);
        info.SetProxyAddress(L"proxy.example.test", L"8080");
        info.SetProxyBypass(L"*.corp.test", true);
    }

    std::vector<BYTE> m_vecSavedDefault;
    std::unique_ptr<WinInetSimFolder> m_sim;
    TestFolder m_folder;
};
}  // namespace

TEST_F(ProxyInformationTest, ApplyAndQueryRoundTripForTheLanDefault)
{
    ProxyInformation info(L"user");
    FillSwitched(info);
    ASSERT_TRUE(info.ApplyProxySetting(L""));

    DWORD dwFlags = 0;
    std::string strServer, strBypass, strScript;
    ASSERT_TRUE(ParseBlob(ConnectionBlob(L"DefaultConnectionSettings"), dwFlags, strServer, strBypass, strScript));
    EXPECT_EQ(static_cast<DWORD>(PROXY_TYPE_DIRECT | PROXY_TYPE_PROXY | PROXY_TYPE_AUTO_PROXY_URL |
                                 PROXY_TYPE_AUTO_DETECT),
              dwFlags);
    EXPECT_EQ("proxy.example.test:8080", strServer);
    EXPECT_EQ("*.corp.test;<local>", strBypass);
    EXPECT_EQ("http://pac.example.test/p.pac", strScript);

    ProxyInformation read(L"user");
    ASSERT_TRUE(read.GetProxySetting(L""));
    EXPECT_TRUE(read.IsAutoDetect());
    EXPECT_TRUE(read.IsAutoProxy());
    EXPECT_FALSE(read.IsDirect());
    EXPECT_EQ(L"proxy.example.test:8080", read.GetProxyAddress());
    EXPECT_EQ(L"*.corp.test;<local>", read.GetProxyBypass());
    EXPECT_EQ(L"http://pac.example.test/p.pac", read.GetAutoConfigURL());
}

TEST_F(ProxyInformationTest, AnEntryKeepsItsOwnSettings)
{
    ProxyInformation lan(L"user");
    lan.SetProxyAddress(L"lan", L"1");
    lan.SetDirect(false);
    ASSERT_TRUE(lan.ApplyProxySetting(L""));
    ProxyInformation entry(L"user");
    FillSwitched(entry);
    entry.SetAutoDetect(false);
    ASSERT_TRUE(entry.ApplyProxySetting(kEntry));
    EXPECT_EQ(kEntry, entry.GetConnectionName());

    DWORD dwFlags = 0;
    std::string strServer, strBypass, strScript;
    ASSERT_TRUE(ParseBlob(ConnectionBlob(kEntry), dwFlags, strServer, strBypass, strScript));
    EXPECT_EQ(static_cast<DWORD>(PROXY_TYPE_DIRECT | PROXY_TYPE_PROXY | PROXY_TYPE_AUTO_PROXY_URL), dwFlags);
    EXPECT_EQ("proxy.example.test:8080", strServer);

    ProxyInformation readEntry(L"user"), readLan(L"user");
    ASSERT_TRUE(readEntry.GetProxySetting(kEntry));
    ASSERT_TRUE(readLan.GetProxySetting(L""));
    EXPECT_EQ(L"proxy.example.test:8080", readEntry.GetProxyAddress());
    EXPECT_FALSE(readEntry.IsAutoDetect());
    EXPECT_EQ(L"lan:1", readLan.GetProxyAddress());
    EXPECT_EQ(L"", readLan.GetProxyBypass());
}

TEST_F(ProxyInformationTest, AllFlagsOffWithEmptyTextsApplyFlagsThree)
{
    ASSERT_TRUE(WriteBytes(m_folder / L"off.txt",
                           Utf16("ProxyTypeAutoDetect = off\r\nAutoProxy = off\r\nAutoConfigURL = \r\n"
                                 "ProxyTypeDirect = off\r\nProxyAddress = \r\nProxyBypass = \r\n")));
    ProxyInformation info(L"user");
    ASSERT_TRUE(info.ReadSetting(m_folder / L"off.txt", L""));
    EXPECT_EQ(static_cast<DWORD>(PROXY_TYPE_DIRECT | PROXY_TYPE_PROXY), info.ComposeFlags());
    ASSERT_TRUE(info.ApplyProxySetting(kEntry));
    DWORD dwFlags = 0;
    std::string strServer = "x", strBypass = "x", strScript = "x";
    ASSERT_TRUE(ParseBlob(ConnectionBlob(kEntry), dwFlags, strServer, strBypass, strScript));
    EXPECT_EQ(3u, dwFlags);
    EXPECT_EQ("", strServer);
    EXPECT_EQ("", strBypass);
    EXPECT_EQ("", strScript);
}

TEST_F(ProxyInformationTest, ApplyNotifiesInTheDesignedOrder)
{
    ProxyInformation info(L"user");
    ASSERT_TRUE(info.ApplyProxySetting(L""));
    std::vector<std::string> vecJournal = m_sim->Journal();
    ASSERT_EQ(4u, vecJournal.size());
    EXPECT_NE(std::string::npos, vecJournal[0].find("\"option\":75"));
    EXPECT_NE(std::string::npos, vecJournal[1].find("\"option\":95"));
    EXPECT_NE(std::string::npos, vecJournal[2].find("\"option\":39"));
    EXPECT_NE(std::string::npos, vecJournal[3].find("\"option\":37"));
}

TEST_F(ProxyInformationTest, FirstFailingCallEndsTheApply)
{
    ASSERT_TRUE(m_sim->SetScenario("fail_option=39\n"));
    ProxyInformation info(L"user");
    EXPECT_FALSE(info.ApplyProxySetting(L""));
    std::vector<std::string> vecJournal = m_sim->Journal();
    ASSERT_EQ(3u, vecJournal.size());   // 75, 95, then the failing 39; no refresh after it
    EXPECT_NE(std::string::npos, vecJournal[2].find("\"option\":39"));
    EXPECT_TRUE(LogHas(L"APIError [ApplyProxySetting] rc:[12004]"));

    ASSERT_TRUE(m_sim->SetScenario("fail_option=75\n"));
    EXPECT_FALSE(info.GetProxySetting(L""));
    EXPECT_TRUE(LogHas(L"InternetQueryOption failed! ,12004"));
}

TEST_F(ProxyInformationTest, AutoDetectComesFromTheRegistryValueOfAnyLength)
{
    ProxyInformation info(L"user");
    ASSERT_TRUE(WriteConnectionBlob(kEntry, MakeBlob(PROXY_TYPE_DIRECT | PROXY_TYPE_AUTO_DETECT, "", "", "")));
    EXPECT_TRUE(info.IsProxyAutoDetect(kEntry));
    ASSERT_TRUE(WriteConnectionBlob(kEntry, MakeBlob(PROXY_TYPE_DIRECT | PROXY_TYPE_PROXY, "p:1", "", "")));
    EXPECT_FALSE(info.IsProxyAutoDetect(kEntry));
    // A bypass list longer than a fixed 1000-byte buffer still gives the right answer.
    std::string strLong(3000, 'b');
    ASSERT_TRUE(WriteConnectionBlob(kEntry, MakeBlob(PROXY_TYPE_PROXY | PROXY_TYPE_AUTO_DETECT, "p:1", strLong, "")));
    EXPECT_TRUE(info.IsProxyAutoDetect(kEntry));
    ASSERT_TRUE(info.GetProxySetting(kEntry));
    EXPECT_TRUE(info.IsAutoDetect());
    EXPECT_EQ(3000u, info.GetProxyBypass().size());

    ASSERT_TRUE(WriteConnectionBlob(L"DefaultConnectionSettings", MakeBlob(PROXY_TYPE_AUTO_DETECT, "", "", "")));
    EXPECT_TRUE(info.IsProxyAutoDetect(L""));
    ASSERT_TRUE(WriteConnectionBlob(kEntry, {1, 2, 3}));   // too short for the flags word
    EXPECT_FALSE(info.IsProxyAutoDetect(kEntry));
}

TEST_F(ProxyInformationTest, MissingRegistryValueIsNoAutoDetectWithoutAnError)
{
    ProxyInformation info(L"user");
    DeleteConnectionBlob(kEntry);
    TraceLog &log = TraceLog::GetInstance();
    std::wstring strLog = log.GetFolder() + log.GetFileName();
    size_t nBefore = ReadBytes(strLog).size();
    EXPECT_FALSE(info.IsProxyAutoDetect(kEntry));
    std::string strNew = ReadBytes(strLog).substr(nBefore);
    std::wstring strLines(reinterpret_cast<const wchar_t *>(strNew.data()), strNew.size() / sizeof(wchar_t));
    EXPECT_EQ(std::wstring::npos, strLines.find(L"APIError"));
}

TEST_F(ProxyInformationTest, SettersComposeAddressAndBypass)
{
    ProxyInformation info(L"user");
    info.SetProxyAddress(L"host", L"");
    EXPECT_EQ(L"host", info.GetProxyAddress());
    info.SetProxyAddress(L"host", L"3128");
    EXPECT_EQ(L"host:3128", info.GetProxyAddress());
    info.SetProxyBypass(L"", true);
    EXPECT_EQ(L"<local>", info.GetProxyBypass());
    info.SetProxyBypass(L"a;b", true);
    EXPECT_EQ(L"a;b;<local>", info.GetProxyBypass());
    info.SetProxyBypass(L"a", false);
    EXPECT_EQ(L"a", info.GetProxyBypass());
}

TEST_F(ProxyInformationTest, SavedLiveValuesRestoreTheSameSettings)
{
    ProxyInformation live(L"user");
    FillSwitched(live);
    ASSERT_TRUE(live.ApplyProxySetting(kEntry));
    ProxyInformation save(L"user");
    ASSERT_TRUE(save.GetProxySetting(kEntry));
    ASSERT_TRUE(save.WriteSetting(m_folder / L"ProxySetting_user_e.txt", L""));
    ProxyInformation other(L"user");
    ASSERT_TRUE(other.ApplyProxySetting(kEntry));   // direct, nothing set
    ProxyInformation restore(L"user");
    ASSERT_TRUE(restore.ReadSetting(m_folder / L"ProxySetting_user_e.txt", L""));
    ASSERT_TRUE(restore.ApplyProxySetting(kEntry));
    ProxyInformation check(L"user");
    ASSERT_TRUE(check.GetProxySetting(kEntry));
    EXPECT_EQ(L"proxy.example.test:8080", check.GetProxyAddress());
    EXPECT_EQ(L"*.corp.test;<local>", check.GetProxyBypass());
    EXPECT_TRUE(check.IsAutoProxy());
    EXPECT_TRUE(check.IsAutoDetect());
    EXPECT_FALSE(check.IsDirect());
}

TEST_F(ProxyInformationTest, FileListFindsSavedFilesInEveryProfile)
{
    wchar_t szRoot[MAX_PATH];
    DWORD dwChars = MAX_PATH;
    ASSERT_TRUE(GetProfilesDirectoryW(szRoot, &dwChars));
    std::wstring strProfile = std::wstring(szRoot) + L"\\nc-proxy-list-test";
    std::wstring strFolder = strProfile + L"\\AppData\\Roaming\\NolvexConnect\\";
    FileIO clFile;
    ASSERT_EQ(0u, clFile.MakeFolder(strFolder));
    ASSERT_TRUE(WriteBytes(strFolder + L"ProxySetting_listed_Entry.txt", "x"));
    ASSERT_TRUE(WriteBytes(strFolder + L"Other.txt", "x"));
    ProxyInformation info(L"user");
    std::vector<std::wstring> vecList;
    int iCount = info.GetProxySettingFileList(L"ProxySetting_*.txt", vecList);
    EXPECT_EQ(static_cast<int>(vecList.size()), iCount);
    int iListed = 0;
    for (const std::wstring &strPath : vecList) {
        if (strPath.find(L"nc-proxy-list-test") != std::wstring::npos) {
            ++iListed;
            EXPECT_EQ(strFolder + L"ProxySetting_listed_Entry.txt", strPath);
        }
    }
    EXPECT_EQ(1, iListed);
    RemoveTree(strProfile);
}
