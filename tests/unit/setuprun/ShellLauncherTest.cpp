#include "TestFiles.h"
#include <gtest/gtest.h>

#include <string>

#include "ShellLauncher.h"

namespace {

class ShellLauncherTest : public ::testing::Test {};

TEST_F(ShellLauncherTest, MajorVersionFiveAsksForNoElevation)
{
    EXPECT_EQ(nullptr, ShellLauncher::VerbFor(5));
}

TEST_F(ShellLauncherTest, VistaAndLaterAskForRunas)
{
    for (DWORD dwMajor : {6u, 10u}) {
        const char *pszVerb = ShellLauncher::VerbFor(dwMajor);
        ASSERT_NE(nullptr, pszVerb) << dwMajor;
        EXPECT_EQ(std::string("runas"), pszVerb) << dwMajor;
    }
}

TEST_F(ShellLauncherTest, MissingFileReportsNotStarted)
{
    ShellLauncher launcher(5);
    EXPECT_FALSE(launcher.RunAndWait(".\\no-such-setup-program.exe", nullptr));
}

TEST_F(ShellLauncherTest, ComesBackOnlyAfterTheStartedProgramHasEnded)
{
    // The command writes its marker only after a pause of about a second: if the launcher did not
    // wait, the marker would not be there yet when the call returns.
    TestFolder folder;
    std::wstring strWideMarker = folder / L"setuprun-wait-marker.txt";
    // The launcher is an ANSI program; the test prefix's temporary folder is plain ASCII.
    std::string strMarker(strWideMarker.begin(), strWideMarker.end());
    std::string strParameters = "/c ping -n 2 127.0.0.1 >nul & echo done> \"" + strMarker + "\"";
    ShellLauncher launcher(5);
    ASSERT_TRUE(launcher.RunAndWait("cmd.exe", strParameters.c_str()));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(strMarker.c_str()));
}

}   // namespace
