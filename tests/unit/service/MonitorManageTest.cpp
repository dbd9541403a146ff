#include "MonitorManage.h"
#include "MonitorStart.h"
#include "ScopedHandle.h"
#include "StartThreadTable.h"
#include "TraceLog.h"
#include <gtest/gtest.h>
#include <chrono>
#include <future>
#include <string>

namespace {
long Analyse(const std::wstring &strMessage, HANDLE hThread = nullptr)
{
    MonitorManage manage;
    if (manage.Init() != 0) return -1000;
    return manage.MessageAnalysis(strMessage, hThread);
}

// A real thread handle of the calling thread, as the client worker passes its own.
HANDLE OwnThreadHandle()
{
    HANDLE h = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &h, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    return h;
}

std::wstring ActiveUser()
{
    MonitorManage manage;
    return manage.GetAccessUserName();
}
}  // namespace

class MonitorManageTest : public ::testing::Test {
protected:
    void TearDown() override { TraceLog::GetInstance().SetLogLevel(0); }
};

TEST_F(MonitorManageTest, LogLevelOneSwitchesDebugOnAndFiveIsOnlyStored)
{
    EXPECT_EQ(0, Analyse(L"LogLevel=1"));
    EXPECT_EQ(1, g_iLogLevel);
    EXPECT_EQ(1, TraceLog::GetInstance().GetLevel());
    EXPECT_EQ(0, Analyse(L"LogLevel=5"));
    EXPECT_EQ(5, g_iLogLevel);
    EXPECT_EQ(1, TraceLog::GetInstance().GetLevel());
    EXPECT_EQ(0, Analyse(L"LogLevel=0"));
    EXPECT_EQ(0, TraceLog::GetInstance().GetLevel());
}

TEST_F(MonitorManageTest, UnknownKeywordsAndCaseMismatchesGiveMinusOne)
{
    EXPECT_EQ(-1, Analyse(L"Hello=1"));
    EXPECT_EQ(-1, Analyse(L"loglevel=1"));
    EXPECT_EQ(-1, Analyse(L""));
    EXPECT_EQ(-1, Analyse(L"\x3042\x3044\x3046"));
}

TEST_F(MonitorManageTest, MonitorEndWithoutWatchReturnsZero)
{
    size_t nBefore = g_hStartThread.Size();
    EXPECT_EQ(0, Analyse(L"MonitorEnd=C:\\Users\\nobody\\NolvexConnect"));
    EXPECT_EQ(nBefore, g_hStartThread.Size());
}

TEST_F(MonitorManageTest, MonitorEndWakesTheWatchOfTheSameUserAtOnce)
{
    std::wstring strUser = ActiveUser();
    ASSERT_FALSE(strUser.empty()) << "the session simulator should report a console user";
    std::wstring strStart = L"MonitorStart=" + std::to_wstring(GetCurrentProcessId()) + L",C:\\u,0,0";
    std::promise<HANDLE> registered;
    auto watch = std::async(std::launch::async, [&] {
        ScopedHandle hOwn(OwnThreadHandle());
        registered.set_value(hOwn.Get());
        return Analyse(strStart, hOwn.Get());
    });
    HANDLE hWatcher = registered.get_future().get();
    // Wait until the watch has registered itself.
    for (int i = 0; i < 200 && g_hStartThread.Find(strUser) != hWatcher; ++i) Sleep(10);
    ASSERT_EQ(hWatcher, g_hStartThread.Find(strUser));

    auto begun = std::chrono::steady_clock::now();
    EXPECT_EQ(0, Analyse(L"MonitorEnd=C:\\u"));
    ASSERT_EQ(std::future_status::ready, watch.wait_for(std::chrono::seconds(10)));
    EXPECT_EQ(0, watch.get());
    EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::seconds(10));
    EXPECT_EQ(nullptr, g_hStartThread.Find(strUser));
}

TEST_F(MonitorManageTest, SecondMonitorStartOfTheSameUserKeepsTheFirstHandle)
{
    std::wstring strUser = ActiveUser();
    HANDLE hFirst = reinterpret_cast<HANDLE>(0x1234);
    HANDLE hSecond = reinterpret_cast<HANDLE>(0x5678);
    ASSERT_TRUE(g_hStartThread.InsertIfAbsent(strUser, hFirst));
    EXPECT_FALSE(g_hStartThread.InsertIfAbsent(strUser, hSecond));
    EXPECT_EQ(hFirst, g_hStartThread.Find(strUser));
    // A watch that ends removes only its own entry.
    g_hStartThread.EraseIfOwned(strUser, hSecond);
    EXPECT_EQ(hFirst, g_hStartThread.Find(strUser));
    g_hStartThread.EraseIfOwned(strUser, hFirst);
    EXPECT_EQ(nullptr, g_hStartThread.Find(strUser));
}

TEST_F(MonitorManageTest, MonitorStartFieldsSetProcessIdAndLogLevel)
{
    // A process id that does not exist: the watch ends after its first wait and the end handling
    // runs; the entry of the finished watch is gone afterwards.
    std::wstring strUser = ActiveUser();
    ScopedHandle hOwn(OwnThreadHandle());
    auto begun = std::chrono::steady_clock::now();
    EXPECT_EQ(0, Analyse(L"MonitorStart=3999996,C:\\Users\\u,x\\y,1,1", hOwn.Get()));
    EXPECT_GE(std::chrono::steady_clock::now() - begun, std::chrono::milliseconds(MonitorManage::WATCH_INTERVAL_MS - 1000));
    EXPECT_EQ(3999996, g_dwProcessID);
    EXPECT_EQ(1, g_iLogLevel);   // "1,1": the last field starts with the digit 1
    EXPECT_EQ(nullptr, g_hStartThread.Find(strUser));
}

TEST_F(MonitorManageTest, RollBackUpdateWithTextActsLikeTheBareKeyword)
{
    long lBare = Analyse(L"RollBackUpdate");
    EXPECT_EQ(lBare, Analyse(L"RollBackUpdate=anything, at all"));
    EXPECT_EQ(lBare, Analyse(L"RollBackUpdate="));
}

TEST(MonitorStartTest, ProcessCheckFindsOnlyLiveProcesses)
{
    MonitorStart start;
    EXPECT_EQ(1, start.ProcessCheck(GetCurrentProcessId()));
    EXPECT_EQ(0, start.ProcessCheck(0xFFFFFFF0u));
}

TEST(MonitorStartTest, QueueUserWakesAnAlertableThreadAndIgnoresNull)
{
    MonitorStart start;
    EXPECT_EQ(0, start.QueueUser(nullptr));
    std::promise<HANDLE> ready;
    auto waiter = std::async(std::launch::async, [&] {
        ScopedHandle hOwn(OwnThreadHandle());
        ready.set_value(hOwn.Get());
        return SleepEx(20000, TRUE);
    });
    HANDLE h = ready.get_future().get();
    Sleep(100);
    EXPECT_EQ(0, start.QueueUser(h));
    ASSERT_EQ(std::future_status::ready, waiter.wait_for(std::chrono::seconds(10)));
    EXPECT_EQ(static_cast<DWORD>(WAIT_IO_COMPLETION), waiter.get());
}
