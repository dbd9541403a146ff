#include "LockedFile.h"
#include "MonitorUpdate.h"
#include "UpdateTestTree.h"
#include <gtest/gtest.h>

// Backup, change list, copy and rollback on an install folder of the test's own (the update's
// seam replaces the registry's install path). Trees are compared whole, byte by byte.
class MonitorUpdateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_strIns = m_root / L"NolvexConnect";
        MonitorUpdate::Seams seams;
        seams.strInstallPath = m_strIns + L"\\";
        m_update.reset(new MonitorUpdate(seams));
        m_before = {{L"NolvexConnect.exe", "client 1"},
                    {L"NolvexConnectMonitor.exe", "service 1"},
                    {L"StringTable_JP.dll", "jp 1"},
                    {L"readme.txt", "readme 1"},
                    {L"gone.txt", "to be deleted"},
                    {L"Logs\\", ""},
                    {L"Logs\\trace.log", "log"},
                    {L"Logs\\old\\", ""},
                    {L"Logs\\old\\x.log", "old log"},
                    {L"plugins\\", ""},
                    {L"plugins\\a.dll", "plugin a"},
                    {L"sub\\", ""},
                    {L"sub\\NolvexConnect.exe", "a nested copy"}};
        ASSERT_TRUE(WriteTree(m_strIns, m_before));
        m_before = ReadTree(m_strIns);
    }
    Tree Install() { return ReadTree(m_strIns); }
    std::wstring Diff(const Tree &tree)
    {
        std::wstring strDiff = m_root / (L"diff" + std::to_wstring(++m_nDiffs));
        EXPECT_TRUE(WriteTree(strDiff, tree));
        return strDiff;
    }
    static std::string ChangeList(const std::string &strItems)
    {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r<Directory>\r" + strItems + "</Directory>\r";
    }
    static std::string Delete(const char *pszType, const std::string &strName)
    {
        return std::string("<Item D=\"") + pszType + "\"><name>" + strName + "</name></Item>\r";
    }

    TestFolder m_root;
    std::wstring m_strIns;
    std::unique_ptr<MonitorUpdate> m_update;
    Tree m_before;
    int m_nDiffs = 0;
};

