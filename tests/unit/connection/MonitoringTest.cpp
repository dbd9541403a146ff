// The client side of the monitor service against pipe servers of the test's own (made like the
// service's instances), and the service check against the service manager of the test prefix.
#include "Monitoring.h"
#include "ScopedHandle.h"
#include "LogLines.h"
#include "TestFiles.h"
#include "TestPipeServer.h"
#include "WireText.h"
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace {
// The bound the tests give the retries: long enough for a release after kReleaseAfterMs.
const DWORD kTestBoundMs = 4000;
const DWORD kReleaseAfterMs = 1000;
const DWORD kDeliveryWaitMs = 10000;
// A client that was not sent must not appear at the server for at least this long.
const DWORD kQuietMs = 500;

// The bytes a sender puts on the wire for the text: UTF-16LE with its terminating zero.
std::string ExpectedWire(const std::wstring &strText)
{
    std::string strBytes;
    for (wchar_t ch : strText) {
        strBytes += static_cast<char>(ch & 0xff);
        strBytes += static_cast<char>((ch >> 8) & 0xff);
    }
    strBytes.append(2, '\0');
    return strBytes;
}

class MonitoringTest : public ::testing::Test {
protected:
    Monitoring Make(DWORD dwBoundMs = kTestBoundMs)
    {
        Monitoring::Seams seams;
        seams.strPipeName = m_strPipe;
        seams.dwRetryLimitMs = dwBoundMs;
        return Monitoring(seams);
    }
    // A client of the pipe that holds its one instance until it writes and closes.
    ScopedFileHandle Hold()
    {
        return ScopedFileHandle(CreateFileW(m_strPipe.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    }

    std::wstring m_strPipe = TestPipeServer::UniqueName(L"monitoring");
};

void WriteAndClose(ScopedFileHandle &hHolder, const std::wstring &strText)
{
    DWORD dwWritten = 0;
    WriteFile(hHolder.Get(), strText.data(), static_cast<DWORD>(strText.size() * sizeof(wchar_t)), &dwWritten, nullptr);
    hHolder.Reset();
}
}   // namespace

// --- what reaches the service --------------------------------------------------------------------

TEST_F(MonitoringTest, MessageGoesOutWholeWithItsTerminatingZero)
{
    TestPipeServer server(m_strPipe);
    ASSERT_TRUE(server.Start());
    const std::wstring strText = L"MonitorEnd=C:\\Users\\\u3042\\AppData\\Roaming\\NolvexConnect";
    size_t nSent = LogLinesWith(L"Send Message To Service [" + strText + L"]");
    EXPECT_EQ(0, Make().NotificationExec(strText));
    ASSERT_TRUE(server.WaitForMessages(1, kDeliveryWaitMs));
    std::string strWire = server.Messages()[0];
    EXPECT_EQ((strText.size() + 1) * 2, strWire.size());
    EXPECT_EQ(ExpectedWire(strText), strWire);
    EXPECT_EQ(nSent + 1, LogLinesWith(L"Send Message To Service [" + strText + L"]"));
}

TEST_F(MonitoringTest, UpdateNotificationNamesThisProcessAndTheFolder)
{
    TestPipeServer server(m_strPipe);
    ASSERT_TRUE(server.Start());
    const std::wstring strFolder = L"C:\\Users\\u\\AppData\\Roaming\\NolvexConnect\\update_1207";
    EXPECT_EQ(0, Make().SetUpdateNotification(strFolder));
    ASSERT_TRUE(server.WaitForMessages(1, kDeliveryWaitMs));
    std::wstring strExpected = L"DoUpdate=" + std::to_wstring(GetCurrentProcessId()) + L"," + strFolder;
    EXPECT_EQ(ExpectedWire(strExpected), server.Messages()[0]);
}

TEST_F(MonitoringTest, LongestMessageTheServiceTakesIsSentAndALongerOneIsRefused)
{
    TestPipeServer server(m_strPipe);
    ASSERT_TRUE(server.Start());
    std::wstring strLongest = L"MonitorEnd=" + std::wstring(Monitoring::MAX_MESSAGE_CHARS - 11, L'x');
    ASSERT_EQ(Monitoring::MAX_MESSAGE_CHARS, strLongest.size());
    EXPECT_EQ(0, Make().NotificationExec(strLongest));
    ASSERT_TRUE(server.WaitForMessages(1, kDeliveryWaitMs));
    EXPECT_EQ(ExpectedWire(strLongest), server.Messages()[0]);

    EXPECT_EQ(ERROR_INVALID_PARAMETER, Make().NotificationExec(strLongest + L"y"));
    Sleep(kQuietMs);
    EXPECT_EQ(1u, server.Messages().size());
}

// --- a pipe that is busy or absent for a while ------------------------------------------------------

TEST_F(MonitoringTest, BusyPipeIsRetriedAndDeliveredOnceItsInstanceIsFree)
{
    TestPipeServer server(m_strPipe, 1);
    ASSERT_TRUE(server.Start());
    ScopedFileHandle hHolder = Hold();
    ASSERT_TRUE(hHolder.IsValid());
    std::thread release([&hHolder] {
        Sleep(kReleaseAfterMs);
        WriteAndClose(hHolder, L"held");
    });
    long lResult = Make().NotificationExec(L"LogLevel=1");
    release.join();
    EXPECT_EQ(0, lResult);
    ASSERT_TRUE(server.WaitForMessages(2, kDeliveryWaitMs));
    EXPECT_EQ(L"held", WireText(server.Messages()[0]));
    EXPECT_EQ(ExpectedWire(L"LogLevel=1"), server.Messages()[1]);
}

TEST_F(MonitoringTest, AbsentPipeThatAppearsWithinTheBoundIsDelivered)
{
    TestPipeServer server(m_strPipe);
    std::thread appear([&server] {
        Sleep(kReleaseAfterMs);
        server.Start();
    });
    long lResult = Make().NotificationExec(L"LogLevel=0");
    appear.join();
    EXPECT_EQ(0, lResult);
    ASSERT_TRUE(server.WaitForMessages(1, kDeliveryWaitMs));
    EXPECT_EQ(ExpectedWire(L"LogLevel=0"), server.Messages()[0]);
}

TEST_F(MonitoringTest, AbsentPipeGivesUpAfterTheBoundWithFileNotFound)
{
    const DWORD dwBound = 1500;
    size_t nErrors = LogLinesWith(L"APIError [CreateFile] rc:[2]");
    DWORD dwStart = GetTickCount();
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, Make(dwBound).NotificationExec(L"LogLevel=1"));
    DWORD dwElapsed = GetTickCount() - dwStart;
    // It kept trying for the bound (less the clock's granularity), and stopped soon after it.
    EXPECT_GE(dwElapsed + 50, dwBound);
    EXPECT_LT(dwElapsed, dwBound + 3000);
    EXPECT_EQ(nErrors + 1, LogLinesWith(L"APIError [CreateFile] rc:[2]"));
}

TEST_F(MonitoringTest, PipeBusyForTheWholeBoundFailsAndWritesNothing)
{
    const DWORD dwBound = 1500;
    TestPipeServer server(m_strPipe, 1);
    ASSERT_TRUE(server.Start());
    ScopedFileHandle hHolder = Hold();
    ASSERT_TRUE(hHolder.IsValid());
    DWORD dwStart = GetTickCount();
    EXPECT_EQ(ERROR_PIPE_BUSY, Make(dwBound).NotificationExec(L"LogLevel=1"));
    EXPECT_GE(GetTickCount() - dwStart + 50, dwBound);
    // The holder's bytes are all the server ever gets.
    WriteAndClose(hHolder, L"held");
    ASSERT_TRUE(server.WaitForMessages(1, kDeliveryWaitMs));
    Sleep(kQuietMs);
    ASSERT_EQ(1u, server.Messages().size());
    EXPECT_EQ(L"held", WireText(server.Messages()[0]));
}

TEST_F(MonitoringTest, OtherOpenFailuresAreNotRetried)
{
    // A name that is no pipe path at all fails at once with its own error.
    Monitoring::Seams seams;
    seams.strPipeName = L"\\\\.\\pipe\\";
    seams.dwRetryLimitMs = kTestBoundMs;
    DWORD dwStart = GetTickCount();
    long lResult = Monitoring(seams).NotificationExec(L"LogLevel=1");
    EXPECT_NE(0, lResult);
    EXPECT_NE(ERROR_PIPE_BUSY, lResult);
    EXPECT_LT(GetTickCount() - dwStart, kTestBoundMs / 2);
}

// --- the service manager -------------------------------------------------------------------------------

TEST(MonitoringServiceTest, ServiceTheManagerDoesNotKnowIsNotRunning)
{
    Monitoring::Seams seams;
    seams.strServiceName = L"NolvexNoSuchService";
    size_t nLines = LogLinesWith(L"Not Found NolvexNoSuchService from SCM");
    EXPECT_FALSE(Monitoring(seams).IsServiceRunning());
    EXPECT_EQ(nLines + 1, LogLinesWith(L"Not Found NolvexNoSuchService from SCM"));
}
