#include "CNolvexConnectMonitorModule.h"
#include "ScopedHandle.h"
#include "ServiceGlobals.h"
#include "ServiceThreads.h"
#include <gtest/gtest.h>
#include <wtsapi32.h>

// The control handler and the shared wait, driven directly: Wine sends no session-change
// notifications and refuses control code 14 from outside.
class ServiceControlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_hEventControl = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        g_hEventLogon = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        ASSERT_NE(nullptr, g_hEventControl);
        ASSERT_NE(nullptr, g_hEventLogon);
    }
    void TearDown() override
    {
        for (HANDLE *ph : {&g_hEventControl, &g_hEventLogon, &g_hLogonToken}) {
            if (*ph != nullptr) CloseHandle(*ph);
            *ph = nullptr;
        }
    }
    static bool IsSet(HANDLE h) { return WaitForSingleObject(h, 0) == WAIT_OBJECT_0; }
    static DWORD Logon(DWORD dwSessionId)
    {
        WTSSESSION_NOTIFICATION note = {sizeof(note), dwSessionId};
        return CNolvexConnectMonitorModule::HandlerEx(SERVICE_CONTROL_SESSIONCHANGE, WTS_SESSION_LOGON, &note,
                                                      nullptr);
    }
};

TEST_F(ServiceControlTest, StopAndShutdownSetTheControlEvent)
{
    EXPECT_EQ(0u, CNolvexConnectMonitorModule::HandlerEx(SERVICE_CONTROL_STOP, 0, nullptr, nullptr));
    EXPECT_TRUE(IsSet(g_hEventControl));
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOP_PENDING), g_serviceStatus.dwCurrentState);
    EXPECT_EQ(50000u, g_serviceStatus.dwWaitHint);
    ResetEvent(g_hEventControl);
    EXPECT_EQ(0u, CNolvexConnectMonitorModule::HandlerEx(SERVICE_CONTROL_SHUTDOWN, 0, nullptr, nullptr));
    EXPECT_TRUE(IsSet(g_hEventControl));
    EXPECT_FALSE(IsSet(g_hEventLogon));
}

TEST_F(ServiceControlTest, LogonStoresTheSessionUsersTokenAndSignals)
{
    EXPECT_EQ(0u, Logon(WTSGetActiveConsoleSessionId()));
    EXPECT_TRUE(IsSet(g_hEventLogon));
    EXPECT_NE(nullptr, g_hLogonToken);
    EXPECT_FALSE(IsSet(g_hEventControl));
}

TEST_F(ServiceControlTest, SecondLogonReplacesAndClosesThePreviousToken)
{
    Logon(WTSGetActiveConsoleSessionId());
    HANDLE hFirst = g_hLogonToken;
    ASSERT_NE(nullptr, hFirst);
    Logon(WTSGetActiveConsoleSessionId());
    EXPECT_NE(nullptr, g_hLogonToken);
    // Either the old handle is closed, or its number was given out again for the new token.
    DWORD dwFlags = 0;
    EXPECT_TRUE(g_hLogonToken == hFirst || !GetHandleInformation(hFirst, &dwFlags));
}

TEST_F(ServiceControlTest, OtherSessionEventsAndControlsDoNothing)
{
    WTSSESSION_NOTIFICATION note = {sizeof(note), 1};
    CNolvexConnectMonitorModule::HandlerEx(SERVICE_CONTROL_SESSIONCHANGE, WTS_SESSION_LOGOFF, &note, nullptr);
    CNolvexConnectMonitorModule::HandlerEx(SERVICE_CONTROL_PAUSE, 0, nullptr, nullptr);
    EXPECT_FALSE(IsSet(g_hEventLogon));
    EXPECT_FALSE(IsSet(g_hEventControl));
    EXPECT_EQ(nullptr, g_hLogonToken);
}

TEST_F(ServiceControlTest, WaitEventTellsWhichEventCameFirst)
{
    ScopedHandle hMine(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    EXPECT_EQ(1, WaitEvent(hMine.Get()));
    ResetEvent(hMine.Get());
    SetEvent(g_hEventLogon);
    EXPECT_EQ(0, WaitEvent(hMine.Get()));
    ResetEvent(g_hEventLogon);
    SetEvent(g_hEventControl);
    EXPECT_EQ(0, WaitEvent(hMine.Get()));
}
