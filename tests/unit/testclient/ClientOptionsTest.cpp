#include "ClientOptions.h"
#include <gtest/gtest.h>
#include <initializer_list>
#include <vector>

class ClientOptionsParse : public ::testing::Test {
protected:
    bool Parse(std::initializer_list<const wchar_t *> args)
    {
        std::vector<const wchar_t *> vecArgv = {L"NolvexConnect.exe"};
        vecArgv.insert(vecArgv.end(), args.begin(), args.end());
        return m_options.Parse(static_cast<int>(vecArgv.size()), vecArgv.data());
    }
    ClientOptions m_options;
};

TEST_F(ClientOptionsParse, StartDefaultsToNormalEndWaitingForTheQuitEvent)
{
    ASSERT_TRUE(Parse({L"start", L"C:\\u\\a", L"1", L"0"})) << m_options.GetError();
    EXPECT_EQ(L"start", m_options.GetCommand());
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\u\\a", L"1", L"0"}), m_options.GetArgs());
    EXPECT_EQ(ClientOptions::END_NORMAL, m_options.GetStartEnd());
    EXPECT_EQ(INFINITE, m_options.GetStayMs());
    EXPECT_EQ(0u, m_options.GetAnnouncedPid());
    EXPECT_EQ(L"\\\\.\\pipe\\NolvexConnectMonitor", m_options.GetPipeName());
    EXPECT_EQ(5000u, m_options.GetTimeoutMs());
}

TEST_F(ClientOptionsParse, StartTakesItsOptionsAfterTheArguments)
{
    ASSERT_TRUE(Parse({L"start", L"C:\\u", L"0", L"1", L"--abrupt", L"--stay", L"3", L"--pid", L"42"}));
    EXPECT_EQ(ClientOptions::END_ABRUPT, m_options.GetStartEnd());
    EXPECT_EQ(3000u, m_options.GetStayMs());
    EXPECT_EQ(42u, m_options.GetAnnouncedPid());
    ASSERT_TRUE(Parse({L"start", L"C:\\u", L"0", L"1", L"--abrupt", L"--normal"}));
    EXPECT_EQ(ClientOptions::END_NORMAL, m_options.GetStartEnd());
}

TEST_F(ClientOptionsParse, GlobalOptionsComeBeforeTheCommand)
{
    ASSERT_TRUE(Parse({L"--pipe", L"\\\\.\\pipe\\other", L"--timeout", L"250", L"end", L"C:\\u"}));
    EXPECT_EQ(L"\\\\.\\pipe\\other", m_options.GetPipeName());
    EXPECT_EQ(250u, m_options.GetTimeoutMs());
    EXPECT_EQ(L"end", m_options.GetCommand());
}

TEST_F(ClientOptionsParse, MissingPipeWaitsUnlessToldToFail)
{
    ASSERT_TRUE(Parse({L"end", L"C:\\u"}));
    EXPECT_FALSE(m_options.GetMissingFails());
    ASSERT_TRUE(Parse({L"--missing", L"fail", L"end", L"C:\\u"})) << m_options.GetError();
    EXPECT_TRUE(m_options.GetMissingFails());
    ASSERT_TRUE(Parse({L"--missing", L"wait", L"end", L"C:\\u"}));
    EXPECT_FALSE(m_options.GetMissingFails());
    EXPECT_FALSE(Parse({L"--missing", L"maybe", L"end", L"C:\\u"}));
    EXPECT_FALSE(Parse({L"--missing"}));
}

TEST_F(ClientOptionsParse, TextArgumentsMayLookLikeOptions)
{
    ASSERT_TRUE(Parse({L"raw", L"--abrupt"}));
    EXPECT_EQ(L"--abrupt", m_options.GetArg(0));
}

TEST_F(ClientOptionsParse, RollbackTextIsOptional)
{
    ASSERT_TRUE(Parse({L"rollback"}));
    EXPECT_TRUE(m_options.GetArgs().empty());
    ASSERT_TRUE(Parse({L"rollback", L"x"}));
    EXPECT_EQ(L"x", m_options.GetArg(0));
}

TEST_F(ClientOptionsParse, RejectsWhatWouldSendAWrongMessage)
{
    EXPECT_FALSE(Parse({}));
    EXPECT_FALSE(Parse({L"bogus"}));
    EXPECT_FALSE(Parse({L"start", L"C:\\u", L"0"}));
    EXPECT_FALSE(Parse({L"start", L"C:\\u", L"0", L"1", L"--stay"}));
    EXPECT_FALSE(Parse({L"start", L"C:\\u", L"0", L"1", L"--stay", L"x"}));
    EXPECT_FALSE(Parse({L"start", L"C:\\u", L"0", L"1", L"--later"}));
    EXPECT_FALSE(Parse({L"end", L"C:\\u", L"extra"}));
    EXPECT_FALSE(Parse({L"random", L"10", L"seed"}));
    EXPECT_FALSE(Parse({L"idle", L"-1"}));
    EXPECT_FALSE(Parse({L"quit", L"12x"}));
    EXPECT_FALSE(Parse({L"--timeout", L"soon", L"end", L"C:\\u"}));
    EXPECT_FALSE(Parse({L"--colour", L"red", L"end", L"C:\\u"}));
    EXPECT_FALSE(Parse({L"--pipe"}));
    EXPECT_FALSE(m_options.GetError().empty());
}

TEST(ClientOptionsNumber, AcceptsOnlyPlainUnsignedDecimals)
{
    DWORD dw = 7;
    EXPECT_TRUE(ClientOptions::ParseNumber(L"0", dw));
    EXPECT_EQ(0u, dw);
    EXPECT_TRUE(ClientOptions::ParseNumber(L"4294967295", dw));
    EXPECT_EQ(4294967295u, dw);
    EXPECT_FALSE(ClientOptions::ParseNumber(L"4294967296", dw));
    EXPECT_FALSE(ClientOptions::ParseNumber(L"99999999999", dw));
    EXPECT_FALSE(ClientOptions::ParseNumber(L"-1", dw));
    EXPECT_FALSE(ClientOptions::ParseNumber(L"+1", dw));
    EXPECT_FALSE(ClientOptions::ParseNumber(L"1 ", dw));
    EXPECT_FALSE(ClientOptions::ParseNumber(L"", dw));
    EXPECT_EQ(4294967295u, dw);
}

TEST_F(ClientOptionsParse, UpdateModuleAndTheRegistrationCommandsKeepTheirOptionsForTheCommand)
{
    ASSERT_TRUE(Parse({L"update", L"module", L"--answer", L"-2,6", L"--existed"})) << m_options.GetError();
    EXPECT_EQ((std::vector<std::wstring>{L"module", L"--answer", L"-2,6", L"--existed"}), m_options.GetArgs());
    // The pipe message form is unchanged.
    ASSERT_TRUE(Parse({L"update", L"self", L"C:\\u\\upd", L"--stay", L"2"})) << m_options.GetError();
    EXPECT_EQ((std::vector<std::wstring>{L"self", L"C:\\u\\upd"}), m_options.GetArgs());
    EXPECT_EQ(2000u, m_options.GetStayMs());
    EXPECT_FALSE(Parse({L"update", L"self"}));
    ASSERT_TRUE(Parse({L"register", L"1", L"pw", L"--flags", L"0", L"--kill-at-step", L"3"}));
    EXPECT_EQ(6u, m_options.GetArgs().size());
    EXPECT_FALSE(Parse({L"register", L"1"}));
    ASSERT_TRUE(Parse({L"notify-error", L"0", L"pw"}));
    EXPECT_EQ(L"notify-error", m_options.GetCommand());
}
