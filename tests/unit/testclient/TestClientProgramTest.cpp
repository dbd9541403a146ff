// NolvexConnect.exe as tests and the demo run it: a separate process talking to a pipe server.
#include "TestFiles.h"
#include "ChildProcess.h"
#include "PipeMessage.h"
#include "ScopedHandle.h"
#include "TestPipeServer.h"
#include "WireText.h"
#include <gtest/gtest.h>

class TestClientProgram : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_server.Start()); }

    static std::wstring ClientPath()
    {
        wchar_t szPath[MAX_PATH];
        DWORD dwLen = GetModuleFileNameW(nullptr, szPath, MAX_PATH);
        std::wstring str(szPath, dwLen);
        return str.substr(0, str.find_last_of(L'\\')) + L"\\NolvexConnect.exe";
    }

    // Starts the client with "--pipe <test pipe>" (unless bOwnPipe is false) and the arguments.
    bool Launch(ChildProcess &client, const std::wstring &strArgs, bool bOwnPipe = true)
    {
        std::wstring strCommand = L"\"" + ClientPath() + L"\" ";
        if (bOwnPipe) strCommand += L"--pipe " + m_strPipe + L" ";
        return client.Launch(strCommand + strArgs);
    }

    // Runs the client to its end: its exit code, -1 when it hung, -2 when it did not start.
    int Run(const std::wstring &strArgs, bool bOwnPipe = true)
    {
        ChildProcess client;
        if (!Launch(client, strArgs, bOwnPipe)) return -2;
        return client.Finish();
    }

    std::wstring Message(size_t i) const { return WireText(m_server.Messages().at(i)); }

    std::wstring m_strPipe = TestPipeServer::UniqueName(L"program");
    TestPipeServer m_server{m_strPipe};
};

TEST_F(TestClientProgram, OneShotCommandsSendTheirMessage)
{
    struct Row {
        const wchar_t *pszArgs;
        const wchar_t *pszWant;
    } rows[] = {
        {L"end \"C:\\Users\\a b\\Nolvex\"", L"MonitorEnd=C:\\Users\\a b\\Nolvex"},
        {L"loglevel 1", L"LogLevel=1"},
        {L"update 4321 C:\\data\\diff", L"DoUpdate=4321,C:\\data\\diff"},
        {L"rollback", L"RollBackUpdate"},
        {L"rollback again", L"RollBackUpdate=again"},
        {L"raw \"Monitor\u3042=1,2\"", L"Monitor\u3042=1,2"},
    };
    for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
        EXPECT_EQ(0, Run(rows[i].pszArgs)) << rows[i].pszArgs;
        ASSERT_TRUE(m_server.WaitForMessages(i + 1, 10000));
        EXPECT_EQ(rows[i].pszWant, Message(i));
    }
}

TEST_F(TestClientProgram, StartAnnouncesItsOwnPidThenEndsNormally)
{
    ChildProcess client;
    ASSERT_TRUE(Launch(client, L"start C:\\u\\a 1 0 --stay 1"));
    DWORD dwPid = client.Pid();
    EXPECT_EQ(0, client.Finish());
    ASSERT_TRUE(m_server.WaitForMessages(2, 10000));
    EXPECT_EQ(L"MonitorStart=" + std::to_wstring(dwPid) + L",C:\\u\\a,1,0", Message(0));
    EXPECT_EQ(L"MonitorEnd=C:\\u\\a", Message(1));
}

TEST_F(TestClientProgram, UpdateSelfNamesItsOwnProcessAndStaysAsAsked)
{
    ChildProcess client;
    ASSERT_TRUE(Launch(client, L"update self C:\\u\\upd --stay 2"));
    DWORD dwPid = client.Pid();
    ASSERT_TRUE(m_server.WaitForMessages(1, 10000));
    EXPECT_EQ(L"DoUpdate=" + std::to_wstring(dwPid) + L",C:\\u\\upd", Message(0));
    EXPECT_TRUE(client.IsRunning()) << "it stays after sending, as the real client does for a moment";
    EXPECT_EQ(0, client.Finish());
    EXPECT_EQ(2, Run(L"update self C:\\u\\upd --stay"));
    EXPECT_EQ(2, Run(L"update self C:\\u\\upd --later 2"));
}

TEST_F(TestClientProgram, AbruptEndSendsNoMonitorEnd)
{
    EXPECT_EQ(9, Run(L"start C:\\u\\a 0 1 --abrupt --stay 0 --pid 777"));
    ASSERT_TRUE(m_server.WaitForMessages(1, 10000));
    Sleep(300);
    ASSERT_EQ(1u, m_server.Messages().size());
    EXPECT_EQ(L"MonitorStart=777,C:\\u\\a,0,1", Message(0));
}

TEST_F(TestClientProgram, QuitCommandEndsAWaitingClient)
{
    ChildProcess client;
    ASSERT_TRUE(Launch(client, L"start C:\\u\\b 0 0"));
    ASSERT_TRUE(m_server.WaitForMessages(1, 10000));
    EXPECT_EQ(0, Run(L"quit " + std::to_wstring(client.Pid())));
    EXPECT_EQ(0, client.Finish());
    ASSERT_TRUE(m_server.WaitForMessages(2, 10000));
    EXPECT_EQ(L"MonitorEnd=C:\\u\\b", Message(1));
}

TEST_F(TestClientProgram, HexAndRandomSendTheExactBytes)
{
    EXPECT_EQ(0, Run(L"hex \"4d 6f 6e\""));
    EXPECT_EQ(0, Run(L"random 700 42"));
    ASSERT_TRUE(m_server.WaitForMessages(2, 10000));
    EXPECT_EQ("Mon", m_server.Messages()[0]);
    EXPECT_EQ(PipeMessage::Random(700, 42), m_server.Messages()[1]);
}

TEST_F(TestClientProgram, IdleHoldsTheConnectionWithoutData)
{
    EXPECT_EQ(0, Run(L"idle 1"));
    ASSERT_TRUE(m_server.WaitForMessages(1, 10000));
    EXPECT_TRUE(m_server.Messages()[0].empty());
}

TEST_F(TestClientProgram, FilesCopiesTheSourceFolderIntoTheUserFolder)
{
    TestFolder temp;
    CreateDirectoryW((temp / L"src").c_str(), nullptr);
    ASSERT_TRUE(WriteBytes(temp / L"src\\UserSetting.xml", "<x/>"));
    EXPECT_EQ(0, Run(L"files \"" + (temp / L"user folder") + L"\" \"" + (temp / L"src") + L"\""));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((temp / L"user folder\\UserSetting.xml").c_str()));
    EXPECT_EQ(3, Run(L"files \"" + (temp / L"user") + L"\" \"" + (temp / L"absent") + L"\""));
}

TEST_F(TestClientProgram, FailuresGiveDistinctExitCodes)
{
    EXPECT_EQ(1, Run(L"--pipe \\\\.\\pipe\\NolvexNobodyListens end C:\\u", false));
    EXPECT_EQ(2, Run(L"bogus"));
    EXPECT_EQ(2, Run(L"hex 4"));
    EXPECT_EQ(2, Run(L"end C:\\" + std::wstring(600, L'a')));   // over 511 characters: refused
    EXPECT_EQ(3, Run(L"quit 1"));
    // raw sends even what the service cannot read whole; only it reached the server.
    EXPECT_EQ(0, Run(L"raw " + std::wstring(600, L'r')));
    ASSERT_TRUE(m_server.WaitForMessages(1, 10000));
    ASSERT_EQ(1u, m_server.Messages().size());
    EXPECT_EQ(1200u, m_server.Messages()[0].size());
}
