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
const int kRounds = 60;
const int kKillRounds = 20;

std::string Narrow(const std::wstring &str)
{
    return std::string(str.begin(), str.end());
}

// nc_settingsworker with the arguments; ended on destruction if it still runs, so that no failed
// assertion leaves a writer behind.
class Worker {
public:
    explicit Worker(const std::wstring &strArgs)
    {
        std::wstring strCommand = L"\"" + ProgramFolder() + L"nc_settingsworker.exe\" " + strArgs;
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi = {};
        if (!CreateProcessW(nullptr, &strCommand[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return;
        CloseHandle(pi.hThread);
        m_hProcess.Reset(pi.hProcess);
    }
    ~Worker()
    {
        if (m_hProcess.IsValid() && WaitForSingleObject(m_hProcess.Get(), 0) == WAIT_TIMEOUT) Kill();
    }
    Worker(const Worker &) = delete;
    Worker &operator=(const Worker &) = delete;

    bool IsValid() const { return m_hProcess.IsValid(); }
    HANDLE Get() const { return m_hProcess.Get(); }
    // Ends it at once and waits for its end.
    bool Kill()
    {
        return TerminateProcess(m_hProcess.Get(), 1) &&
               WaitForSingleObject(m_hProcess.Get(), kWorkerTimeoutMs) == WAIT_OBJECT_0;
    }

private:
    ScopedHandle m_hProcess;
};
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
    std::uniform_int_distribution<int> pause(300, 900);
    long lLast = 1;
    int iChanged = 0;
    for (int i = 0; i < kKillRounds; ++i) {
        Worker worker(L"writeloop \"" + m_strPath + L"\"");
        ASSERT_TRUE(worker.IsValid()) << "error " << GetLastError();
        Sleep((DWORD)pause(random));
        ASSERT_TRUE(worker.Kill());
        std::wstring strProblem;
        long lNumber = ReadNumbered(file, m_strPath, strProblem);
        ASSERT_GE(lNumber, 0) << "round " << i << ": " << Narrow(strProblem);
        if (lNumber != lLast) ++iChanged;
        lLast = lNumber;
    }
    // The worker did get to write (otherwise nothing was tested).
    EXPECT_GT(iChanged, 0);
}

// A large document, rewritten in a loop by another program: whenever the reader looks, and after
// the writer is killed, the file is one whole document, the old or the new one.
TEST_F(UserSettingConcurrencyTest, ALargeDocumentIsAlwaysSeenWhole)
{
    const size_t nChars = 1024 * 1024;
    const DWORD dwWatchMs = 1500;
    std::wstring strPath = m_folder.Path() + L"large.xml";
    auto Document = [&](wchar_t c) {
        std::wstring strDoc = L"<Fill>" + std::wstring(nChars, c) + L"</Fill>\r";
        return std::string(reinterpret_cast<const char *>(strDoc.data()), strDoc.size() * sizeof(wchar_t));
    };
    const std::string strA = Document(L'A');
    const std::string strB = Document(L'B');
    std::mt19937 random(GetCurrentProcessId());
    std::uniform_int_distribution<int> pause(0, 300);
    int iSeen = 0;
    for (int i = 0; i < kKillRounds / 4; ++i) {
        Worker worker(L"xmlloop \"" + strPath + L"\" " + std::to_wstring(nChars));
        ASSERT_TRUE(worker.IsValid()) << "error " << GetLastError();
        for (DWORD dwStart = GetTickCount(); !PathExists(strPath) && GetTickCount() - dwStart < kWorkerTimeoutMs;) Sleep(10);
        for (DWORD dwStart = GetTickCount(); GetTickCount() - dwStart < dwWatchMs; ++iSeen) {
            std::string strFile = ReadBytes(strPath);
            ASSERT_TRUE(strFile == strA || strFile == strB) << "read " << iSeen << ": " << strFile.size() << " bytes";
        }
        Sleep((DWORD)pause(random));
        ASSERT_TRUE(worker.Kill());
        std::string strFile = ReadBytes(strPath);
        ASSERT_TRUE(strFile == strA || strFile == strB) << "after kill " << i << ": " << strFile.size() << " bytes";
    }
    EXPECT_GT(iSeen, 0);
}

// Two programs with four threads each read and write the same file at once: every read sees one
// whole file.
TEST_F(UserSettingConcurrencyTest, TwoProcessesAndFourThreadsEachNeverSeeAMixedFile)
{
    {
        UserSettingFile file;
        ASSERT_TRUE(WriteNumbered(file, m_strPath, 1));
    }
    Worker worker(L"stress \"" + m_strPath + L"\" " + std::to_wstring(kThreads) + L" " + std::to_wstring(kRounds));
    ASSERT_TRUE(worker.IsValid()) << "error " << GetLastError();
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
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(worker.Get(), kWorkerTimeoutMs));
    DWORD dwExit = 1;
    ASSERT_TRUE(GetExitCodeProcess(worker.Get(), &dwExit));
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
