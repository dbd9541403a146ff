#include "PipeClient.h"
#include "PipeMessage.h"
#include "TestPipeServer.h"
#include "WireText.h"
#include <gtest/gtest.h>
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
