#include <gtest/gtest.h>

#include "InstallCommandLine.h"

namespace {

SYSTEMTIME At(WORD wYear, WORD wMonth, WORD wDay, WORD wHour, WORD wMinute, WORD wSecond)
{
    SYSTEMTIME st = {};
    st.wYear = wYear;
    st.wMonth = wMonth;
    st.wDay = wDay;
    st.wHour = wHour;
    st.wMinute = wMinute;
    st.wSecond = wSecond;
    st.wMilliseconds = 999;   // never part of the name
    return st;
}

class InstallCommandLineTest : public ::testing::Test {};

TEST_F(InstallCommandLineTest, LogFileNameCarriesTheZeroPaddedStartTime)
{
    EXPECT_EQ("NolvexConnectInstall_20260102030405.log", InstallCommandLine::LogFileName(At(2026, 1, 2, 3, 4, 5)));
    EXPECT_EQ("NolvexConnectInstall_19991231235959.log",
              InstallCommandLine::LogFileName(At(1999, 12, 31, 23, 59, 59)));
}

TEST_F(InstallCommandLineTest, LineEscapesBothQuotedValuesForThePassThroughOption)
{
    std::string strLine = InstallCommandLine::Build("C:\\Users\\u\\AppData\\Roaming\\NolvexConnectInstall",
                                                    At(2026, 12, 8, 9, 7, 30), "D:\\media");
    EXPECT_EQ("/v\"/L*v \\\"C:\\Users\\u\\AppData\\Roaming\\NolvexConnectInstall\\"
              "NolvexConnectInstall_20261208090730.log\\\"\" /v\"INI_FILE_PATH=\\\"D:\\media\\\"\"",
              strLine);
}

TEST_F(InstallCommandLineTest, FoldersWithBlanksStayInsideTheEscapedQuotes)
{
    std::string strLine = InstallCommandLine::Build("C:\\Documents and Settings\\u\\Application Data\\NolvexConnectInstall",
                                                    At(2026, 12, 8, 9, 7, 30), "C:\\my install media\\disk 1");
    EXPECT_EQ("/v\"/L*v \\\"C:\\Documents and Settings\\u\\Application Data\\NolvexConnectInstall\\"
              "NolvexConnectInstall_20261208090730.log\\\"\" "
              "/v\"INI_FILE_PATH=\\\"C:\\my install media\\disk 1\\\"\"",
              strLine);
}

TEST_F(InstallCommandLineTest, EmptyCurrentFolderStillGivesAWellFormedLine)
{
    EXPECT_EQ("/v\"/L*v \\\"L\\NolvexConnectInstall_20260102030405.log\\\"\" /v\"INI_FILE_PATH=\\\"\\\"\"",
              InstallCommandLine::Build("L", At(2026, 1, 2, 3, 4, 5), ""));
}

}   // namespace
