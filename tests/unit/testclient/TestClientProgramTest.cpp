// NolvexConnect.exe as tests and the demo run it: a separate process talking to a pipe server.
#include "PipeMessage.h"
#include "ScopedHandle.h"
#include "TempFolder.h"
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

    // Starts the client with "--pipe <test pipe>" and the given arguments.
    bool Launch(const std::wstring &strArgs, PROCESS_INFORMATION &pi, bool bOwnPipe = true)
    {
        std::wstring strCommand = L"\"" + ClientPath() + L"\" ";
        if (bOwnPipe) strCommand += L"--pipe " + m_strPipe + L" ";
        strCommand += strArgs;
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        return CreateProcessW(nullptr, &strCommand[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si,
                              &pi) != FALSE;
    }

    // Runs the client to its end; its exit code, or -1 when it did not end within 30 s (it is then ended).
    int Run(const std::wstring &strArgs, bool bOwnPipe = true)
    {
        PROCESS_INFORMATION pi = {};
        if (!Launch(strArgs, pi, bOwnPipe)) return -2;
        return Finish(pi);
    }

    static int Finish(PROCESS_INFORMATION &pi)
    {
        ScopedHandle hProcess(pi.hProcess), hThread(pi.hThread);
        if (WaitForSingleObject(hProcess.Get(), 30000) != WAIT_OBJECT_0) {
            TerminateProcess(hProcess.Get(), 99);
            WaitForSingleObject(hProcess.Get(), 5000);
            return -1;
        }
        DWORD dwCode = 0;
        GetExitCodeProcess(hProcess.Get(), &dwCode);
        return static_cast<int>(dwCode);
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
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(Launch(L"start C:\\u\\a 1 0 --stay 1", pi));
    DWORD dwPid = pi.dwProcessId;
    EXPECT_EQ(0, Finish(pi));
    ASSERT_TRUE(m_server.WaitForMessages(2, 10000));
    EXPECT_EQ(L"MonitorStart=" + std::to_wstring(dwPid) + L",C:\\u\\a,1,0", Message(0));
    EXPECT_EQ(L"MonitorEnd=C:\\u\\a", Message(1));
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
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(Launch(L"start C:\\u\\b 0 0", pi));
    DWORD dwPid = pi.dwProcessId;
    ASSERT_TRUE(m_server.WaitForMessages(1, 10000));
    EXPECT_EQ(0, Run(L"quit " + std::to_wstring(dwPid)));
    EXPECT_EQ(0, Finish(pi));
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
    TempFolder temp(L"program-files");
    CreateDirectoryW((temp / L"src").c_str(), nullptr);
    temp.WriteFile(L"src\\UserSetting.xml", "<x/>");
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
