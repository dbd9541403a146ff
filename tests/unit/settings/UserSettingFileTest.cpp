#include "AplicationInfo.h"
#include "Coding.h"
#include "FileIO.h"
#include "IniFile.h"
#include "ScopedHandle.h"
#include "SettingsTestHelp.h"
#include "TestFiles.h"
#include "UserSettingFile.h"
#include <gtest/gtest.h>
#include <memory>

namespace {
const wchar_t kKeyValueName[] = L"UserSettingFile";

// A registry that refuses every write and has no key.
class RefusingRegInfo : public AplicationInfo {
public:
    std::wstring GetInstallPath() override { return std::wstring(); }
    std::wstring GetTerminalProfileKeyInfo() override { return std::wstring(); }
    long SetTerminalProfileKeyInfo(const std::wstring &) override { return ERROR_ACCESS_DENIED; }
    std::wstring GetUserSettingFileKeyInfo() override { return std::wstring(); }
    long SetUserSettingFileKeyInfo(const std::wstring &) override { return ERROR_ACCESS_DENIED; }
    std::wstring GetPublisher() override { return std::wstring(); }
    std::wstring GetDisplayName() override { return std::wstring(); }
    std::wstring GetModuleVersion() override { return std::wstring(); }
    std::wstring GetUninstallInfo() override { return std::wstring(); }
};

// The decrypted text of the file with the key.
std::wstring DecryptedText(const std::wstring &strPath, const std::wstring &strKey)
{
    FileIO file;
    DWORD dwBytes = file.ReadFile_Decode(strPath, strKey, Coding::CODE_AES);
    if (dwBytes == 0) return std::wstring();
    return std::wstring(reinterpret_cast<const wchar_t *>(file.GetData()), dwBytes / sizeof(wchar_t));
}
}  // namespace

class UserSettingFileTest : public ::testing::Test {
protected:
    UserSettingFileTest() : m_key(kKeyValueName), m_ini(m_folder.Path() + L"ini") {}

    void SetUp() override
    {
        m_seams.strFolder = m_folder.Path();
        m_seams.pIniFile = &m_ini;
        m_seams.strModuleName = L"settings_tests";
        m_strPath = m_folder.Path() + L"UserSetting.xml";
    }

    void FillAll(UserSettingFile &file)
    {
        file.SetLastConnectType(L"2");
        file.SetNolvexID(L"alice<1>&bob");
        file.SetUpdateDate(L"2026/12/08");
        file.SetLanguage(L"1");
        file.SetMinimize(L"0");
        file.SetAutoReconnect(L"1");
        file.SetAutoUpdate(L"0");
        file.SetLogLevel(L"1");
    }

    TestFolder m_folder;
    ProductKeyValue m_key;
    IniFile m_ini;
    UserSettingFile::Seams m_seams;
    std::wstring m_strPath;
};

TEST_F(UserSettingFileTest, WrittenFileHasTheThirteenLinesEncryptedWithTheRegistryKey)
{
    ASSERT_TRUE(m_key.Set(kTestSettingKey));
    UserSettingFile file(m_seams);
    FillAll(file);
    ASSERT_TRUE(file.WriteSetting(m_strPath)) << file.GetLastWriteError();
    const std::wstring strExpected =
        L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r"
        L"<UserSetting>\r"
        L"  <LastConnectType>2</LastConnectType>\r"
        L"  <NolvexID>alice<1>&bob</NolvexID>\r"
        L"  <UpdateDate>2026/12/08</UpdateDate>\r"
        L"  <AvailableSetting>\r"
        L"    <Language>1</Language>\r"
        L"    <Minimize>0</Minimize>\r"
        L"    <AutoReconnect>1</AutoReconnect>\r"
        L"    <AutoUpdate>0</AutoUpdate>\r"
        L"    <LogLevel>1</LogLevel>\r"
        L"  </AvailableSetting>\r"
        L"</UserSetting>\r";
    EXPECT_EQ(strExpected, DecryptedText(m_strPath, kTestSettingKey));
    EXPECT_EQ(std::string::npos, ReadBytes(m_strPath).find("U\0s\0e\0r"));
    EXPECT_TRUE(file.GetChanged());
    EXPECT_TRUE(file.TakeChanged());
    EXPECT_FALSE(file.GetChanged());
}

