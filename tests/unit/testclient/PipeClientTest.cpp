#include "PipeClient.h"
#include "PipeMessage.h"
#include "TestPipeServer.h"
#include "WireText.h"
#include <gtest/gtest.h>
#include <memory>
#include <thread>

class PipeClientTest : public ::testing::Test {
protected:
    std::wstring m_strName = TestPipeServer::UniqueName(L"client");
};

TEST_F(PipeClientTest, DeliversTheWholeMessageInOneConnection)
{
    TestPipeServer server(m_strName);
    ASSERT_TRUE(server.Start());
    {
        PipeClient client(m_strName, 1000);
        ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), client.Open());
        EXPECT_TRUE(client.IsOpen());
        EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), client.Write(PipeMessage::ToBytes(L"LogLevel=1")));
    }
    ASSERT_TRUE(server.WaitForMessages(1, 10000));
    EXPECT_EQ(L"LogLevel=1", WireText(server.Messages()[0]));
    EXPECT_EQ(20u, server.Messages()[0].size());
}

TEST_F(PipeClientTest, MissingPipeFailsWithFileNotFound)
{
    PipeClient client(m_strName, 2000);
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), client.Open());
    EXPECT_FALSE(client.IsOpen());
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), client.Write("x"));
}

TEST_F(PipeClientTest, BusyPipeGivesUpWithPipeBusy)
{
    TestPipeServer server(m_strName, 1);
    ASSERT_TRUE(server.Start());
    PipeClient holder(m_strName, 1000);
    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), holder.Open());
    PipeClient second(m_strName, 300);
    EXPECT_EQ(static_cast<DWORD>(ERROR_PIPE_BUSY), second.Open());
}

TEST_F(PipeClientTest, BusyPipeWaitsForTheServersNextInstance)
{
    TestPipeServer server(m_strName, 1);
    ASSERT_TRUE(server.Start());
    PipeClient holder(m_strName, 1000);
    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), holder.Open());
    std::thread release([&holder] {
        Sleep(500);
        holder.Write(PipeMessage::ToBytes(L"first"));
        holder.Close();
    });
    PipeClient second(m_strName, 20000);
    DWORD dwOpen = second.Open();
    release.join();
    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), dwOpen);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), second.Write(PipeMessage::ToBytes(L"second")));
    second.Close();
    ASSERT_TRUE(server.WaitForMessages(2, 10000));
    EXPECT_EQ(L"first", WireText(server.Messages()[0]));
    EXPECT_EQ(L"second", WireText(server.Messages()[1]));
}

// The server goes away while the client waits for a free instance, and comes back a second later.
static DWORD OpenWhileThePipeVanishes(const std::wstring &strName, bool bMissingFails)
{
    std::unique_ptr<TestPipeServer> pServer(new TestPipeServer(strName, 1));
    if (!pServer->Start()) return ERROR_GEN_FAILURE;
    PipeClient holder(strName, 1000);
    if (holder.Open() != ERROR_SUCCESS) return ERROR_GEN_FAILURE;
    std::unique_ptr<TestPipeServer> pNext(new TestPipeServer(strName, 1));
    std::thread vanish([&] {
        Sleep(300);
        holder.Close();
        pServer->Stop();
        Sleep(1000);
        pNext->Start();
    });
    PipeClient waiting(strName, 10000, bMissingFails);
    DWORD dwOpen = waiting.Open();
    vanish.join();
    return dwOpen;
}

TEST_F(PipeClientTest, AVanishingPipeIsPartOfTheWaitUnlessMissingFails)
{
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), OpenWhileThePipeVanishes(m_strName, false));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND),
              OpenWhileThePipeVanishes(TestPipeServer::UniqueName(L"strict"), true));
}
