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
// Long enough for the worker to be inside its blocking WinHTTP call after the status it reported.
const DWORD kSettleMs = 300;

// Waits like every caller does: until -1 or 10.
long WaitForEnd(HTTP_Connection &adapter)
{
    long lStatus = adapter.GetStatus();
    while (lStatus != HTTP_Connection::STATUS_IDLE && lStatus != HTTP_Connection::STATUS_CANCELED)
        lStatus = adapter.WaitStatusChange();
    return lStatus;
}

// Until the adapter takes a new request, which it refuses while its worker runs; false when it
// still refuses after dwLimitMs.
bool WaitUntilWorkerEnded(HTTP_Connection &adapter, HttpRequestInfo &probe, DWORD dwLimitMs)
{
    probe.strMethod = L"GET";   // no URL: ends at once with 8551, without touching the network
    DWORD dwStart = GetTickCount();
    while (!adapter.URLOpen(&probe, L"")) {
        if (GetTickCount() - dwStart >= dwLimitMs) return false;
        Sleep(20);
    }
    return true;
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
}

// The worker itself ends soon after the cancel although the server still holds the body back:
// the adapter takes the next request, and deleting it does not wait for the server.
TEST_F(WinHTTPAdapterTest, CancelOnAStalledServerEndsTheWorkerItself)
{
    std::unique_ptr<WinHTTPAdapter> pAdapter(new WinHTTPAdapter());
    HttpRequestInfo request, probe;
    request.strURL = m_server.URL(L"/stall");
    request.strMethod = L"GET";
    ASSERT_TRUE(pAdapter->URLOpen(&request, L""));
    ASSERT_TRUE(WaitForReceiving(*pAdapter));
    Sleep(kSettleMs);   // the worker is inside its read by now
    DWORD dwCancelTick = GetTickCount();
    pAdapter->Cancel();
    EXPECT_EQ(HTTP_Connection::STATUS_CANCELED, WaitForEnd(*pAdapter));
    ASSERT_TRUE(WaitUntilWorkerEnded(*pAdapter, probe, kCancelBoundMs));
    EXPECT_LT(GetTickCount() - dwCancelTick, kCancelBoundMs);
    EXPECT_EQ(HTTP_Connection::STATUS_IDLE, WaitForEnd(*pAdapter));
    EXPECT_EQ(MSG_HTTP_INVALID_PARAMETER, probe.lResult);
    EXPECT_EQ(MSG_CONNECTION_CANCELED, request.lResult);   // the probe left the first record alone
    DWORD dwDeleteTick = GetTickCount();
    pAdapter.reset();
    EXPECT_LT(GetTickCount() - dwDeleteTick, kCancelBoundMs);
    EXPECT_EQ(1, m_server.Connections());
}

// A cancel before the answer's headers come ends the worker as well.
TEST_F(WinHTTPAdapterTest, CancelBeforeTheHeadersEndsTheWorker)
{
    WinHTTPAdapter adapter;
    HttpRequestInfo request, probe;
    request.strURL = m_server.URL(L"/silent");
    request.strMethod = L"POST";
    request.strData = L"a=1";
    ASSERT_TRUE(adapter.URLOpen(&request, L""));
    ASSERT_TRUE(m_server.WaitForRequest(kCancelBoundMs));
    DWORD dwCancelTick = GetTickCount();
    adapter.Cancel();
    EXPECT_EQ(HTTP_Connection::STATUS_CANCELED, WaitForEnd(adapter));
    EXPECT_TRUE(WaitUntilWorkerEnded(adapter, probe, kCancelBoundMs));
    EXPECT_LT(GetTickCount() - dwCancelTick, kCancelBoundMs);
    EXPECT_EQ(MSG_CONNECTION_CANCELED, request.lResult);
    WaitForEnd(adapter);
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
    DWORD dwDeleteTick = 0;
    {
        WinHTTPAdapter adapter;
        ASSERT_TRUE(adapter.URLOpen(&request, L""));
        ASSERT_TRUE(WaitForReceiving(adapter));
        Sleep(kSettleMs);
        dwDeleteTick = GetTickCount();
    }   // cancels, and returns once the worker has ended, while the server still stalls
    EXPECT_LT(GetTickCount() - dwDeleteTick, kCancelBoundMs);
    EXPECT_EQ(1, m_server.Connections());
    EXPECT_EQ(MSG_CONNECTION_CANCELED, request.lResult);
}
