#include "IniFile.h"
#include "SettingsTestHelp.h"
#include "TestFiles.h"
#include "UserSettingFile.h"
#include <gtest/gtest.h>
#include <string>


namespace {
std::string Utf16(const std::wstring &str)
{
    return std::string(reinterpret_cast<const char *>(str.data()), str.size() * sizeof(wchar_t));
}
}  // namespace

class IniFileTest : public ::testing::Test {
protected:
    IniFileTest() : m_ini(m_folder.Path()) {}

    void WriteIni(const std::wstring &strXml) { WriteBytes(m_folder.Path() + L"NolvexConnectIni.xml", IniFileBytes(strXml)); }

    TestFolder m_folder;
    IniFile m_ini;
};

TEST_F(IniFileTest, EveryKeyIsReadWithItsOwnTextWhereverItStands)
{
    std::wstring strXml = L"<?xml version=\"1.0\"?>\r<Settings>\r";
    for (int i = 0; i < IniFile::KEY_COUNT; ++i) {
        std::wstring strName = IniFile::KeyName((IniFile::Key)i);
        strXml += L"  <" + strName + L">v" + std::to_wstring(i) + L"</" + strName + L">\r";
    }
    strXml += L"</Settings>\r<Extra><LogLevel>later</LogLevel></Extra>\r";
    WriteIni(strXml);
    ASSERT_TRUE(m_ini.ReadSetting());
    for (int i = 0; i < IniFile::KEY_COUNT; ++i)
        EXPECT_EQ(L"v" + std::to_wstring(i), m_ini.GetValue((IniFile::Key)i)) << i;
    EXPECT_EQ(L"v5", m_ini.GetLogLevel());
    EXPECT_EQ(L"v13", m_ini.GetLocalMac());
    EXPECT_TRUE(m_ini.IsFixIDPresent());
    EXPECT_TRUE(m_ini.IsFixPWPresent());
    EXPECT_TRUE(m_ini.IsWatchACLIntPresent());
    EXPECT_TRUE(m_ini.IsWatchACLTOPresent());
    EXPECT_EQ(m_folder.Path(), m_ini.GetFolder());
}

TEST_F(IniFileTest, EmptyButPresentFixIdSetsItsFlag)
{
    WriteIni(L"<FixID></FixID><WatchACLTO>30</WatchACLTO>");
    ASSERT_TRUE(m_ini.ReadSetting());
    EXPECT_TRUE(m_ini.IsFixIDPresent());
    EXPECT_EQ(L"", m_ini.GetFixID());
    EXPECT_FALSE(m_ini.IsFixPWPresent());
    EXPECT_FALSE(m_ini.IsWatchACLIntPresent());
    EXPECT_TRUE(m_ini.IsWatchACLTOPresent());
    EXPECT_EQ(L"30", m_ini.GetWatchACLTO());
}

TEST_F(IniFileTest, MissingFileGivesFalseWithEveryKeyEmpty)
{
    WriteIni(L"<LogLevel>1</LogLevel><FixID>x</FixID>");
    ASSERT_TRUE(m_ini.ReadSetting());
    ASSERT_TRUE(DeleteFileW((m_folder.Path() + L"NolvexConnectIni.xml").c_str()));
    EXPECT_FALSE(m_ini.ReadSetting());
    for (int i = 0; i < IniFile::KEY_COUNT; ++i) EXPECT_EQ(L"", m_ini.GetValue((IniFile::Key)i)) << i;
    EXPECT_FALSE(m_ini.IsFixIDPresent());
    // Tried: consumers do not read it again on every question.
    EXPECT_EQ(m_folder.Path(), m_ini.GetFolder());
}

TEST_F(IniFileTest, MalformedOrTruncatedFilesGiveFalseOrEmptyValues)
{
    // An element without its closing tag stays empty; the others are read.
    WriteIni(L"<LogLevel>1<Minimize>1</Minimize>");
    EXPECT_TRUE(m_ini.ReadSetting());
    EXPECT_EQ(L"", m_ini.GetLogLevel());
    EXPECT_EQ(L"1", m_ini.GetMinimize());

    // Cut in the middle of the Base64 text: the last whole groups decode, the rest is lost.
    std::string strBytes = IniFileBytes(L"<Minimize>1</Minimize><AutoUpdate>1</AutoUpdate>");
    WriteBytes(m_folder.Path() + L"NolvexConnectIni.xml", strBytes.substr(0, strBytes.size() / 2 + 1));
    m_ini.ReadSetting();
    EXPECT_EQ(L"", m_ini.GetAutoUpdate());

    // Not Base64 at all, and an empty file.
    WriteBytes(m_folder.Path() + L"NolvexConnectIni.xml", Utf16(L"<Minimize>1</Minimize>"));
    m_ini.ReadSetting();
    EXPECT_EQ(L"", m_ini.GetMinimize());
    WriteBytes(m_folder.Path() + L"NolvexConnectIni.xml", "");
    EXPECT_FALSE(m_ini.ReadSetting());
    EXPECT_EQ(L"", m_ini.GetMinimize());
}

TEST_F(IniFileTest, ItsValuesAreTheDefaultsOfTheUserPreferences)
{
    WriteIni(L"<Minimize>1</Minimize><AutoReconnect>0</AutoReconnect><AutoUpdate>1</AutoUpdate><LogLevel>1</LogLevel>");
    UserSettingFile::Seams seams;
    seams.strFolder = m_folder.Path();
    seams.pIniFile = &m_ini;
    UserSettingFile file(seams);
    file.SetAutoUpdate(L"0");
    file.SetInitializeValue();
    EXPECT_EQ(L"1", file.GetMinimize());
    EXPECT_EQ(L"0", file.GetAutoReconnect());
    EXPECT_EQ(L"0", file.GetAutoUpdate());   // set before: kept
    EXPECT_EQ(L"1", file.GetLogLevel());
}
