#include "ProfileTestHelp.h"
#include "FileIO.h"
#include "TestFiles.h"
#include <gtest/gtest.h>

class TerminalProfileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_strSample = SampleProfileText();
        ASSERT_FALSE(m_strSample.empty()) << "the sample profile is missing beside the test program";
        m_strPath = m_folder / TerminalProfile::FILE_NAME;
    }
    bool LoadText(TerminalProfile &profile, const std::wstring &strText)
    {
        EXPECT_TRUE(WriteProfile(m_strPath, strText));
        return profile.ProfileLoad(m_strPath);
    }

    TestFolder m_folder;
    std::wstring m_strSample;
    std::wstring m_strPath;
};

TEST_F(TerminalProfileTest, SampleLoadsWithEveryCommonValue)
{
    TerminalProfile profile(ProfileSeams(m_folder.Path()));
    ASSERT_TRUE(LoadText(profile, m_strSample));
    const wchar_t *apszExpected[TerminalProfile::COMMON_VALUE_COUNT] = {
        L"T20261208-0042", L"c0nnect-Pw", L"https://regist.corp.example/regist/", L"https://paslogi.example/rand",
        L"https://paslogi.example/cert", L"10.0.0.53", L"10.0.1.53", L"0", L"1", L"http://wpad.corp.example/proxy.pac",
        L"1", L"proxy.corp.example", L"8080", L"1", L"*.corp.example;10.*", L"2027/03/31", L"14", L"shared-Key-77",
        L"2027/01/31", L"1", L"1", L"C:\\Program Files\\Corp\\tool.exe"};
    for (int i = 0; i < TerminalProfile::COMMON_VALUE_COUNT; ++i)
        EXPECT_EQ(apszExpected[i], profile.GetCommon(static_cast<TerminalProfile::CommonValue>(i)))
            << TerminalProfile::COMMON_NAMES[i];
    EXPECT_EQ(L"T20261208-0042", profile.GetAuthTerminalID());
    EXPECT_EQ(L"1207", profile.GetUpdateModuleNumber());
    EXPECT_EQ(L"1", profile.GetUpdateExecFlag());
    EXPECT_EQ(L"0", profile.GetNoticeCategory());
    EXPECT_EQ(L"0000", profile.GetNoticeInfoCode());
}

TEST_F(TerminalProfileTest, ThreeConnectionsGiveIndicesZeroToTwoAndEmptyValuesBeyond)
{
    TerminalProfile profile(ProfileSeams(m_folder.Path()));
    ASSERT_TRUE(LoadText(profile, m_strSample));
    ASSERT_EQ(3, profile.GetConnectionCount());
    const wchar_t *apszSecond[TerminalProfile::CONNECTION_VALUE_COUNT] = {
        L"2", L"1", L"2", L"1", L"VPN (L2TP)", L"VPN\x63a5\x7d9a", L"vpn.corp.example", L"", L"2", L"@vpn",
        L"psk-L2TP-9", L"0", L"0", L"1", L"gw.corp.example", L"120"};
    for (int i = 0; i < TerminalProfile::CONNECTION_VALUE_COUNT; ++i)
        EXPECT_EQ(apszSecond[i], profile.GetConnection(1, static_cast<TerminalProfile::ConnectionValue>(i)))
            << TerminalProfile::CONNECTION_NAMES[i];
    EXPECT_EQ(L"1", profile.GetRemoteConnectType(0));
    EXPECT_EQ(L"0311112222", profile.GetDialNumber(0));
    EXPECT_EQ(L"4", profile.GetRemoteConnectType(2));
    EXPECT_EQ(L"30", profile.GetPollingInterval(2));
    for (int i = 0; i < TerminalProfile::CONNECTION_VALUE_COUNT; ++i) {
        EXPECT_EQ(L"", profile.GetConnection(3, static_cast<TerminalProfile::ConnectionValue>(i)));
        EXPECT_EQ(L"", profile.GetConnection(-1, static_cast<TerminalProfile::ConnectionValue>(i)));
    }
}

TEST_F(TerminalProfileTest, DisplayNamesInBothLanguagesEndAtTheirOwnClosingTag)
{
    TerminalProfile profile(ProfileSeams(m_folder.Path()));
    ASSERT_TRUE(LoadText(profile, m_strSample));
    EXPECT_EQ(L"Dial-up", profile.GetNameEN(0));
    EXPECT_EQ(L"\x30c0\x30a4\x30e4\x30eb\x30a2\x30c3\x30d7", profile.GetNameJA(0));
    EXPECT_EQ(L"SSL-VPN", profile.GetNameEN(2));
    EXPECT_EQ(L"SSL-VPN\x63a5\x7d9a", profile.GetNameJA(2));
}

