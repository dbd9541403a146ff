#include "AplicationInfo.h"
#include "Coding.h"
#include "FileIO.h"
#include "IniFile.h"
#include "MessageIds.h"
#include "ProfileCommit.h"
#include "ProfileStore.h"
#include "ProfileTestHelp.h"
#include "TerminalProfile.h"
#include "TestFiles.h"
#include "UserSettingFile.h"
#include <gtest/gtest.h>
#include <memory>

namespace {
// Both product keys in memory, shared by every object the factories hand out.
struct KeyStore {
    std::wstring strProfileKey;
    std::wstring strSettingKey;
    bool bRefuseProfileKey = false;
    int iProfileKeyWrites = 0;
};

class MemoryRegInfo : public AplicationInfo {
public:
    explicit MemoryRegInfo(KeyStore &keys) : m_keys(keys) {}
    std::wstring GetInstallPath() override { return std::wstring(); }
    std::wstring GetTerminalProfileKeyInfo() override { return m_keys.strProfileKey; }
    long SetTerminalProfileKeyInfo(const std::wstring &strValue) override
    {
        if (m_keys.bRefuseProfileKey) return ERROR_ACCESS_DENIED;
        ++m_keys.iProfileKeyWrites;
        m_keys.strProfileKey = strValue;
        return ERROR_SUCCESS;
    }
    std::wstring GetUserSettingFileKeyInfo() override { return m_keys.strSettingKey; }
    long SetUserSettingFileKeyInfo(const std::wstring &strValue) override
    {
        m_keys.strSettingKey = strValue;
        return ERROR_SUCCESS;
    }
    std::wstring GetPublisher() override { return std::wstring(); }
    std::wstring GetDisplayName() override { return std::wstring(); }
    std::wstring GetModuleVersion() override { return std::wstring(); }
    std::wstring GetUninstallInfo() override { return std::wstring(); }

private:
    KeyStore &m_keys;
};
}   // namespace

class ProfileStoreTest : public ::testing::Test {
protected:
    ProfileStoreTest() : m_ini(m_folder.Path() + L"ini") {}

    void SetUp() override
    {
        m_strSample = SampleProfileText();
        ASSERT_FALSE(m_strSample.empty()) << "the sample profile is missing beside the test program";
        m_strOld = Replaced(m_strSample, L"T20261208-0042", L"OLD-TERMINAL");
        m_strPath = m_folder / TerminalProfile::FILE_NAME;
        auto factory = [this]() -> AplicationInfo * { return new MemoryRegInfo(m_keys); };
        TerminalProfile::Seams profileSeams;
        profileSeams.strFolder = m_folder.Path();
        profileSeams.strModuleName = L"regist_tests";
        profileSeams.pfnCreateRegInfo = factory;
        m_pProfile.reset(new TerminalProfile(profileSeams));
        UserSettingFile::Seams settingSeams;
        settingSeams.strFolder = m_folder.Path();
        settingSeams.pIniFile = &m_ini;
        settingSeams.strModuleName = L"regist_tests";
        settingSeams.pfnCreateRegInfo = factory;
        m_pSettings.reset(new UserSettingFile(settingSeams));
        m_storeSeams.pfnCreateRegInfo = factory;
        m_storeSeams.dwRetryPauseMs = 0;
    }

    // An existing registration: the old profile under the old key, and a user setting.
    void StoreOldProfile()
    {
        m_keys.strProfileKey = kProfileKey;
        ASSERT_TRUE(WriteProfile(m_strPath, m_strOld));
        m_pSettings->SetNolvexID(L"user1");
        ASSERT_TRUE(m_pSettings->WriteSetting());
    }

    long Store(const std::wstring &strText, long lWriteFailureId = MSG_PROFILE_CREATE_FAILED)
    {
        ProfileStore store(*m_pProfile, *m_pSettings, m_storeSeams);
        return store.Store(strText, lWriteFailureId);
    }

    // What a fresh process would load now.
    std::wstring LoadedTerminalId()
    {
        auto factory = [this]() -> AplicationInfo * { return new MemoryRegInfo(m_keys); };
        TerminalProfile::Seams seams;
        seams.strFolder = m_folder.Path();
        seams.strModuleName = L"regist_tests_fresh";
        seams.pfnCreateRegInfo = factory;
        TerminalProfile fresh(seams);
        return fresh.ProfileLoad() ? fresh.GetAuthTerminalID() : L"<not loaded>";
    }

    TestFolder m_folder;
    IniFile m_ini;
    KeyStore m_keys;
    std::unique_ptr<TerminalProfile> m_pProfile;
    std::unique_ptr<UserSettingFile> m_pSettings;
    ProfileStore::Seams m_storeSeams;
    std::wstring m_strSample, m_strOld, m_strPath;
};

