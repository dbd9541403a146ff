// The trace log and the process-wide user setting file: the log takes LogLevel and NolvexID from
// it, and neither ever waits for the other.
#include "FileIO.h"
#include "IniFile.h"
#include "WinRegInfo.h"
#include "Log.h"
#include "SettingsTestHelp.h"
#include "TestFiles.h"
#include "UserSettingFile.h"
#include <gtest/gtest.h>
#include <atomic>
#include <thread>
#include <vector>

namespace {
const DWORD kDeadlockLimitMs = 120000;
const int kRounds = 40;
}  // namespace

class TraceLogSettingsTest : public ::testing::Test {
protected:
    TraceLogSettingsTest() : m_key(L"UserSettingFile") {}

    void SetUp() override
    {
        ASSERT_TRUE(m_key.Set(kTestSettingKey));
        m_strDefaultPath = UserSettingFile::GetInstance().GetDirPath() + L"UserSetting.xml";
        FileIO io;
        ASSERT_EQ(0u, io.MakeFolder(UserSettingFile::GetInstance().GetDirPath()));
    }
    void TearDown() override { DeleteFileW(m_strDefaultPath.c_str()); }

    std::vector<std::wstring> LogFiles()
    {
        std::vector<FileEntryInfo> vecFiles;
        FileIO io;
        io.GetFileListSubFolder(m_folder.Path(), L"NolvexConnectLog_*.dat", vecFiles, false);
        std::vector<std::wstring> vecNames;
        for (const FileEntryInfo &entry : vecFiles) vecNames.push_back(entry.strName);
        return vecNames;
    }

    TestFolder m_folder;
    ProductKeyValue m_key;
    std::wstring m_strDefaultPath;
};

TEST_F(TraceLogSettingsTest, LogTakesLevelAndUserPartFromTheUserSettingFile)
{
    UserSettingFile &settings = UserSettingFile::GetInstance();
    ASSERT_TRUE(WriteNumbered(settings, m_strDefaultPath, 5));   // NolvexID "user<5>&co", LogLevel "0"
    settings.SetLogLevel(L"1");
    ASSERT_TRUE(settings.WriteSetting());
    ASSERT_TRUE(settings.ReadSetting());

    TraceLog::Seams seams;
    seams.strAppName = L"NolvexConnect";
    seams.strFolder = m_folder.Path();
    TraceLog log(seams);
    log.Write(LOG_DEBUG, L"a.cpp", L"A::B", 1, L"debug from the setting");
    EXPECT_EQ(1, log.GetLevel());
    // "<" and ">" cannot stand in a file name.
    std::vector<std::wstring> vecFiles = LogFiles();
    ASSERT_EQ(1u, vecFiles.size());
    EXPECT_NE(std::wstring::npos, vecFiles[0].find(L"_user 5 &co.dat"));

    // A new NolvexID written: the process's logger (the one reader of the changed flag) goes on
    // in that user's file with its next line.
    settings.SetNolvexID(L"carol");
    ASSERT_TRUE(settings.WriteSetting());
    LOGWRITE(LOG_INFO, L"after the change");
    std::wstring strName = TraceLog::GetInstance().GetFileName();
    EXPECT_NE(std::wstring::npos, strName.find(L"_carol.dat")) << std::string(strName.begin(), strName.end());
}

// Without a user setting file the initialization file of the install folder gives the level.
TEST_F(TraceLogSettingsTest, WithoutAUserFileTheInitializationFileGivesTheLevel)
{
    ASSERT_FALSE(PathExists(m_strDefaultPath));
    WriteBytes(m_folder.Path() + L"NolvexConnectIni.xml", IniFileBytes(L"<LogLevel>1</LogLevel>"));
    WinRegInfo reg;
    std::wstring strOldPath = reg.GetRegeditValue(L"t", HKEY_LOCAL_MACHINE, WinRegInfo::ProductKey(), L"Path");
    ASSERT_EQ(0, reg.SetRegeditValue(L"t", HKEY_LOCAL_MACHINE, WinRegInfo::ProductKey(), L"Path", m_folder.Path()));

    TraceLog::Seams seams;
    seams.strAppName = L"NolvexConnect";
    seams.strFolder = m_folder.Path() + L"logs";
    TraceLog log(seams);
    log.Write(LOG_DEBUG, L"a.cpp", L"A::B", 1, L"debug from the initialization file");
    int iLevel = log.GetLevel();
    std::wstring strIniFolder = IniFile::GetInstance().GetFolder();
    reg.SetRegeditValue(L"t", HKEY_LOCAL_MACHINE, WinRegInfo::ProductKey(), L"Path", strOldPath);
    EXPECT_EQ(1, iLevel);
    EXPECT_EQ(m_folder.Path(), strIniFolder);
}

// Threads that write the setting (and log while doing so) beside threads that only log: the
// logger reads the setting's values before its lines, and nothing may wait in a circle.
TEST_F(TraceLogSettingsTest, WritersAndLoggersNeverWaitForEachOther)
{
    UserSettingFile &settings = UserSettingFile::GetInstance();
    ASSERT_TRUE(WriteNumbered(settings, m_strDefaultPath, 1));
    TraceLog::GetInstance().SetLogLevel(1);
    std::atomic<int> iDone(0);
    std::vector<std::thread> vecThreads;
    for (int t = 0; t < 4; ++t) {
        vecThreads.emplace_back([&, t]() {
            for (int i = 0; i < kRounds; ++i) {
                if (t % 2 == 0) {
                    settings.SetNolvexID(L"writer" + std::to_wstring(t) + L"-" + std::to_wstring(i));
                    settings.WriteSetting();
                    settings.ReadSetting();
                } else {
                    LOGWRITE(LOG_DEBUG, L"logger %d line %d", t, i);
                }
            }
            ++iDone;
        });
    }
    DWORD dwStart = GetTickCount();
    while (iDone < 4 && GetTickCount() - dwStart < kDeadlockLimitMs) Sleep(50);
    if (iDone < 4) {
        ADD_FAILURE() << "threads still waiting after " << kDeadlockLimitMs << " ms: a lock cycle";
        TerminateProcess(GetCurrentProcess(), 1);
    }
    for (std::thread &thread : vecThreads) thread.join();
    TraceLog::GetInstance().SetLogLevel(0);
}
