#include "ChildProcess.h"
#include "Log.h"
#include "MonitorManage.h"
#include "MonitorUpdate.h"
#include "PipeSender.h"
#include "ScopedHandle.h"
#include "ServiceGlobals.h"
#include "StartThreadTable.h"
#include "TestFiles.h"
#include "TraceLog.h"
#include <gtest/gtest.h>
#include <chrono>
#include <future>
#include <string>

// A watch (MonitorStart) and the update's wait (DoUpdate) wait on the client process itself and
// on the service's stop event, with live processes of their own.
namespace {
const auto kPrompt = std::chrono::seconds(2);
const auto kStillWaiting = std::chrono::milliseconds(500);

HANDLE OwnThreadHandle()
{
    HANDLE h = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &h, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    return h;
}

long Analyse(const std::wstring &strMessage)
{
    ScopedHandle hOwn(OwnThreadHandle());
    MonitorManage manage;
    if (manage.Init() != 0) return -1000;
    return manage.MessageAnalysis(strMessage, hOwn.Get());
}

size_t LogCount(const std::wstring &strText)
{
    TraceLog &log = TraceLog::GetInstance();
    size_t n = 0;
    for (const std::wstring &strLine : ReadLogLines(log.GetFolder() + log.GetFileName())) {
        if (strLine.find(strText) != std::wstring::npos) ++n;
    }
    return n;
}

// A DoUpdate from the installed client of an install folder of the test's own: the sender is the
// process the message names, running NolvexConnect.exe of that folder.
long AnalyseUpdate(const std::wstring &strInstallPath, DWORD dwPid)
{
    ScopedHandle hOwn(OwnThreadHandle());
    ScopedHandle hToken;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE, hToken.Receive())) return -1001;
    PipeSender sender(dwPid, strInstallPath + L"NolvexConnect.exe", hToken.Get());
    MonitorManage manage;
    if (manage.Init() != 0) return -1000;
    MonitorUpdate::Seams seams;
    seams.strInstallPath = strInstallPath;
    manage.UseUpdate(std::unique_ptr<MonitorUpdate>(new MonitorUpdate(seams)));
    return manage.MessageAnalysis(L"DoUpdate=" + std::to_wstring(dwPid) + L",C:\\diff", hOwn.Get(), sender);
}

std::wstring StartMessage(DWORD dwPid)
{
    return L"MonitorStart=" + std::to_wstring(dwPid) + L",C:\\watch,0,0";
}
}  // namespace

class ClientWatchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LOGWRITE(LOG_INFO, L"ClientWatchTest begins");   // the log file of this run exists from here on
        m_hStop.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        ASSERT_TRUE(m_hStop.IsValid());
        g_hEventControl = m_hStop.Get();
        ASSERT_TRUE(m_first.Launch(L"\"" + ProgramFolder() + L"nc_sleeper.exe\" 120"));
        ASSERT_TRUE(m_second.Launch(L"\"" + ProgramFolder() + L"nc_sleeper.exe\" 120"));
    }
    void TearDown() override
    {
        SetEvent(m_hStop.Get());   // no watch outlives its test
        m_first.End();
        m_second.End();
        for (auto *pFuture : {&m_watchA, &m_watchB}) {
            if (pFuture->valid()) pFuture->wait_for(std::chrono::seconds(10));
        }
        g_hEventControl = nullptr;
        TraceLog::GetInstance().SetLogLevel(0);
    }
    std::future<long> Begin(const std::wstring &strMessage)
    {
        return std::async(std::launch::async, [strMessage] { return Analyse(strMessage); });
    }
    std::future<long> BeginUpdate(DWORD dwPid)
    {
        std::wstring strInstall = m_install.Path();
        return std::async(std::launch::async, [strInstall, dwPid] { return AnalyseUpdate(strInstall, dwPid); });
    }
    static bool Waiting(std::future<long> &f) { return f.wait_for(kStillWaiting) == std::future_status::timeout; }
    static bool EndsPromptly(std::future<long> &f) { return f.wait_for(kPrompt) == std::future_status::ready; }

    ScopedHandle m_hStop;
    ChildProcess m_first;
    ChildProcess m_second;
    std::future<long> m_watchA;
    std::future<long> m_watchB;
    TestFolder m_install;
};

