// The http and profile commands' command lines; what they do is tested against the mock servers
// (tests/system/test_http.py, test_profile.py).
#include "ClientOptions.h"
#include "HttpCommand.h"
#include "ProfileCommand.h"
#include "TestClientApp.h"
#include <gtest/gtest.h>
#include <vector>

TEST(HttpCommandLine, OptionsAfterMethodAndUrlReachTheCommand)
{
    std::vector<const wchar_t *> vecArgv = {L"NolvexConnect.exe", L"http", L"POST", L"http://127.0.0.1:1/x",
                                            L"--data", L"a=1", L"--cancel-after", L"500", L"--proxy", L"default"};
    ClientOptions options;
    ASSERT_TRUE(options.Parse(static_cast<int>(vecArgv.size()), vecArgv.data())) << options.GetError();
    EXPECT_EQ(L"http", options.GetCommand());
    EXPECT_EQ(8u, options.GetArgs().size());
}

TEST(HttpCommandLine, BadOptionsAreUsageErrorsWithoutAnyExchange)
{
    const std::vector<std::vector<std::wstring>> cases = {
        {L"GET"},                                                   // no URL
        {L"GET", L"http://127.0.0.1:1/", L"--data"},                // option without value
        {L"GET", L"http://127.0.0.1:1/", L"--proxy", L"sometimes"},
        {L"GET", L"http://127.0.0.1:1/", L"--cancel-after", L"-5"},
        {L"GET", L"http://127.0.0.1:1/", L"--repeat", L"0"},
        {L"GET", L"http://127.0.0.1:1/", L"--unknown", L"1"},
    };
    for (const std::vector<std::wstring> &vecArgs : cases)
        EXPECT_EQ(TestClientApp::EXIT_USAGE, HttpCommand(vecArgs).Run()) << vecArgs.size();
}

TEST(ProfileCommandLine, OnlyShowAndStoreAreKnown)
{
    EXPECT_EQ(TestClientApp::EXIT_USAGE, ProfileCommand({L"load"}).Run());
    EXPECT_EQ(TestClientApp::EXIT_USAGE, ProfileCommand({L"store"}).Run());
    EXPECT_EQ(TestClientApp::EXIT_USAGE, ProfileCommand({L"show", L"a", L"b"}).Run());
    EXPECT_EQ(TestClientApp::EXIT_FAILED, ProfileCommand({L"show", L"C:\\no-such-folder\\TerminalRegist.xml"}).Run());
}
