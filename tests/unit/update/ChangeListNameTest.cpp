#include "ChangeListName.h"
#include <gtest/gtest.h>

namespace {
ChangeListName::Verdict VerdictOf(const std::wstring &strName)
{
    std::wstring strNormal;
    return ChangeListName::Check(strName, strNormal);
}

std::wstring NormalOf(const std::wstring &strName)
{
    std::wstring strNormal;
    EXPECT_EQ(ChangeListName::NAME_OK, ChangeListName::Check(strName, strNormal)) << strName;
    return strNormal;
}
}  // namespace

TEST(ChangeListNameTest, PlainRelativeNamesAreNormalised)
{
    EXPECT_EQ(L"plugins\\old.dll", NormalOf(L"plugins\\old.dll"));
    EXPECT_EQ(L"plugins\\old.dll", NormalOf(L"plugins/old.dll"));
    EXPECT_EQ(L"a\\b", NormalOf(L"a\\\\b\\"));
    EXPECT_EQ(L"a\\b", NormalOf(L".\\a\\.\\b"));
    EXPECT_EQ(L"readme.txt", NormalOf(L"readme.txt. "));
    EXPECT_EQ(L"Logs\\sub", NormalOf(L"Logs\\sub"));   // a folder below Logs may go
    EXPECT_EQ(L"NolvexConnect.exe.bak", NormalOf(L"NolvexConnect.exe.bak"));
}

TEST(ChangeListNameTest, NamesThatLeaveTheInstallFolderAreRefused)
{
    EXPECT_EQ(ChangeListName::NAME_PARENT, VerdictOf(L".."));
    EXPECT_EQ(ChangeListName::NAME_PARENT, VerdictOf(L"..\\victim.txt"));
    EXPECT_EQ(ChangeListName::NAME_PARENT, VerdictOf(L"a\\..\\..\\victim.txt"));
    EXPECT_EQ(ChangeListName::NAME_PARENT, VerdictOf(L"a\\... \\x"));
    EXPECT_EQ(ChangeListName::NAME_ABSOLUTE, VerdictOf(L"C:\\Windows\\system.ini"));
    EXPECT_EQ(ChangeListName::NAME_ABSOLUTE, VerdictOf(L"c:victim.txt"));
    EXPECT_EQ(ChangeListName::NAME_ABSOLUTE, VerdictOf(L"\\Windows"));
    EXPECT_EQ(ChangeListName::NAME_ABSOLUTE, VerdictOf(L"\\\\server\\share\\x"));
    EXPECT_EQ(ChangeListName::NAME_ABSOLUTE, VerdictOf(L"\\\\?\\C:\\x"));
    EXPECT_EQ(ChangeListName::NAME_ABSOLUTE, VerdictOf(L"/etc/passwd"));
    EXPECT_EQ(ChangeListName::NAME_STREAM, VerdictOf(L"readme.txt:secret"));
    EXPECT_EQ(ChangeListName::NAME_STREAM, VerdictOf(L"sub\\NolvexConnect.exe::$DATA"));
    EXPECT_EQ(ChangeListName::NAME_WILDCARD, VerdictOf(L"*.dll"));
}

TEST(ChangeListNameTest, EmptyNamesAreRefused)
{
    EXPECT_EQ(ChangeListName::NAME_EMPTY, VerdictOf(L""));
    EXPECT_EQ(ChangeListName::NAME_EMPTY, VerdictOf(L"."));
    EXPECT_EQ(ChangeListName::NAME_EMPTY, VerdictOf(L".\\"));
    EXPECT_EQ(ChangeListName::NAME_EMPTY, VerdictOf(L" . "));
}

TEST(ChangeListNameTest, ProtectedNamesAreFoundInAnyCaseAtAnyDepth)
{
    for (const wchar_t *pszName :
         {L"NolvexConnectMonitor.exe", L"nolvexconnectmonitor.EXE", L"NolvexConnect.exe", L"nolvexconnect.exe",
          L"NOLVEXCONNECT.EXE.", L"NolvexConnect.exe ", L"StringTable_JP.dll", L"stringtable_jp.DLL",
          L"sub\\NolvexConnect.exe", L"a\\b\\stringtable_jp.dll", L"NolvexConnect.exe\\inner.txt"}) {
        EXPECT_EQ(ChangeListName::NAME_PROTECTED, VerdictOf(pszName)) << pszName;
    }
}

TEST(ChangeListNameTest, TheLogsFolderItselfIsKeptInAnySpelling)
{
    for (const wchar_t *pszName : {L"Logs", L"logs", L"LOGS\\", L"Logs.", L".\\Logs", L"Logs\\."}) {
        EXPECT_EQ(ChangeListName::NAME_LOGS, VerdictOf(pszName)) << pszName;
    }
    EXPECT_EQ(ChangeListName::NAME_OK, VerdictOf(L"Logs\\old"));
    EXPECT_EQ(ChangeListName::NAME_OK, VerdictOf(L"OldLogs"));
}
