// The saved proxy file: its exact bytes, the tolerant reading, the refusal of partial files, the
// file name, and a writer killed at any moment.
#include "ChildProcess.h"
#include "ProxyInformation.h"
#include "ProxySetting.h"
#include "ProxyTestHelp.h"
#include "TestFiles.h"
#include "TraceLog.h"
#include <gtest/gtest.h>

namespace {
const char kSixLines[] =
    "ProxyTypeAutoDetect = on\r\n"
    "AutoProxy = off\r\n"
    "AutoConfigURL = http://pac.example.test/proxy.pac\r\n"
    "ProxyTypeDirect = off\r\n"
    "ProxyAddress = proxy.example.test:8080\r\n"
    "ProxyBypass = *.example.test;<local>\r\n";

void FillValues(ProxySetting &setting)
{
    setting.SetValue(ProxySetting::AUTO_DETECT, L"on");
    setting.SetValue(ProxySetting::AUTO_PROXY, L"off");
    setting.SetValue(ProxySetting::AUTO_CONFIG_URL, L"http://pac.example.test/proxy.pac");
    setting.SetValue(ProxySetting::DIRECT, L"off");
    setting.SetValue(ProxySetting::PROXY_ADDRESS, L"proxy.example.test:8080");
    setting.SetValue(ProxySetting::PROXY_BYPASS, L"*.example.test;<local>");
}

class ProxySettingTest : public ::testing::Test {
protected:
    void SetUp() override { TraceLog::GetInstance().SetLogLevel(1); }

    // Reads a file with the given UTF-16 text into a fresh object.
    bool ReadText(const std::string &strAscii, ProxySetting &setting)
    {
        EXPECT_TRUE(WriteBytes(m_folder / L"ProxySetting_u.txt", Utf16(strAscii)));
        return setting.ReadSetting(m_folder / L"ProxySetting_u.txt", L"");
    }

    TestFolder m_folder;
};
}  // namespace

TEST_F(ProxySettingTest, WrittenFileIsSixUtf16LinesWithoutByteOrderMark)
{
    ProxySetting setting(L"user01");
    FillValues(setting);
    ASSERT_TRUE(setting.WriteSetting(m_folder / L"saved.txt", L""));
    EXPECT_EQ(Utf16(kSixLines), ReadBytes(m_folder / L"saved.txt"));

    ProxySetting empty(L"user01");
    for (int i = 0; i < ProxySetting::KEY_COUNT; ++i) empty.SetValue(static_cast<ProxySetting::Key>(i), L"");
    ASSERT_TRUE(empty.WriteSetting(m_folder / L"saved.txt", L""));   // replaces the file
    EXPECT_EQ(Utf16("ProxyTypeAutoDetect = \r\nAutoProxy = \r\nAutoConfigURL = \r\nProxyTypeDirect = \r\n"
                    "ProxyAddress = \r\nProxyBypass = \r\n"),
              ReadBytes(m_folder / L"saved.txt"));
}

TEST_F(ProxySettingTest, ReadingGivesBackWhatWasWritten)
{
    ProxySetting setting(L"user01");
    FillValues(setting);
    ASSERT_TRUE(setting.WriteSetting(m_folder / L"saved.txt", L""));
    ProxySetting read(L"user01");
    ASSERT_TRUE(read.ReadSetting(m_folder / L"saved.txt", L""));
    for (int i = 0; i < ProxySetting::KEY_COUNT; ++i) {
        auto key = static_cast<ProxySetting::Key>(i);
        EXPECT_EQ(setting.GetValue(key), read.GetValue(key)) << i;
    }
}

TEST_F(ProxySettingTest, ReadingIsTolerantAsDesigned)
{
    ProxySetting setting(L"u");
    // Blanks around values are trimmed, LF alone ends a line when the rest holds no CR, the keys
    // may come in any order, and a last line without line end loses its value.
    ASSERT_TRUE(ReadText("AutoProxy=   On  \nProxyTypeAutoDetect =on\nProxyTypeDirect = on\n"
                         "AutoConfigURL = \nProxyAddress =\thost:1\t\nProxyBypass = <local>",
                         setting));
    EXPECT_EQ(L"On", setting.GetValue(ProxySetting::AUTO_PROXY));
    EXPECT_EQ(L"on", setting.GetValue(ProxySetting::AUTO_DETECT));
    EXPECT_EQ(L"", setting.GetValue(ProxySetting::AUTO_CONFIG_URL));
    EXPECT_EQ(L"host:1", setting.GetValue(ProxySetting::PROXY_ADDRESS));
    EXPECT_EQ(L"", setting.GetValue(ProxySetting::PROXY_BYPASS));

    ProxyInformation info(L"u");
    ASSERT_TRUE(WriteBytes(m_folder / L"capital.txt",
                           Utf16("ProxyTypeAutoDetect = off\r\nAutoProxy = On\r\nAutoConfigURL = x\r\n"
                                 "ProxyTypeDirect = ON\r\nProxyAddress = a\r\nProxyBypass = b\r\n")));
    ASSERT_TRUE(info.ReadSetting(m_folder / L"capital.txt", L""));
    EXPECT_FALSE(info.IsAutoProxy());   // only "on" counts
    EXPECT_FALSE(info.IsDirect());
    EXPECT_EQ(L"x", info.GetAutoConfigURL());
}

