#include "HTTP_Connection.h"
#include "MessageIds.h"
#include "RegistTerminal.h"
#include "ScopedHandle.h"
#include <set>
#include <gtest/gtest.h>
#include <vector>

namespace {
struct Notice {
    long lMsg, lTitle, lStatus;
    std::wstring strText;
};

class RecordingHook : public NotifyHook {
public:
    void NotifyError(long lMsgCode, long lTitleCode, long lDispStatus, const std::wstring &strAddMsg) override
    {
        vecNotices.push_back({lMsgCode, lTitleCode, lDispStatus, strAddMsg});
    }
    std::vector<Notice> vecNotices;
};

ErrorInfo InfoOf(RegistTerminal &regist)
{
    ErrorInfo info;
    regist.GetErrorInfo(&info);
    return info;
}
}   // namespace

class RegistTerminalTest : public ::testing::Test {
protected:
    void SetUp() override { m_regist.SetNotifyHook(&m_hook); }
    RecordingHook m_hook;
    RegistTerminal m_regist;
};

TEST_F(RegistTerminalTest, ANewObjectReportsNothingYet)
{
    ErrorInfo info = InfoOf(m_regist);
    EXPECT_EQ(-1, info.Status);
    EXPECT_EQ(0, info.MsgCode);
    EXPECT_FALSE(info.isProfileLoad || info.isUpdateModule || info.isUpdateCancel || info.isNetworkError || info.isNotifyMsg);
}

TEST_F(RegistTerminalTest, ErrorsGetStatusFiveAndStayOutOfTheHookWithoutNotify)
{
    m_regist.SetErrorInfo(MSG_REG_DEVICE_LIMIT, 0, RegistTerminal::STATUS_COMPUTE, L"[2203025]", false);
    ErrorInfo info = InfoOf(m_regist);
    EXPECT_EQ(5, info.Status);
    EXPECT_EQ(8770, info.MsgCode);
    EXPECT_EQ(L"[2203025]", info.AddMsg);
    EXPECT_FALSE(info.isNotifyMsg);
    EXPECT_TRUE(m_hook.vecNotices.empty());
}

TEST_F(RegistTerminalTest, StatusTextsMoveToTheTitleAndCancelLikeOutcomesAreInformational)
{
    m_regist.SetErrorInfo(MSG_CONNECTION_CANCELED, 0, RegistTerminal::STATUS_COMPUTE, L"", true);
    ASSERT_EQ(1u, m_hook.vecNotices.size());
    EXPECT_EQ(0, m_hook.vecNotices[0].lMsg);
    EXPECT_EQ(18500, m_hook.vecNotices[0].lTitle);
    EXPECT_EQ(200, m_hook.vecNotices[0].lStatus);
    EXPECT_EQ(0, InfoOf(m_regist).MsgCode);
    for (long lTitle : {18601L, 28506L}) {
        m_regist.SetErrorInfo(0, lTitle, RegistTerminal::STATUS_COMPUTE, L"", false);
        EXPECT_EQ(200, InfoOf(m_regist).Status) << lTitle;
    }
    m_regist.SetErrorInfo(MSG_HTTP_PROFILE_UPDATED_ON_CANCEL, 0, RegistTerminal::STATUS_COMPUTE, L"", false);
    EXPECT_EQ(200, InfoOf(m_regist).Status);
    EXPECT_EQ(8501, InfoOf(m_regist).MsgCode);
    // A title above 10000 keeps a large message id where it is.
    m_regist.SetErrorInfo(18601, 28504, 100, L" 50%", false);
    EXPECT_EQ(18601, InfoOf(m_regist).MsgCode);
    EXPECT_EQ(100, InfoOf(m_regist).Status);
    // Any other id computes to an error.
    m_regist.SetErrorInfo(0, 14000, RegistTerminal::STATUS_COMPUTE, L"", false);
    EXPECT_EQ(5, InfoOf(m_regist).Status);
}

TEST_F(RegistTerminalTest, OnceNotifiedTheFlagStays)
{
    m_regist.SetErrorInfo(0, MSG_PROGRESS_SENDING_INFO, 200, L"", true);
    m_regist.SetErrorInfo(MSG_REG_UNEXPECTED, 0, RegistTerminal::STATUS_COMPUTE, L"[1]", false);
    EXPECT_TRUE(InfoOf(m_regist).isNotifyMsg);
    EXPECT_EQ(1u, m_hook.vecNotices.size());
}

TEST_F(RegistTerminalTest, CancelWithoutAnExchangeNotifiesAndEndsAtOnce)
{
    DWORD dwStart = GetTickCount();
    m_regist.Cancel();
    EXPECT_LT(GetTickCount() - dwStart, 1000u);
    ASSERT_EQ(2u, m_hook.vecNotices.size());
    EXPECT_EQ(26002, m_hook.vecNotices[0].lTitle);
    EXPECT_EQ(2, m_hook.vecNotices[0].lStatus);
    EXPECT_EQ(18500, m_hook.vecNotices[1].lTitle);
    EXPECT_EQ(200, m_hook.vecNotices[1].lStatus);
    // A cancelled object does not start the update exchange.
    EXPECT_EQ(18500, m_regist.ExecUpdate(true));
}