TEST_F(UserSettingFileTest, ValuesWithAngleBracketsAndAmpersandsRoundTrip)
{
    ASSERT_TRUE(m_key.Set(kTestSettingKey));
    UserSettingFile writer(m_seams);
    FillAll(writer);
    writer.SetLastConnectType(L"a<b>&c;");
    ASSERT_TRUE(writer.WriteSetting(m_strPath));
    UserSettingFile reader(m_seams);
    ASSERT_TRUE(reader.ReadSetting(m_strPath));
    EXPECT_EQ(L"a<b>&c;", reader.GetLastConnectType());
    EXPECT_EQ(L"alice<1>&bob", reader.GetNolvexID());
    EXPECT_EQ(L"2026/12/08", reader.GetUpdateDate());
    EXPECT_EQ(L"1", reader.GetLanguage());
    EXPECT_EQ(L"0", reader.GetMinimize());
    EXPECT_EQ(L"1", reader.GetAutoReconnect());
    EXPECT_EQ(L"0", reader.GetAutoUpdate());
    EXPECT_EQ(L"1", reader.GetLogLevel());
    EXPECT_EQ(0, reader.GetLastReadError());
    EXPECT_EQ(m_folder.Path(), reader.GetFolder());
}

TEST_F(UserSettingFileTest, FirstWriteCreatesTheKeyInTheRegistryBeforeTheFile)
{
    ASSERT_TRUE(m_key.Remove());
    UserSettingFile file(m_seams);
    FillAll(file);
    ASSERT_TRUE(file.WriteSetting(m_strPath)) << file.GetLastWriteError();
    std::wstring strKey = m_key.Get();
    ASSERT_EQ(32u, strKey.size());
    EXPECT_EQ(std::wstring::npos,
              strKey.find_first_not_of(L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"));
    EXPECT_NE(std::wstring::npos, DecryptedText(m_strPath, strKey).find(L"<NolvexID>alice<1>&bob</NolvexID>"));

    // The next write keeps that key.
    file.SetNolvexID(L"carol");
    ASSERT_TRUE(file.WriteSetting(m_strPath));
    EXPECT_EQ(strKey, m_key.Get());
}

TEST_F(UserSettingFileTest, RefusedRegistryKeyGives4180AndWritesNothing)
{
    m_seams.pfnCreateRegInfo = []() -> AplicationInfo * { return new RefusingRegInfo(); };
    UserSettingFile file(m_seams);
    FillAll(file);
    EXPECT_FALSE(file.WriteSetting(m_strPath));
    EXPECT_EQ(UserSettingFile::ERR_REGISTRY_WRITE, file.GetLastWriteError());
    EXPECT_FALSE(PathExists(m_strPath));
    EXPECT_FALSE(file.GetChanged());
}

TEST_F(UserSettingFileTest, WithoutAKeyNoFileIsAccepted)
{
    // A plaintext file that would parse, and no key in the registry.
    XMLParser plain;
    plain.StartXML();
    plain.OutOneLine(L"UserSetting", 0);
    plain.OutElement(L"NolvexID", L"mallory", 2);
    plain.OutOneLine(L"/UserSetting", 0);
    ASSERT_TRUE(plain.EndXML(m_strPath, L"", FileIO::CODE_PLAIN));
    ASSERT_TRUE(m_key.Remove());
    UserSettingFile file(m_seams);
    file.SetNolvexID(L"stale");
    EXPECT_FALSE(file.ReadSetting(m_strPath));
    EXPECT_EQ(L"", file.GetNolvexID());
    // With a key, the plaintext file does not decrypt either.
    ASSERT_TRUE(m_key.Set(kTestSettingKey));
    EXPECT_FALSE(file.ReadSetting(m_strPath));
    EXPECT_EQ(L"", file.GetNolvexID());
}

TEST_F(UserSettingFileTest, FileWithoutTheRootElementGives4130)
{
    ASSERT_TRUE(m_key.Set(kTestSettingKey));
    XMLParser other;
    other.StartXML();
    other.OutOneLine(L"TerminalProfile", 0);
    other.OutElement(L"NolvexID", L"x", 2);
    other.OutOneLine(L"/TerminalProfile", 0);
    ASSERT_TRUE(other.EndXML(m_strPath, kTestSettingKey, Coding::CODE_AES));
    UserSettingFile file(m_seams);
    EXPECT_FALSE(file.ReadSetting(m_strPath));
    EXPECT_EQ(UserSettingFile::ERR_INVALID_CONTENTS, file.GetLastReadError());
    EXPECT_EQ(L"", file.GetNolvexID());
}

TEST_F(UserSettingFileTest, FailedWritesTellCreationFromUpdate)
{
    ASSERT_TRUE(m_key.Set(kTestSettingKey));
    UserSettingFile file(m_seams);
    FillAll(file);
    EXPECT_FALSE(file.WriteSetting(m_folder.Path() + L"no-such-folder\\UserSetting.xml"));
    EXPECT_EQ(UserSettingFile::ERR_CREATE_FAILED, file.GetLastWriteError());

    ASSERT_TRUE(file.WriteSetting(m_strPath));
    {
        // A reader that does not share deletion keeps the file from being replaced.
        ScopedFileHandle hReader(CreateFileW(m_strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(hReader.IsValid());
        EXPECT_FALSE(file.WriteSetting(m_strPath));
        EXPECT_EQ(UserSettingFile::ERR_UPDATE_FAILED, file.GetLastWriteError());
    }
    UserSettingFile reader(m_seams);
    EXPECT_TRUE(reader.ReadSetting(m_strPath));
}

TEST_F(UserSettingFileTest, EmptyPreferencesTakeTheInitializationFileOrTheBuiltInDefaults)
{
    ASSERT_TRUE(m_key.Set(kTestSettingKey));
    // No initialization file: the built-in defaults.
    UserSettingFile file(m_seams);
    file.SetMinimize(L"1");
    file.SetInitializeValue();
    EXPECT_EQ(L"1", file.GetMinimize());   // set values are kept
    EXPECT_EQ(L"1", file.GetAutoReconnect());
    EXPECT_EQ(L"0", file.GetAutoUpdate());
    EXPECT_EQ(L"0", file.GetLogLevel());
    EXPECT_TRUE(file.GetLanguage() == L"0" || file.GetLanguage() == L"1");
}

TEST_F(UserSettingFileTest, BackupCopiesTheFileBesideIt)
{
    ASSERT_TRUE(m_key.Set(kTestSettingKey));
    UserSettingFile file(m_seams);
    EXPECT_FALSE(file.BackupFile());   // nothing to copy yet
    FillAll(file);
    ASSERT_TRUE(file.WriteSetting());
    ASSERT_TRUE(file.BackupFile());
    EXPECT_EQ(ReadBytes(m_strPath), ReadBytes(m_strPath + L".bak"));
    EXPECT_EQ(m_strPath, file.GetFilePath());
}

TEST_F(UserSettingFileTest, ValuesCanBeSetByElementName)
{
    UserSettingFile file(m_seams);
    EXPECT_TRUE(file.SetValueByName(L"AutoUpdate", L"1"));
    EXPECT_EQ(L"1", file.GetAutoUpdate());
    EXPECT_FALSE(file.SetValueByName(L"Password", L"x"));
}