TEST_F(ClientWatchTest, AClientThatEndsIsNoticedAtOnceNotAtTheNextTick)
{
    std::wstring strEnded = L"The client process " + std::to_wstring(m_first.Pid()) + L" has ended.";
    size_t nEnded = LogCount(strEnded);
    m_watchA = Begin(StartMessage(m_first.Pid()));
    ASSERT_TRUE(Waiting(m_watchA));
    m_first.End();
    ASSERT_TRUE(EndsPromptly(m_watchA));
    EXPECT_EQ(0, m_watchA.get());   // the user settings cannot be read here: end handling stops there
    EXPECT_EQ(nEnded + 1, LogCount(strEnded));
}

TEST_F(ClientWatchTest, EachWatchWaitsForItsOwnClient)
{
    m_watchA = Begin(StartMessage(m_first.Pid()));
    ASSERT_TRUE(Waiting(m_watchA));
    // The second MonitorStart overwrites the process-wide id; the first watch keeps its own.
    m_watchB = Begin(StartMessage(m_second.Pid()));
    ASSERT_TRUE(Waiting(m_watchB));
    m_second.End();
    ASSERT_TRUE(EndsPromptly(m_watchB));
    EXPECT_TRUE(Waiting(m_watchA)) << "the first client still runs";
    m_first.End();
    EXPECT_TRUE(EndsPromptly(m_watchA));
}

TEST_F(ClientWatchTest, AStopEndsTheWatchWithoutEndHandling)
{
    size_t nStopped = LogCount(L"ends without end handling.");
    size_t nEndChecks = LogCount(L"End ProcessCheck");
    m_watchA = Begin(StartMessage(m_first.Pid()));
    ASSERT_TRUE(Waiting(m_watchA));
    SetEvent(m_hStop.Get());
    ASSERT_TRUE(EndsPromptly(m_watchA));
    EXPECT_EQ(0, m_watchA.get());
    EXPECT_EQ(nStopped + 1, LogCount(L"ends without end handling."));
    EXPECT_EQ(nEndChecks, LogCount(L"End ProcessCheck"));
    EXPECT_TRUE(m_first.IsRunning());
}

TEST_F(ClientWatchTest, TheUpdateStartsWhenTheClientEndsAndNotOnAStop)
{
    size_t nStarted = LogCount(L"End Update ProcessCheck");
    m_watchA = BeginUpdate(m_first.Pid());
    ASSERT_TRUE(Waiting(m_watchA));
    m_first.End();
    ASSERT_TRUE(EndsPromptly(m_watchA));
    EXPECT_EQ(-1, m_watchA.get());   // C:\diff is no update folder of the user's: refused
    EXPECT_EQ(nStarted + 1, LogCount(L"End Update ProcessCheck"));

    m_watchB = BeginUpdate(m_second.Pid());
    ASSERT_TRUE(Waiting(m_watchB));
    SetEvent(m_hStop.Get());
    ASSERT_TRUE(EndsPromptly(m_watchB));
    EXPECT_EQ(-1, m_watchB.get());
    EXPECT_EQ(nStarted + 1, LogCount(L"End Update ProcessCheck")) << "a stop must not start the update";
    EXPECT_GE(LogCount(L"the update of [C:\\diff] is not applied."), 1u);
}

TEST_F(ClientWatchTest, AMonitorEndThatComesWithTheClientsEndIsNoCrash)
{
    size_t nLate = LogCount(L"came with the end of its client.");
    size_t nCrashes = LogCount(L"GetUserSetting Error");
    m_watchA = Begin(StartMessage(m_first.Pid()));
    ASSERT_TRUE(Waiting(m_watchA));
    // The client writes MonitorEnd and exits at once: the watch may see the exit first.
    m_first.End();
    EXPECT_EQ(0, Analyse(L"MonitorEnd=C:\\watch"));
    ASSERT_TRUE(EndsPromptly(m_watchA));
    EXPECT_EQ(0, m_watchA.get());
    EXPECT_EQ(nCrashes, LogCount(L"GetUserSetting Error"));
    EXPECT_LE(LogCount(L"came with the end of its client."), nLate + 1);
}

TEST_F(ClientWatchTest, AMonitorEndStillWakesAWatchThatWaitsOnItsProcess)
{
    MonitorManage probe;
    std::wstring strUser = probe.GetAccessUserName();
    ASSERT_FALSE(strUser.empty());
    m_watchA = Begin(StartMessage(m_first.Pid()));
    for (int i = 0; i < 200 && g_hStartThread.Find(strUser) == nullptr; ++i) Sleep(10);
    ASSERT_NE(nullptr, g_hStartThread.Find(strUser));
    EXPECT_EQ(0, Analyse(L"MonitorEnd=C:\\watch"));
    ASSERT_TRUE(EndsPromptly(m_watchA));
    EXPECT_EQ(0, m_watchA.get());
    EXPECT_TRUE(m_first.IsRunning());
}