TEST_F(ProfileStoreTest, ANewProfileGetsANewKeyTheUpdateDateAReloadAndBothBackups)
{
    StoreOldProfile();
    ASSERT_EQ(0, Store(m_strSample));
    EXPECT_EQ(32u, m_keys.strProfileKey.size());
    EXPECT_NE(kProfileKey, m_keys.strProfileKey);
    EXPECT_EQ(L"T20261208-0042", m_pProfile->GetAuthTerminalID());
    EXPECT_EQ(L"T20261208-0042", LoadedTerminalId());
    EXPECT_FALSE(PathExists(m_strPath + L".new"));
    EXPECT_TRUE(PathExists(m_strPath + L".bak"));
    EXPECT_TRUE(PathExists(m_folder / L"UserSetting.xml.bak"));
    // The file is not readable under the old key, and the backup is the new profile.
    EXPECT_FALSE(ProfileCommit::ReadsUnder(m_strPath, kProfileKey));
    EXPECT_TRUE(ProfileCommit::ReadsUnder(m_strPath + L".bak", m_keys.strProfileKey));
    ASSERT_TRUE(m_pSettings->ReadSetting());
    std::wstring strDate = m_pSettings->GetUpdateDate();
    ASSERT_EQ(14u, strDate.size()) << strDate;
    EXPECT_EQ(std::wstring::npos, strDate.find_first_not_of(L"0123456789"));
    EXPECT_EQ(L"user1", m_pSettings->GetNolvexID());
}

TEST_F(ProfileStoreTest, AnswersThatAreNoWholeProfileStoreNothing)
{
    StoreOldProfile();
    const std::wstring cut = m_strSample.substr(0, m_strSample.size() / 2);
    for (const std::wstring &strText : {cut, std::wstring(L"<SystemInformation></SystemInformation>"),
                                        std::wstring(L"<SystemInformation><Common></SystemInformation></Common>"),
                                        std::wstring(L"2203025")}) {
        EXPECT_EQ(MSG_AUTH_PROFILE_INVALID, Store(strText)) << strText.substr(0, 40);
        EXPECT_EQ(kProfileKey, m_keys.strProfileKey);
        EXPECT_EQ(0, m_keys.iProfileKeyWrites);
        EXPECT_EQ(L"OLD-TERMINAL", LoadedTerminalId());
    }
}

TEST_F(ProfileStoreTest, ARefusedKeyLeavesThePreviousProfileReadable)
{
    StoreOldProfile();
    m_keys.bRefuseProfileKey = true;
    EXPECT_EQ(MSG_REGISTRY_WRITE_FAILED, Store(m_strSample));
    EXPECT_EQ(kProfileKey, m_keys.strProfileKey);
    EXPECT_FALSE(PathExists(m_strPath + L".new"));
    EXPECT_EQ(L"OLD-TERMINAL", LoadedTerminalId());
}

TEST_F(ProfileStoreTest, AFileThatCannotBeWrittenIsRetriedThenGivesTheCallersIdAndKeepsTheOldProfile)
{
    StoreOldProfile();
    ASSERT_TRUE(CreateDirectoryW((m_strPath + L".new").c_str(), nullptr));   // the pending name is taken
    int iSteps = 0;
    m_storeSeams.pfnStepHook = [&](ProfileStore::Step) { ++iSteps; };
    EXPECT_EQ(MSG_FILE_IO_ERROR, Store(m_strSample, MSG_FILE_IO_ERROR));
    EXPECT_EQ(1, iSteps);   // never got to the key
    EXPECT_EQ(kProfileKey, m_keys.strProfileKey);
    EXPECT_EQ(L"OLD-TERMINAL", LoadedTerminalId());
}

// The states a process ended between the steps leaves behind; the next load sorts them out.
TEST_F(ProfileStoreTest, AnInterruptedStoreRollsBackBeforeTheKeyAndForwardAfterIt)
{
    StoreOldProfile();
    const wchar_t kNewKey[] = L"Zx8Yw7Vu6Ts5Rq4Po3Nm2Lk1Jh0Gf9Ed";
    // Ended after the pending file, before the key: the old profile stays.
    ASSERT_TRUE(WriteProfile(m_strPath + L".new", m_strSample, kNewKey));
    EXPECT_EQ(L"OLD-TERMINAL", LoadedTerminalId());
    EXPECT_FALSE(PathExists(m_strPath + L".new"));
    // Ended after the key, before the move: the new profile is put in place.
    ASSERT_TRUE(WriteProfile(m_strPath + L".new", m_strSample, kNewKey));
    m_keys.strProfileKey = kNewKey;
    EXPECT_EQ(L"T20261208-0042", LoadedTerminalId());
    EXPECT_FALSE(PathExists(m_strPath + L".new"));
    EXPECT_EQ(L"T20261208-0042", LoadedTerminalId());
    // A torn pending file (ended while writing) is dropped.
    ASSERT_TRUE(WriteBytes(m_strPath + L".new", std::string("\x01\x02\x03", 3)));
    EXPECT_EQ(L"T20261208-0042", LoadedTerminalId());
    EXPECT_FALSE(PathExists(m_strPath + L".new"));
}

TEST_F(ProfileStoreTest, EveryStepHappensInTheDesignedOrder)
{
    StoreOldProfile();
    std::vector<int> vecSteps;
    std::vector<std::wstring> vecKeys;
    m_storeSeams.pfnStepHook = [&](ProfileStore::Step step) {
        vecSteps.push_back(step);
        vecKeys.push_back(m_keys.strProfileKey);
    };
    ASSERT_EQ(0, Store(m_strSample));
    EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 5, 6}), vecSteps);
    // The key changes between "set key" and "move in place", never earlier.
    EXPECT_EQ(kProfileKey, vecKeys[1]);
    EXPECT_NE(kProfileKey, vecKeys[2]);
}