TEST_F(ProxySettingTest, KeysMatchOnlyAtTheStartOfALine)
{
    ProxySetting setting(L"u");
    ASSERT_TRUE(ReadText("ProxyTypeAutoDetect = off\r\nAutoProxy = on\r\n"
                         "AutoConfigURL = http://pac/ProxyBypass.pac?ProxyAddress=x\r\n"
                         "ProxyTypeDirect = off\r\nProxyAddress = real:80\r\nProxyBypass = <local>\r\n",
                         setting));
    EXPECT_EQ(L"http://pac/ProxyBypass.pac?ProxyAddress=x", setting.GetValue(ProxySetting::AUTO_CONFIG_URL));
    EXPECT_EQ(L"real:80", setting.GetValue(ProxySetting::PROXY_ADDRESS));
    EXPECT_EQ(L"<local>", setting.GetValue(ProxySetting::PROXY_BYPASS));

    std::wstring strValue = L"unchanged";
    EXPECT_FALSE(setting.GetBufValue(L"x AutoProxy = on\r\n", L"AutoProxy", strValue));
    EXPECT_EQ(L"", strValue);
    EXPECT_TRUE(setting.GetBufValue(L"a = 1\r\nAutoProxy = on\r\n", L"AutoProxy", strValue));
    EXPECT_EQ(L"on", strValue);
}

TEST_F(ProxySettingTest, FileWithoutAllSixKeysIsRefusedAndLeavesNothing)
{
    ProxySetting setting(L"u");
    FillValues(setting);
    std::string strFive = kSixLines;
    strFive.erase(strFive.find("ProxyBypass"));   // a file cut after the fifth line
    EXPECT_FALSE(ReadText(strFive, setting));
    for (int i = 0; i < ProxySetting::KEY_COUNT; ++i)
        EXPECT_EQ(L"", setting.GetValue(static_cast<ProxySetting::Key>(i))) << i;
    EXPECT_TRUE(LogHas(L"The setting file has no [ProxyBypass] line"));
    EXPECT_TRUE(LogHas(L"The setting file is incomplete, nothing is taken from it"));

    EXPECT_FALSE(ReadText("nothing of interest\r\n", setting));
    EXPECT_TRUE(LogHas(L"There is no setting information"));

    EXPECT_FALSE(setting.ReadSetting(m_folder / L"missing.txt", L""));
    EXPECT_TRUE(LogHas(L"Failed to read the setting file"));

    // The information class keeps its values when the file is refused: nothing partial is applied.
    ProxyInformation info(L"u");
    info.SetProxyAddress(L"before", L"1");
    EXPECT_FALSE(info.ReadSetting(m_folder / L"ProxySetting_u.txt", L""));
    EXPECT_EQ(L"before:1", info.GetProxyAddress());
}

TEST_F(ProxySettingTest, FileNameCarriesTheMappedIdAndTheEntry)
{
    EXPECT_EQ(L"a b c d e f g h i j k", ProxySetting::FileNameID(L"a:b/c\\d*e?f<g>h|i\"j k"));
    ProxySetting setting(L"dom:user/x");
    EXPECT_EQ(L"dom user x", setting.GetID());
    FillValues(setting);
    std::wstring strDir = setting.GetDirPath();
    ASSERT_FALSE(strDir.empty());
    EXPECT_EQ(L'\\', strDir.back());
    ASSERT_TRUE(setting.WriteSetting(L"", L"NolvexConnectDial"));
    std::wstring strExpected = strDir + L"ProxySetting_dom user x_NolvexConnectDial.txt";
    EXPECT_TRUE(PathExists(strExpected));
    EXPECT_TRUE(setting.IsFileExist(L"", L"NolvexConnectDial"));
    EXPECT_FALSE(setting.IsFileExist(L"", L""));
    ASSERT_TRUE(setting.WriteSetting(L"", L""));
    EXPECT_TRUE(PathExists(strDir + L"ProxySetting_dom user x.txt"));

    ProxySetting read(L"dom:user/x");
    EXPECT_TRUE(read.ReadSetting(L"", L"NolvexConnectDial"));
    EXPECT_EQ(L"proxy.example.test:8080", read.GetValue(ProxySetting::PROXY_ADDRESS));
    EXPECT_TRUE(read.DeleteSetting(L"", L"NolvexConnectDial"));
    EXPECT_TRUE(read.DeleteSetting(L"", L""));
    EXPECT_FALSE(PathExists(strExpected));
    EXPECT_FALSE(read.DeleteSetting(L"", L""));   // nothing left to delete
}