TEST_F(MonitorUpdateTest, ARollbackMakesTheInstallFolderEqualToTheBackup)
{
    ASSERT_EQ(0, m_update->BackupCopy());
    EXPECT_EQ(m_before, ReadTree(m_strIns + L"Bak"));
    // Whatever happened since: changed, added, removed, read-only.
    ASSERT_TRUE(WriteBytes(m_strIns + L"\\readme.txt", "readme 2"));
    ASSERT_TRUE(WriteBytes(m_strIns + L"\\added.dll", "added"));
    ASSERT_TRUE(WriteTree(m_strIns, {{L"newdir\\", ""}, {L"newdir\\deep\\x.txt", "x"}}));
    ASSERT_TRUE(DeleteFileW((m_strIns + L"\\plugins\\a.dll").c_str()));
    ASSERT_TRUE(SetFileAttributesW((m_strIns + L"\\gone.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesW((m_strIns + L"\\added.dll").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_NE(m_before, Install());

    EXPECT_EQ(0, m_update->CopyRollback());
    EXPECT_EQ(TreeText(m_before), TreeText(Install()));
    EXPECT_EQ(m_before, Install());
    EXPECT_FALSE(PathExists(m_strIns + L"_NG"));
    EXPECT_TRUE(PathExists(m_strIns + L"Bak")) << "the backup is never deleted";
}

TEST_F(MonitorUpdateTest, ARollbackWithoutABackupFailsAndTouchesNothing)
{
    EXPECT_NE(0, m_update->CopyRollback());
    EXPECT_EQ(m_before, Install());
}

TEST_F(MonitorUpdateTest, ARollbackWhoseRestoreFailsComesBackToTheFailedState)
{
    ASSERT_EQ(0, m_update->BackupCopy());
    ASSERT_TRUE(WriteBytes(m_strIns + L"\\readme.txt", "readme changed"));
    ASSERT_TRUE(WriteBytes(m_strIns + L"\\added.dll", "added"));
    Tree failed = Install();
    {
        // The backup's copy of the changed file cannot be read: the restore stops there.
        LockedFile lock(m_strIns + L"Bak\\readme.txt");
        ASSERT_TRUE(lock.IsLocked());
        EXPECT_NE(0, m_update->CopyRollback());
    }
    EXPECT_EQ(TreeText(failed), TreeText(Install()));
    EXPECT_EQ(failed, Install());
}

TEST_F(MonitorUpdateTest, TheChangeListDeletesOnlyWhatItMayThenTheFolderIsCopied)
{
    ASSERT_EQ(0, m_update->BackupCopy());
    const std::string strList = ChangeList(
        Delete("F", "gone.txt") + Delete("D", "plugins") + Delete("D", "Logs") + Delete("D", "logs\\") +
        Delete("D", "Logs\\old") + Delete("F", "nolvexconnect.exe") + Delete("F", "NOLVEXCONNECTMONITOR.EXE.") +
        Delete("F", "sub\\NolvexConnect.EXE") + Delete("F", "stringtable_jp.dll") + Delete("F", "..\\outside.txt") +
        Delete("F", "readme.txt:stream") + Delete("F", "") + Delete("F", "missing.txt") +
        "<Item A=\"F\"><name>readme.txt</name></Item>\r");
    ASSERT_TRUE(WriteBytes(m_root / L"outside.txt", "outside"));
    std::wstring strDiff = Diff({{L"changelist.xml", strList}, {L"new.txt", "new"}, {L"readme.txt", "readme 2"},
                                 {L"plugins2\\", ""}, {L"plugins2\\b.dll", "plugin b"}});
    EXPECT_EQ(0, m_update->DiffFileCopy(strDiff));

    Tree expected = m_before;
    expected.erase(L"gone.txt");
    expected.erase(L"plugins\\");
    expected.erase(L"plugins\\a.dll");
    expected.erase(L"Logs\\old\\");
    expected.erase(L"Logs\\old\\x.log");
    expected[L"changelist.xml"] = strList;
    expected[L"new.txt"] = "new";
    expected[L"readme.txt"] = "readme 2";
    expected[L"plugins2\\"] = "";
    expected[L"plugins2\\b.dll"] = "plugin b";
    EXPECT_EQ(TreeText(expected), TreeText(Install()));
    EXPECT_TRUE(PathExists(m_root / L"outside.txt"));
}

TEST_F(MonitorUpdateTest, ADifferenceFolderWithoutChangeListIsCopiedWithoutDeletions)
{
    ASSERT_EQ(0, m_update->BackupCopy());
    std::wstring strDiff = Diff({{L"gone.txt", "replaced"}, {L"extra.txt", "extra"}});
    EXPECT_EQ(0, m_update->DiffFileCopy(strDiff));
    Tree expected = m_before;
    expected[L"gone.txt"] = "replaced";
    expected[L"extra.txt"] = "extra";
    EXPECT_EQ(expected, Install());
}

TEST_F(MonitorUpdateTest, ACopyThatFailsMidwayRollsBackToTheStateBefore)
{
    ASSERT_EQ(0, m_update->BackupCopy());
    std::wstring strDiff = Diff({{L"changelist.xml", ChangeList(Delete("F", "gone.txt"))},
                                 {L"a_first.txt", "first"},
                                 {L"readme.txt", "readme 2"},
                                 {L"plugins\\a.dll", "plugin 2"},
                                 {L"zz_last.txt", "last"}});
    {
        LockedFile lock(m_strIns + L"\\plugins\\a.dll");   // held open without sharing
        ASSERT_TRUE(lock.IsLocked());
        EXPECT_NE(0, m_update->DiffFileCopy(strDiff));
    }
    EXPECT_EQ(TreeText(m_before), TreeText(Install()));
    EXPECT_EQ(m_before, Install());
}

TEST_F(MonitorUpdateTest, AStagedFileThatCannotBeReadFailsTheCopyAndRollsBack)
{
    ASSERT_EQ(0, m_update->BackupCopy());
    std::wstring strDiff = Diff({{L"a_first.txt", "first"}, {L"readme.txt", "readme 2"}, {L"zz_last.txt", "last"}});
    {
        // Gone from under the copy: the staged file cannot be opened; the target is not to blame
        // and is not renamed aside.
        LockedFile lock(strDiff + L"\\readme.txt");
        ASSERT_TRUE(lock.IsLocked());
        EXPECT_NE(0, m_update->DiffFileCopy(strDiff));
    }
    EXPECT_EQ(TreeText(m_before), TreeText(Install()));
    EXPECT_FALSE(PathExists(m_strIns + L"_InUse"));
}

TEST_F(MonitorUpdateTest, ACopyOntoAReadOnlyFileFailsAndRollsBack)
{
    ASSERT_TRUE(SetFileAttributesW((m_strIns + L"\\readme.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    m_before = Install();
    ASSERT_EQ(0, m_update->BackupCopy());
    std::wstring strDiff = Diff({{L"a_first.txt", "first"}, {L"readme.txt", "readme 2"}, {L"zz_last.txt", "last"}});
    EXPECT_NE(0, m_update->DiffFileCopy(strDiff));
    EXPECT_EQ(TreeText(m_before), TreeText(Install()));
}

TEST_F(MonitorUpdateTest, TwoUpdatesThenARollbackGiveTheStateBetweenThem)
{
    ASSERT_EQ(0, m_update->BackupCopy());
    ASSERT_EQ(0, m_update->DiffFileCopy(Diff({{L"changelist.xml", ChangeList(Delete("F", "gone.txt"))},
                                              {L"first.txt", "from the first"},
                                              {L"readme.txt", "readme 2"}})));
    Tree between = Install();
    ASSERT_EQ(0, m_update->BackupCopy());
    ASSERT_EQ(0, m_update->DiffFileCopy(Diff({{L"second.txt", "from the second"}, {L"readme.txt", "readme 3"}})));
    ASSERT_NE(between, Install());
    EXPECT_EQ(0, m_update->CopyRollback());
    // Exactly the state between: nothing of the second update, nothing of the oldest backup.
    EXPECT_EQ(TreeText(between), TreeText(Install()));
    EXPECT_FALSE(PathExists(m_strIns + L"\\gone.txt"));
}

TEST_F(MonitorUpdateTest, AFileInUseIsRenamedAsideAndReplaced)
{
    ASSERT_EQ(0, m_update->BackupCopy());
    {
        // A running program's file: others may read and rename it, not write it.
        LockedFile running(m_strIns + L"\\NolvexConnectMonitor.exe", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE);
        ASSERT_TRUE(running.IsLocked());
        EXPECT_EQ(0, m_update->DiffFileCopy(Diff({{L"NolvexConnectMonitor.exe", "service 2"}})));
        EXPECT_EQ("service 2", ReadBytes(m_strIns + L"\\NolvexConnectMonitor.exe"));
        EXPECT_EQ(1u, ReadTree(m_strIns + L"_InUse").size()) << "the old file waits aside";
        EXPECT_EQ(0, m_update->CopyRollback());
        EXPECT_EQ("service 1", ReadBytes(m_strIns + L"\\NolvexConnectMonitor.exe"));
    }
    m_update->RemoveSetAside();
    EXPECT_FALSE(PathExists(m_strIns + L"_InUse"));
    EXPECT_EQ(m_before, Install());
}

TEST_F(MonitorUpdateTest, AChangeListNameWithAReparsePointOnItsWayIsRefusedAndTheRestGoesOn)
{
    // Wine makes no junctions: the attributes seam reports "plugins" as one, as Windows would for
    // a junction that an administrator's tool or an attacker left there pointing at "elsewhere".
    const std::wstring strLink = m_strIns + L"\\plugins";
    MonitorUpdate::Seams seams;
    seams.strInstallPath = m_strIns + L"\\";
    seams.pfnGetAttributes = [strLink](const std::wstring &strPath) -> DWORD {
        DWORD dwAttr = GetFileAttributesW(strPath.c_str());
        if (dwAttr != INVALID_FILE_ATTRIBUTES && lstrcmpiW(strPath.c_str(), strLink.c_str()) == 0)
            dwAttr |= FILE_ATTRIBUTE_REPARSE_POINT;
        return dwAttr;
    };
    MonitorUpdate update(seams);
    ASSERT_TRUE(WriteTree(m_root / L"elsewhere", {{L"a.dll", "not the product's"}}));
    const Tree elsewhere = ReadTree(m_root / L"elsewhere");
    ASSERT_EQ(0, update.BackupCopy());
    const std::string strList = ChangeList(Delete("F", "plugins\\a.dll") + Delete("F", "PLUGINS\\.\\a.dll") +
                                           Delete("F", "gone.txt"));
    size_t nRefused = LogCount(L"is refused: a reparse point is on its way.");
    EXPECT_EQ(0, update.DiffFileCopy(Diff({{L"changelist.xml", strList}, {L"new.txt", "new"}})));

    Tree expected = m_before;
    expected.erase(L"gone.txt");   // the other names of the list are still worked through
    expected[L"changelist.xml"] = strList;
    expected[L"new.txt"] = "new";
    EXPECT_EQ(TreeText(expected), TreeText(Install()));
    EXPECT_EQ(elsewhere, ReadTree(m_root / L"elsewhere"));
    EXPECT_EQ(m_before, ReadTree(m_strIns + L"Bak"));
    EXPECT_EQ(nRefused + 2, LogCount(L"is refused: a reparse point is on its way."));
}
