#include "ScopedHandle.h"
#include "WorkerTable.h"
#include <gtest/gtest.h>
#include <atomic>

namespace {
struct Record {
    ScopedHandle hOwnThread;
    HANDLE hRelease = nullptr;
    std::atomic<DWORD> dwSeenThreadId{0};
    std::atomic<bool> bOwnHandleMatches{false};
};

unsigned __stdcall WaitForRelease(void *pParam)
{
    Record *pRecord = static_cast<Record *>(pParam);
    // The own handle is in the record before the first line of the worker runs.
    pRecord->bOwnHandleMatches = pRecord->hOwnThread && GetThreadId(pRecord->hOwnThread.Get()) == GetCurrentThreadId();
    pRecord->dwSeenThreadId = GetCurrentThreadId();
    WaitForSingleObject(pRecord->hRelease, 20000);
    return 0;
}
}  // namespace

class WorkerTableTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_hRelease.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        for (Record &record : m_records) record.hRelease = m_hRelease.Get();
    }
    void TearDown() override
    {
        SetEvent(m_hRelease.Get());
        m_table.WaitAll(20000);
    }
    ScopedHandle m_hRelease;
    Record m_records[3];
    WorkerTable m_table;
};

TEST_F(WorkerTableTest, EveryWorkerHasItsOwnHandleAndIsKeptUntilItEnds)
{
    for (Record &record : m_records) ASSERT_TRUE(m_table.Start(L"test", WaitForRelease, &record, &record.hOwnThread));
    EXPECT_EQ(3u, m_table.Count());
    for (Record &record : m_records) {
        for (int i = 0; i < 500 && record.dwSeenThreadId == 0; ++i) Sleep(10);
        EXPECT_TRUE(record.bOwnHandleMatches);
    }
    EXPECT_EQ(3u, m_table.Reap());
    SetEvent(m_hRelease.Get());
    EXPECT_EQ(0u, m_table.WaitAll(10000));
    EXPECT_EQ(0u, m_table.Count());
}

TEST_F(WorkerTableTest, TheStopWaitIsBoundedAndKeepsTheWorkersThatStillRun)
{
    ASSERT_TRUE(m_table.Start(L"test", WaitForRelease, &m_records[0], &m_records[0].hOwnThread));
    DWORD dwBegun = GetTickCount();
    EXPECT_EQ(1u, m_table.WaitAll(300));
    DWORD dwTook = GetTickCount() - dwBegun;
    EXPECT_GE(dwTook, 250u);
    EXPECT_LT(dwTook, 5000u);
    EXPECT_EQ(1u, m_table.Count());
    SetEvent(m_hRelease.Get());
    EXPECT_EQ(0u, m_table.WaitAll(10000));
}

TEST_F(WorkerTableTest, ReapForgetsEndedWorkersSoTheTableStaysSmall)
{
    SetEvent(m_hRelease.Get());
    for (int i = 0; i < 50; ++i) {
        Record &record = m_records[i % 3];
        record.hOwnThread.Reset();
        ASSERT_TRUE(m_table.Start(L"test", WaitForRelease, &record, &record.hOwnThread));
        WaitForSingleObject(record.hOwnThread.Get(), 5000);
        m_table.Reap();
    }
    EXPECT_EQ(0u, m_table.Reap());
}
