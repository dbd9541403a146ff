#include "PipeMessageReader.h"
#include "PipeSender.h"
#include "PipeTestHelpers.h"
#include "TestFiles.h"
#include <gtest/gtest.h>

// The sender of a message on a pipe of the test's own: this process, its program, its user.
TEST(PipeSenderTest, TheSenderIsThisProcessItsProgramAndItsUser)
{
    TestPipe pipe;
    ASSERT_NE(INVALID_HANDLE_VALUE, pipe.OpenClient());
    ASSERT_TRUE(pipe.WriteText(L"LogLevel=1"));
    std::wstring strMessage;
    ASSERT_EQ(PipeMessageReader::READ_DONE, PipeMessageReader::Read(pipe.Server(), nullptr, 5000, &strMessage));

    PipeSender sender;
    ASSERT_TRUE(sender.Identify(pipe.Server()));
    ASSERT_TRUE(sender.IsProcessKnown());
    EXPECT_EQ(GetCurrentProcessId(), sender.GetProcessId());
    wchar_t szOwn[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, szOwn, MAX_PATH);
    EXPECT_EQ(0, lstrcmpiW(szOwn, sender.GetImagePath().c_str())) << sender.GetImagePath().c_str();

    ScopedHandle hOwnToken;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, hOwnToken.Receive()));
    std::wstring strOwnUser = PipeSender::TokenUserName(hOwnToken.Get());
    ASSERT_FALSE(strOwnUser.empty());
    EXPECT_EQ(strOwnUser, sender.GetUserName());

    // The user is kept as an impersonation token that outlives the pipe.
    ASSERT_NE(nullptr, sender.GetUserToken());
    pipe.CloseClient();
    TOKEN_TYPE type = TokenPrimary;
    DWORD dwBytes = 0;
    ASSERT_TRUE(GetTokenInformation(sender.GetUserToken(), TokenType, &type, sizeof(type), &dwBytes));
    EXPECT_EQ(TokenImpersonation, type);
    // The worker is itself again afterwards.
    ScopedHandle hThreadToken;
    EXPECT_FALSE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, hThreadToken.Receive()));
    hThreadToken.Release();
}

TEST(PipeSenderTest, AnUnknownSenderHasNoProcessAndNoToken)
{
    PipeSender sender;
    EXPECT_FALSE(sender.IsProcessKnown());
    EXPECT_EQ(nullptr, sender.GetUserToken());
    EXPECT_TRUE(sender.GetUserName().empty());
}