TEST_F(TerminalProfileTest, MissingSectionsOtherThanCommonLeaveTheirValuesEmpty)
{
    TerminalProfile profile(ProfileSeams(m_folder.Path()));
    std::wstring strText = WithoutElement(WithoutElement(m_strSample, L"Notice"), L"UpdateModuleInformation");
    ASSERT_TRUE(LoadText(profile, strText));
    EXPECT_EQ(L"", profile.GetNoticeCategory());
    EXPECT_EQ(L"", profile.GetNoticeInfoCode());
    EXPECT_EQ(L"", profile.GetUpdateModuleNumber());
    EXPECT_EQ(L"c0nnect-Pw", profile.GetConnectPassword());
    EXPECT_EQ(3, profile.GetConnectionCount());

    std::wstring strNoProxy = WithoutElement(m_strSample, L"proxy");
    ASSERT_TRUE(LoadText(profile, strNoProxy));
    EXPECT_EQ(L"", profile.GetCommon(TerminalProfile::PROXY_SERVER_ADDRESS));
    EXPECT_EQ(L"2027/03/31", profile.GetPasswordExpiredDate());
}

TEST_F(TerminalProfileTest, FilesThatAreNoReadableProfileGiveFalseAndEmptyValues)
{
    TerminalProfile profile(ProfileSeams(m_folder.Path()));
    struct Case {
        const char *pszName;
        std::wstring strText;
    } cases[] = {
        {"no SystemInformation", Replaced(Replaced(m_strSample, L"<SystemInformation>", L"<Other>"),
                                          L"</SystemInformation>", L"</Other>")},
        {"no Common", WithoutElement(m_strSample, L"Common")},
        {"cut before the end", m_strSample.substr(0, m_strSample.size() / 2)},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(LoadText(profile, m_strSample)) << c.pszName;
        EXPECT_FALSE(LoadText(profile, c.strText)) << c.pszName;
        EXPECT_EQ(L"", profile.GetAuthTerminalID()) << c.pszName;
        EXPECT_EQ(0, profile.GetConnectionCount()) << c.pszName;
    }
}

TEST_F(TerminalProfileTest, WrongKeyTruncatedCipherOrNoKeyGiveFalse)
{
    TerminalProfile wrongKey(ProfileSeams(m_folder.Path(), L"ZZ7TzR2vXw9KpL4nB8sD1fG6hJ3cV5yA"));
    ASSERT_TRUE(WriteProfile(m_strPath, m_strSample));
    EXPECT_FALSE(wrongKey.ProfileLoad(m_strPath));

    TerminalProfile noKey(ProfileSeams(m_folder.Path(), L""));
    EXPECT_FALSE(noKey.ProfileLoad(m_strPath));

    std::string strBytes = ReadBytes(m_strPath);
    ASSERT_GT(strBytes.size(), 100u);
    ASSERT_TRUE(WriteBytes(m_strPath, strBytes.substr(0, strBytes.size() - 37)));
    TerminalProfile profile(ProfileSeams(m_folder.Path()));
    EXPECT_FALSE(profile.ProfileLoad(m_strPath));
    ASSERT_TRUE(WriteBytes(m_strPath, std::string()));
    EXPECT_FALSE(profile.ProfileLoad(m_strPath));
}

TEST_F(TerminalProfileTest, DefaultPathFilePathAndBackup)
{
    TerminalProfile profile(ProfileSeams(m_folder.Path()));
    EXPECT_EQ(m_folder.Path(), profile.GetDirPath());
    EXPECT_EQ(L"", profile.GetFilePath());
    EXPECT_FALSE(profile.ProfileLoad());
    EXPECT_FALSE(profile.BackupFile());

    ASSERT_TRUE(WriteProfile(m_strPath, m_strSample));
    EXPECT_EQ(m_strPath, profile.GetFilePath());
    EXPECT_TRUE(profile.ProfileLoad());   // the default path
    EXPECT_EQ(L"T20261208-0042", profile.GetAuthTerminalID());
    EXPECT_TRUE(profile.BackupFile());
    EXPECT_EQ(ReadBytes(m_strPath), ReadBytes(m_strPath + L".bak"));
}
