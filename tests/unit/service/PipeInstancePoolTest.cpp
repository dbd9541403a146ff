#include "PipeInstancePool.h"
#include "PipeTestHelpers.h"
#include <gtest/gtest.h>

namespace {
bool IsOpenHandle(HANDLE h)
{
    DWORD dwFlags = 0;
    return GetHandleInformation(h, &dwFlags) != FALSE;
}

ScopedFileHandle NewInstance(const std::wstring &strName)
{
    return ScopedFileHandle(CreateNamedPipeW(strName.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED,
                                             PIPE_TYPE_BYTE | PIPE_WAIT, 10, 512, 512, 1000, nullptr));
}
}  // namespace

TEST(PipeInstancePoolTest, AReturnedInstanceWakesTheLoopAndIsUsedAgain)
{
    PipeInstancePool pool;
    ASSERT_TRUE(pool.Open());
    EXPECT_FALSE(pool.Take().IsValid());
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(pool.FreedEvent(), 0));
    ScopedFileHandle hPipe = NewInstance(L"\\\\.\\pipe\\NolvexPoolTest-" + std::to_wstring(GetCurrentProcessId()));
    ASSERT_TRUE(hPipe.IsValid());
    HANDLE hRaw = hPipe.Get();
    pool.Return(std::move(hPipe));
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(pool.FreedEvent(), 0));
    EXPECT_EQ(1u, pool.Size());
    ScopedFileHandle hAgain = pool.Take();
    EXPECT_EQ(hRaw, hAgain.Get());
    EXPECT_EQ(0u, pool.Size());
}

TEST(PipeInstancePoolTest, AfterCloseEveryInstanceIsClosed)
{
    std::wstring strName = L"\\\\.\\pipe\\NolvexPoolClose-" + std::to_wstring(GetCurrentProcessId());
    PipeInstancePool pool;
    ASSERT_TRUE(pool.Open());
    ScopedFileHandle hPooled = NewInstance(strName);
    HANDLE hPooledRaw = hPooled.Get();
    pool.Return(std::move(hPooled));
    pool.Close();
    EXPECT_FALSE(IsOpenHandle(hPooledRaw));
    ScopedFileHandle hLate = NewInstance(strName);
    HANDLE hLateRaw = hLate.Get();
    ASSERT_TRUE(hLate.IsValid());
    pool.Return(std::move(hLate));   // a worker that finishes after the stop
    EXPECT_FALSE(IsOpenHandle(hLateRaw));
    EXPECT_EQ(0u, pool.Size());
    EXPECT_EQ(nullptr, pool.FreedEvent());
}
