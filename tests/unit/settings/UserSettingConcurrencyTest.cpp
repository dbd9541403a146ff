#include "ScopedHandle.h"
#include "SettingsTestHelp.h"
#include "TestFiles.h"
#include "UserSettingFile.h"
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {
const DWORD kWorkerTimeoutMs = 240000;
const int kThreads = 4;
const int kRounds = 30;
const int kKillRounds = 8;

std::string Narrow(const std::wstring &str)
{
    return std::string(str.begin(), str.end());
}

// Starts nc_settingsworker with the arguments; the handle owns the process.
ScopedHandle StartWorker(const std::wstring &strArgs)
{
    std::wstring strCommand = L"\"" + ProgramFolder() + L"nc_settingsworker.exe\" " + strArgs;
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, &strCommand[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return ScopedHandle();
    CloseHandle(pi.hThread);
    return ScopedHandle(pi.hProcess);
}
}  // namespace

class UserSettingConcurrencyTest : public ::testing::Test {
protected:
    UserSettingConcurrencyTest() : m_key(L"UserSettingFile") {}

    void SetUp() override
    {
        ASSERT_TRUE(m_key.Set(kTestSettingKey));
        m_strPath = m_folder.Path() + L"UserSetting.xml";
    }

    TestFolder m_folder;
    ProductKeyValue m_key;
    std::wstring m_strPath;
};

// Killed at any moment, the writer leaves the old file or the new one, never a broken one.
TEST_F(UserSettingConcurrencyTest, KillingTheWriterLeavesAWholeFile)
{
    UserSettingFile file;
    ASSERT_TRUE(WriteNumbered(file, m_strPath, 1));
    std::mt19937 random(GetCurrentProcessId());
    std::uniform_int_distribution<int> pause(200, 1500);
    long lLast = 1;
    int iChanged = 0;
    for (int i = 0; i < kKillRounds; ++i) {
        ScopedHandle hWorker = StartWorker(L"writeloop \"" + m_strPath + L"\"");
        ASSERT_TRUE(hWorker.IsValid()) << "error " << GetLastError();
        Sleep((DWORD)pause(random));
        ASSERT_TRUE(TerminateProcess(hWorker.Get(), 1));
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hWorker.Get(), kWorkerTimeoutMs));
        std::wstring strProblem;
        long lNumber = ReadNumbered(file, m_strPath, strProblem);
        ASSERT_GE(lNumber, 0) << "round " << i << ": " << Narrow(strProblem);
        if (lNumber != lLast) ++iChanged;
        lLast = lNumber;
    }
    // The worker did get to write (otherwise nothing was tested).
    EXPECT_GT(iChanged, 0);
}

// Two programs with four threads each read and write the same file at once: every read sees one
// whole file.
TEST_F(UserSettingConcurrencyTest, TwoProcessesAndFourThreadsEachNeverSeeAMixedFile)
{
    {
        UserSettingFile file;
        ASSERT_TRUE(WriteNumbered(file, m_strPath, 1));
    }
    ScopedHandle hWorker = StartWorker(L"stress \"" + m_strPath + L"\" " + std::to_wstring(kThreads) + L" " +
                                       std::to_wstring(kRounds));
    ASSERT_TRUE(hWorker.IsValid()) << "error " << GetLastError();
    volatile LONG lBad = 0;
    volatile LONG lReads = 0;
    std::vector<std::thread> vecThreads;
    for (int t = 0; t < kThreads; ++t) {
        vecThreads.emplace_back([&, t]() {
            UserSettingFile file;
            for (int i = 0; i < kRounds; ++i) {
                std::wstring strProblem;
                if (i % 2 == 0) {
                    WriteNumbered(file, m_strPath, 1000u * (unsigned long)(t + 1) + (unsigned long)i);
                } else if (ReadNumbered(file, m_strPath, strProblem) < 0) {
                    InterlockedIncrement(&lBad);
                    ADD_FAILURE() << "thread " << t << ": " << Narrow(strProblem);
                } else {
                    InterlockedIncrement(&lReads);
                }
            }
        });
    }
    for (std::thread &thread : vecThreads) thread.join();
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hWorker.Get(), kWorkerTimeoutMs));
    DWORD dwExit = 1;
    ASSERT_TRUE(GetExitCodeProcess(hWorker.Get(), &dwExit));
    EXPECT_EQ(0u, dwExit) << "bad reads in the other process";
    EXPECT_EQ(0, lBad);
    EXPECT_EQ(kThreads * kRounds / 2, lReads);
}

// One shared object: readers, a writer and the value getters on several threads at once.
TEST_F(UserSettingConcurrencyTest, OneSharedObjectSurvivesReadersAndAWriter)
{
    UserSettingFile shared;
    ASSERT_TRUE(WriteNumbered(shared, m_strPath, 7));
    volatile LONG lBad = 0;
    std::vector<std::thread> vecThreads;
    for (int t = 0; t < kThreads; ++t) {
        vecThreads.emplace_back([&, t]() {
            for (int i = 0; i < kRounds; ++i) {
                if (t == 0) {
                    if (!shared.WriteSetting(m_strPath)) InterlockedIncrement(&lBad);
                } else if (t == 1) {
                    if (!shared.ReadSetting(m_strPath)) InterlockedIncrement(&lBad);
                } else {
                    // Each getter gives a whole value: one of the file's or empty while a read
                    // starts over.
                    std::wstring strId = shared.GetNolvexID();
                    if (!strId.empty() && strId != L"user<7>&co") InterlockedIncrement(&lBad);
                    shared.GetChanged();
                }
            }
        });
    }
    for (std::thread &thread : vecThreads) thread.join();
    EXPECT_EQ(0, lBad);
    std::wstring strProblem;
    EXPECT_EQ(7, ReadNumbered(shared, m_strPath, strProblem)) << Narrow(strProblem);
}
