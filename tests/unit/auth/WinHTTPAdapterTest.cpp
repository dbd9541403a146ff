// The adapter's threads and waits against a server that stalls (the scenario tests cover the
// exchanges themselves against the mock servers).
#include "StallServer.h"
#include "MessageIds.h"
#include "WinHTTPAdapter.h"
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace {
const DWORD kCancelBoundMs = 2000;
const int kWaiters = 3;

// Waits like every caller does: until -1 or 10.
long WaitForEnd(HTTP_Connection &adapter)
{
    long lStatus = adapter.GetStatus();
    while (lStatus != HTTP_Connection::STATUS_IDLE && lStatus != HTTP_Connection::STATUS_CANCELED)
        lStatus = adapter.WaitStatusChange();
    return lStatus;
}

// Until the worker reads the body (status 2 after the headers arrived).
bool WaitForReceiving(HTTP_Connection &adapter)
{
    for (int i = 0; i < 100; ++i) {
        long lStatus = adapter.WaitStatusChange();
        if (lStatus == HTTP_Connection::STATUS_RECEIVING) return true;
        if (lStatus == HTTP_Connection::STATUS_IDLE || lStatus == HTTP_Connection::STATUS_CANCELED) return false;
    }
    return false;
}
}   // namespace

class WinHTTPAdapterTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_server.Start()); }
    StallServer m_server;
};

TEST_F(WinHTTPAdapterTest, EmptyUrlEndsWith8551WithoutConnecting)
{
    std::unique_ptr<HTTP_Connection> pAdapter(CreateHTTPConnection());
    ASSERT_TRUE(pAdapter);
    HttpRequestInfo request;
    request.strMethod = L"GET";
    ASSERT_TRUE(pAdapter->URLOpen(&request, L""));
    EXPECT_EQ(HTTP_Connection::STATUS_IDLE, WaitForEnd(*pAdapter));
    EXPECT_EQ(MSG_HTTP_INVALID_PARAMETER, request.lResult);
    EXPECT_EQ(0, m_server.Connections());
}

TEST_F(WinHTTPAdapterTest, SecondRequestWhileOneRunsIsRefusedAndLeavesItsRecordAlone)
{
    WinHTTPAdapter adapter;
    HttpRequestInfo first, second;
    first.strURL = m_server.URL(L"/stall");
    first.strMethod = L"GET";
    second.strURL = m_server.URL(L"/other");
    second.strMethod = L"get";
    ASSERT_TRUE(adapter.URLOpen(&first, L""));
    ASSERT_TRUE(WaitForReceiving(adapter));
    EXPECT_FALSE(adapter.URLOpen(&second, L""));
    EXPECT_EQ(L"get", second.strMethod);   // not even upper-cased: the record was not taken
    EXPECT_EQ(HTTP_Connection::STATUS_RECEIVING, adapter.GetStatus());
    adapter.Cancel();
    EXPECT_EQ(HTTP_Connection::STATUS_CANCELED, WaitForEnd(adapter));
    EXPECT_EQ(MSG_CONNECTION_CANCELED, first.lResult);
    EXPECT_EQ(1, m_server.Connections());
    m_server.Stop();   // the worker leaves its blocking call; the destructor joins it
}

TEST_F(WinHTTPAdapterTest, CancelOnAStalledServerEndsEveryWaiterInTime)
{
    WinHTTPAdapter adapter;
    HttpRequestInfo request;
    request.strURL = m_server.URL(L"/stall");
    request.strMethod = L"GET";
    ASSERT_TRUE(adapter.URLOpen(&request, L""));
    ASSERT_TRUE(WaitForReceiving(adapter));
    long alEnd[kWaiters] = {};
    DWORD adwEndTick[kWaiters] = {};
    std::vector<std::thread> waiters;
    for (int i = 0; i < kWaiters; ++i) {
        waiters.emplace_back([&, i]() {
            alEnd[i] = WaitForEnd(adapter);
            adwEndTick[i] = GetTickCount();
        });
    }
    Sleep(200);   // the waiters are waiting
    DWORD dwCancelTick = GetTickCount();
    adapter.Cancel();
    for (std::thread &t : waiters) t.join();
    for (int i = 0; i < kWaiters; ++i) {
        EXPECT_EQ(HTTP_Connection::STATUS_CANCELED, alEnd[i]);
        EXPECT_LT(adwEndTick[i] - dwCancelTick, kCancelBoundMs);
    }
    EXPECT_EQ(MSG_CONNECTION_CANCELED, request.lResult);
    EXPECT_EQ(HTTP_Connection::STATUS_CANCELED, adapter.WaitStatusChange());
    m_server.Stop();   // the worker leaves its blocking call; the destructor joins it
}

TEST_F(WinHTTPAdapterTest, EveryWaitIsBoundedByTheRequestsWaitValue)
{
    WinHTTPAdapter adapter;
    HttpRequestInfo request;
    request.strURL = m_server.URL(L"/stall");
    request.strMethod = L"GET";
    request.lWaitValue = 300;
    ASSERT_TRUE(adapter.URLOpen(&request, L""));
    ASSERT_TRUE(WaitForReceiving(adapter));
    DWORD dwStart = GetTickCount();
    EXPECT_EQ(HTTP_Connection::STATUS_RECEIVING, adapter.WaitStatusChange());   // nothing changed
    DWORD dwElapsed = GetTickCount() - dwStart;
    EXPECT_GE(dwElapsed, 250u);
    EXPECT_LT(dwElapsed, kCancelBoundMs);
    adapter.Cancel();
    EXPECT_EQ(HTTP_Connection::STATUS_CANCELED, WaitForEnd(adapter));
    m_server.Stop();
}

TEST_F(WinHTTPAdapterTest, DeletingARunningAdapterCancelsAndJoinsItsWorker)
{
    HttpRequestInfo request;
    request.strURL = m_server.URL(L"/stall");
    request.strMethod = L"GET";
    std::thread stopper;
    {
        WinHTTPAdapter adapter;
        ASSERT_TRUE(adapter.URLOpen(&request, L""));
        ASSERT_TRUE(WaitForReceiving(adapter));
        stopper = std::thread([this]() {
            Sleep(500);
            m_server.Stop();
        });
    }   // returns only once the worker has ended, which needs the server to let go
    EXPECT_EQ(0, m_server.Connections() - 1);
    EXPECT_EQ(MSG_CONNECTION_CANCELED, request.lResult);
    stopper.join();
}
