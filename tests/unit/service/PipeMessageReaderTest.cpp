#include "PipeMessageReader.h"
#include "PipeTestHelpers.h"
#include <gtest/gtest.h>
#include <chrono>
#include <thread>

int TestPipe::s_iCounter = 0;

namespace {
const DWORD kShortIdleMs = 700;
}

TEST(PipeMessageReader, ReadsAMessageWrittenBeforeTheRead)
{
    TestPipe pipe;
    pipe.OpenClient();
    ASSERT_TRUE(pipe.WriteText(L"LogLevel=1"));
    std::wstring strMessage;
    EXPECT_EQ(PipeMessageReader::READ_DONE, PipeMessageReader::Read(pipe.Server(), nullptr, kShortIdleMs, &strMessage));
    EXPECT_EQ(L"LogLevel=1", strMessage);
}

TEST(PipeMessageReader, KeepsAMessageWhoseClientClosedRightAfterAPendingRead)
{
    // The read is pending when the client writes and disconnects at once: the bytes the read
    // delivered are the message, a second read would fail with a broken pipe.
    TestPipe pipe;
    pipe.OpenClient();
    std::thread writer([&pipe] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        pipe.WriteText(L"MonitorEnd=C:\\Users\\u\\NolvexConnect");
        pipe.CloseClient();
    });
    std::wstring strMessage;
    PipeMessageReader::Result result = PipeMessageReader::Read(pipe.Server(), nullptr, 5000, &strMessage);
    writer.join();
    EXPECT_EQ(PipeMessageReader::READ_DONE, result);
    EXPECT_EQ(L"MonitorEnd=C:\\Users\\u\\NolvexConnect", strMessage);
}

TEST(PipeMessageReader, CutsALongMessageTo1023Bytes)
{
    TestPipe pipe;
    pipe.OpenClient();
    std::wstring strLong(1000, L'\x3042');   // 2000 bytes, more than the pipe buffers: written aside
    std::thread writer([&pipe, &strLong] { pipe.WriteText(strLong); });
    std::wstring strMessage;
    PipeMessageReader::Result result = PipeMessageReader::Read(pipe.Server(), nullptr, 5000, &strMessage);
    pipe.DisconnectServer();
    writer.join();
    ASSERT_EQ(PipeMessageReader::READ_DONE, result);
    // 511 whole characters and the low byte of the 512th.
    ASSERT_EQ(512u, strMessage.size());
    EXPECT_EQ(std::wstring(511, L'\x3042'), strMessage.substr(0, 511));
    EXPECT_EQ(L'\x42', strMessage[511]);
}

TEST(PipeMessageReader, OddByteCountsAndMissingTerminatorStayInsideTheBuffer)
{
    TestPipe pipe;
    pipe.OpenClient();
    const char abBytes[] = {'A', 0, 'B', 0, 'C'};
    ASSERT_TRUE(pipe.WriteBytes(abBytes, sizeof(abBytes)));
    std::wstring strMessage;
    ASSERT_EQ(PipeMessageReader::READ_DONE, PipeMessageReader::Read(pipe.Server(), nullptr, kShortIdleMs, &strMessage));
    EXPECT_EQ(L"ABC", strMessage);
}

TEST(PipeMessageReader, DropsAClientThatSendsNothing)
{
    TestPipe pipe;
    pipe.OpenClient();
    std::wstring strMessage = L"untouched";
    EXPECT_EQ(PipeMessageReader::READ_IDLE, PipeMessageReader::Read(pipe.Server(), nullptr, kShortIdleMs, &strMessage));
    EXPECT_EQ(L"untouched", strMessage);
}

TEST(PipeMessageReader, EndsAPendingReadOnStop)
{
    TestPipe pipe;
    pipe.OpenClient();
    ScopedHandle hStop(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    std::wstring strMessage;
    EXPECT_EQ(PipeMessageReader::READ_STOPPED, PipeMessageReader::Read(pipe.Server(), hStop.Get(), 10000, &strMessage));
}

TEST(PipeMessageReader, FailsForAClientThatLeftWithoutWriting)
{
    TestPipe pipe;
    pipe.OpenClient();
    pipe.CloseClient();
    std::wstring strMessage;
    EXPECT_EQ(PipeMessageReader::READ_FAILED, PipeMessageReader::Read(pipe.Server(), nullptr, kShortIdleMs, &strMessage));
}