TEST(RegistTerminalStaticTest, OnlyHttpsUnlessPlainHttpIsAllowed)
{
    EXPECT_TRUE(RegistTerminal::IsAllowedScheme(L"https://regist.example/", false));
    EXPECT_TRUE(RegistTerminal::IsAllowedScheme(L"HTTPS://regist.example/", false));
    EXPECT_FALSE(RegistTerminal::IsAllowedScheme(L"http://regist.example/", false));
    EXPECT_TRUE(RegistTerminal::IsAllowedScheme(L"http://127.0.0.1:8080/", true));
    EXPECT_FALSE(RegistTerminal::IsAllowedScheme(L"ftp://regist.example/", true));
    EXPECT_FALSE(RegistTerminal::IsAllowedScheme(L"regist.example/", true));
    EXPECT_FALSE(RegistTerminal::IsAllowedScheme(L"", true));
    EXPECT_EQ(L"NolvexConnect-1207", RegistTerminal::ArchivePassword(L"1207"));
    std::wstring strText;
    EXPECT_EQ(8770, RegistTerminal::GetInternalErrorCode(L"2203025", L"registTerminal", strText));
    EXPECT_EQ(5230, RegistTerminal::GetInternalErrorCode(L"2203025", L"notifyConnectErr", strText));
    EXPECT_FALSE(RegistTerminal::IsResultCodeFromServer(L"12a"));
    EXPECT_EQ(L"a%2fb+c", RegistTerminal::GetURLEncode(L"a/b c"));
}

namespace {
// An HTTP connection that knows whether it is still alive when it is used: Cancel takes a while,
// so a connection deleted meanwhile by the exchange thread would be seen.
class WatchedHttp : public HTTP_Connection {
public:
    static CriticalSection s_cs;
    static std::set<const WatchedHttp *> s_live;
    static volatile LONG s_lUsedAfterDelete;
    static volatile LONG s_lCancelled;

    WatchedHttp()
    {
        CriticalSection::Lock lock(s_cs);
        s_live.insert(this);
    }
    ~WatchedHttp() override
    {
        Sleep(2);   // a deletion that takes a moment: a Cancel arriving meanwhile must not start
        CriticalSection::Lock lock(s_cs);
        s_live.erase(this);
    }
    bool URLOpen(HttpRequestInfo *, const std::wstring &) override { return false; }
    void Cancel() override
    {
        Sleep(5);
        CheckAlive();
        InterlockedIncrement(&s_lCancelled);
    }
    long GetStatus() override
    {
        CheckAlive();
        return STATUS_IDLE;
    }
    long WaitStatusChange() override { return GetStatus(); }

private:
    void CheckAlive() const
    {
        CriticalSection::Lock lock(s_cs);
        if (s_live.count(this) == 0) InterlockedIncrement(&s_lUsedAfterDelete);
    }
};
CriticalSection WatchedHttp::s_cs;
std::set<const WatchedHttp *> WatchedHttp::s_live;
volatile LONG WatchedHttp::s_lUsedAfterDelete = 0;
volatile LONG WatchedHttp::s_lCancelled = 0;

struct RaceState {
    RegistTerminal *pRegist;
    volatile LONG lStop;
};

DWORD WINAPI CancelLoop(LPVOID pParam)
{
    auto *pState = static_cast<RaceState *>(pParam);
    while (!pState->lStop) pState->pRegist->Cancel();
    return 0;
}
}   // namespace

// The exchange thread creates and deletes the HTTP connection while Cancel, on another thread,
// uses it: Cancel must never reach a deleted connection.
TEST(RegistTerminalRaceTest, CancelNeverUsesAConnectionTheExchangeDeleted)
{
    RegistTerminal::Seams seams;
    seams.pfnCreateHttp = []() -> HTTP_Connection * { return new WatchedHttp(); };
    RegistTerminal regist(seams);
    RaceState state = {&regist, 0};
    ScopedHandle hThread(CreateThread(nullptr, 0, &CancelLoop, &state, 0, nullptr));
    ASSERT_TRUE(hThread.IsValid());
    const int kRounds = 300;
    for (int i = 0; i < kRounds; ++i) regist.ExecRegistTerminal(0, L"pw", 0, false, 0);
    InterlockedExchange(&state.lStop, 1);
    WaitForSingleObject(hThread.Get(), 30000);
    EXPECT_EQ(0, WatchedHttp::s_lUsedAfterDelete);
    EXPECT_GT(WatchedHttp::s_lCancelled, 0);   // the race did happen
    EXPECT_TRUE(WatchedHttp::s_live.empty());
}
