#include "CNolvexConnectMonitorModule.h"
#include "LogonTokenSlot.h"
#include "ScopedHandle.h"
#include "ServiceGlobals.h"
#include "ServiceStatusReport.h"
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
        for (HANDLE *ph : {&g_hEventControl, &g_hEventLogon}) {
            if (*ph != nullptr) CloseHandle(*ph);
            *ph = nullptr;
        }
        g_hLogonToken.Discard();
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
    EXPECT_NE(nullptr, g_hLogonToken.Peek());
    EXPECT_FALSE(IsSet(g_hEventControl));
}

TEST_F(ServiceControlTest, SecondLogonReplacesAndClosesThePreviousToken)
{
    Logon(WTSGetActiveConsoleSessionId());
    HANDLE hFirst = g_hLogonToken.Peek();
    ASSERT_NE(nullptr, hFirst);
    Logon(WTSGetActiveConsoleSessionId());
    EXPECT_NE(nullptr, g_hLogonToken.Peek());
    // Either the old handle is closed, or its number was given out again for the new token.
    DWORD dwFlags = 0;
    EXPECT_TRUE(g_hLogonToken.Peek() == hFirst || !GetHandleInformation(hFirst, &dwFlags));
}

TEST_F(ServiceControlTest, OtherSessionEventsDoNothingAndUnhandledControlsAreNotImplemented)
{
    WTSSESSION_NOTIFICATION note = {sizeof(note), 1};
    EXPECT_EQ(static_cast<DWORD>(NO_ERROR), CNolvexConnectMonitorModule::HandlerEx(
                                                SERVICE_CONTROL_SESSIONCHANGE, WTS_SESSION_LOGOFF, &note, nullptr));
    for (DWORD dwControl : {static_cast<DWORD>(SERVICE_CONTROL_PAUSE), static_cast<DWORD>(SERVICE_CONTROL_CONTINUE),
                            static_cast<DWORD>(SERVICE_CONTROL_PARAMCHANGE), static_cast<DWORD>(200)}) {
        EXPECT_EQ(static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED),
                  CNolvexConnectMonitorModule::HandlerEx(dwControl, 0, nullptr, nullptr))
            << dwControl;
    }
    EXPECT_EQ(static_cast<DWORD>(NO_ERROR),
              CNolvexConnectMonitorModule::HandlerEx(SERVICE_CONTROL_INTERROGATE, 0, nullptr, nullptr));
    EXPECT_FALSE(IsSet(g_hEventLogon));
    EXPECT_FALSE(IsSet(g_hEventControl));
    EXPECT_EQ(nullptr, g_hLogonToken.Peek());
}

TEST_F(ServiceControlTest, ReportsAcceptStopShutdownAndSessionChange)
{
    CNolvexConnectMonitorModule::HandlerEx(SERVICE_CONTROL_STOP, 0, nullptr, nullptr);
    EXPECT_EQ(0x85u, g_serviceStatus.dwControlsAccepted);
}

TEST_F(ServiceControlTest, TheFirstFailingStepNamesTheExitCode)
{
    g_statusReport.Reset();
    EXPECT_EQ(static_cast<DWORD>(NC_EXIT_OK), g_statusReport.GetExitCode());
    g_statusReport.SetExitCode(NC_EXIT_LOOP_EVENTS);
    g_statusReport.SetExitCode(NC_EXIT_WORKERS_RUNNING);   // a consequence, not the cause
    g_statusReport.Report(SERVICE_STOPPED, 1, 0);
    EXPECT_EQ(static_cast<DWORD>(NC_EXIT_LOOP_EVENTS), g_serviceStatus.dwServiceSpecificExitCode);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR), g_serviceStatus.dwWin32ExitCode);
    g_statusReport.Reset();
    EXPECT_EQ(static_cast<DWORD>(NO_ERROR), g_serviceStatus.dwWin32ExitCode);
    EXPECT_EQ(0u, g_serviceStatus.dwServiceSpecificExitCode);
}

TEST_F(ServiceControlTest, AWorkerGetsItsOwnDuplicateOfTheLogonToken)
{
    Logon(WTSGetActiveConsoleSessionId());
    ScopedHandle hCopy = g_hLogonToken.Duplicate();
    ASSERT_TRUE(hCopy.IsValid());
    EXPECT_NE(g_hLogonToken.Peek(), hCopy.Get());
    // A later logon closes the slot's token; the worker's copy stays usable.
    Logon(WTSGetActiveConsoleSessionId());
    g_hLogonToken.Discard();
    DWORD dwBytes = 0;
    TOKEN_TYPE type;
    EXPECT_TRUE(GetTokenInformation(hCopy.Get(), TokenType, &type, sizeof(type), &dwBytes));
    EXPECT_FALSE(g_hLogonToken.Duplicate().IsValid());
}

TEST(ServiceTimingTest, TheProductWatchesEveryMinuteAndPollsForLogonFiveMinutes)
{
    // The test build of the service shortens these waits; the product's values are these.
    EXPECT_EQ(60000u, g_serviceTiming.dwWatchIntervalMs);
    EXPECT_EQ(1000u, g_serviceTiming.dwLogonPollPauseMs);
    EXPECT_EQ(CNolvexConnectMonitorModule::LOGON_POLL_STEP_MS, g_serviceTiming.dwLogonPollPauseMs);
    EXPECT_EQ(301u, CNolvexConnectMonitorModule::LOGON_POLL_LIMIT_MS / CNolvexConnectMonitorModule::LOGON_POLL_STEP_MS + 1);
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