TEST_F(ProxySettingTest, FailedSaveReportsFalseWithItsReason)
{
    ProxySetting setting(L"u");
    FillValues(setting);
    setting.SetValue(ProxySetting::PROXY_BYPASS, L"a\r\nProxyAddress = injected");
    EXPECT_FALSE(setting.WriteSetting(m_folder / L"x.txt", L""));
    EXPECT_FALSE(PathExists(m_folder / L"x.txt"));
    EXPECT_TRUE(LogHas(L"holds a line break"));

    FillValues(setting);
    // An entry name a file name cannot hold: the save fails instead of pretending.
    EXPECT_FALSE(setting.WriteSetting(m_folder / L"bad|name.txt", L""));
    EXPECT_TRUE(LogHas(L"File Write Error["));
    EXPECT_TRUE(LogHas(L"Failed to write the setting file"));
}

TEST_F(ProxySettingTest, ReplacingLeavesNoTemporaryFileBehind)
{
    ProxySetting setting(L"u");
    FillValues(setting);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(setting.WriteSetting(m_folder / L"ProxySetting_u.txt", L""));
    WIN32_FIND_DATAW fd;
    ScopedFindHandle hFind(FindFirstFileW((m_folder / L"*").c_str(), &fd));
    ASSERT_TRUE(hFind.IsValid());
    std::vector<std::wstring> vecNames;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) vecNames.push_back(fd.cFileName);
    } while (FindNextFileW(hFind.Get(), &fd));
    ASSERT_EQ(1u, vecNames.size());
    EXPECT_EQ(L"ProxySetting_u.txt", vecNames[0]);
}

TEST_F(ProxySettingTest, KilledWriterNeverLeavesAPartialFile)
{
    // The writer replaces the file in a loop with two alternating value sets; it is killed at a
    // different moment each round. Whatever is on disk must read whole as one of the two sets.
    std::wstring strFile = m_folder / L"ProxySetting_kill.txt";
    std::wstring strWriter = ProgramFolder() + L"nc_proxywriter.exe";
    int iRounds = 0;
    for (DWORD dwDelay = 5; dwDelay <= 120; dwDelay += 5, ++iRounds) {
        ChildProcess writer;
        ASSERT_TRUE(writer.Launch(L"\"" + strWriter + L"\" \"" + strFile + L"\""));
        Sleep(dwDelay);
        writer.End();
        if (!PathExists(strFile)) continue;   // killed before its first replace
        ProxySetting setting(L"kill");
        ASSERT_TRUE(setting.ReadSetting(strFile, L"")) << "round " << iRounds;
        std::wstring strAddress = setting.GetValue(ProxySetting::PROXY_ADDRESS);
        std::wstring strBypass = setting.GetValue(ProxySetting::PROXY_BYPASS);
        EXPECT_TRUE((strAddress == L"first:1" && strBypass == L"first-bypass") ||
                    (strAddress == L"second:2" && strBypass == L"second-bypass"))
            << "round " << iRounds;
    }
    EXPECT_TRUE(PathExists(strFile));   // the writer did get to write
}

TEST_F(ProxySettingTest, TwoInformationObjectsEachOwnTheirSetting)
{
    // The connect and undo threads may hold one object each; ending one leaves the other whole.
    std::unique_ptr<ProxyInformation> pFirst(new ProxyInformation(L"a:b"));
    std::unique_ptr<ProxyInformation> pSecond(new ProxyInformation(L"c"));
    EXPECT_NE(&pFirst->Setting(), &pSecond->Setting());
    pFirst.reset();
    pSecond->SetProxyAddress(L"h", L"");
    ASSERT_TRUE(pSecond->WriteSetting(m_folder / L"ProxySetting_c.txt", L""));
    EXPECT_TRUE(pSecond->ReadSetting(m_folder / L"ProxySetting_c.txt", L""));
    EXPECT_EQ(L"c", pSecond->Setting().GetID());
    EXPECT_EQ(L"h", pSecond->GetProxyAddress());
}
