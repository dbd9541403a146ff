// Deleting, renaming and copying files and folder trees with FileIO.
#include "FileIOFixture.h"

// ---- removing ----

TEST_F(FileIOTest, RemoveFileDeletesTheFile)
{
    FileIO file;
    WriteBytes(PathOf(L"a.txt"), "a");
    file.RemoveFile(PathOf(L"a.txt"));
    EXPECT_FALSE(PathExists(PathOf(L"a.txt")));
    file.RemoveFile(PathOf(L"a.txt"));   // gone already: logged, nothing else
}

TEST_F(FileIOTest, RemoveFolderRemovesTheWholeTreeReadOnlyFilesIncluded)
{
    MakeDir(L"tree");
    MakeDir(L"tree\\sub");
    MakeDir(L"tree\\sub\\deeper");
    MakeDir(L"tree\\.hidden");
    WriteBytes(PathOf(L"tree\\a.txt"), "a");
    WriteBytes(PathOf(L"tree\\sub\\deeper\\b.txt"), "b");
    WriteBytes(PathOf(L"tree\\.hidden\\c.txt"), "c");
    ASSERT_TRUE(SetFileAttributesW(PathOf(L"tree\\sub\\deeper\\b.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesW(PathOf(L"tree\\sub").c_str(), FILE_ATTRIBUTE_READONLY));
    FileIO file;
    EXPECT_NE(0, file.RemoveFolder(PathOf(L"tree\\\\")));
    EXPECT_FALSE(PathExists(PathOf(L"tree")));
    EXPECT_TRUE(PathExists(m_folder.Path()));
}

TEST_F(FileIOTest, RemoveFolderThatCannotBeListedGives4001)
{
    FileIO file;
    EXPECT_EQ(4001, file.RemoveFolder(PathOf(L"missing")));
    WriteBytes(PathOf(L"plain.txt"), "x");
    EXPECT_EQ(4001, file.RemoveFolder(PathOf(L"plain.txt")));
    EXPECT_TRUE(PathExists(PathOf(L"plain.txt")));
}

TEST_F(FileIOTest, RemoveFolderSkipsALockedFileAndKeepsTheFolder)
{
    MakeDir(L"tree");
    WriteBytes(PathOf(L"tree\\free.txt"), "f");
    LockedFile locked(PathOf(L"tree\\locked.txt"));
    ASSERT_TRUE(locked.IsLocked());
    FileIO file;
    EXPECT_EQ(0, file.RemoveFolder(PathOf(L"tree")));
    EXPECT_FALSE(PathExists(PathOf(L"tree\\free.txt")));
    EXPECT_TRUE(PathExists(PathOf(L"tree\\locked.txt")));
}

// ---- renaming ----

TEST_F(FileIOTest, RenameFolderMovesTheTree)
{
    MakeDir(L"old");
    WriteBytes(PathOf(L"old\\a.txt"), "a");
    FileIO file;
    EXPECT_EQ(0, file.RenameFolder(PathOf(L"old"), PathOf(L"new")));
    EXPECT_FALSE(PathExists(PathOf(L"old")));
    EXPECT_EQ("a", ReadBytes(PathOf(L"new\\a.txt")));
}

TEST_F(FileIOTest, RenameFolderOntoAnExistingFolderGivesMinus2AndLeavesBoth)
{
    MakeDir(L"old");
    MakeDir(L"new");
    WriteBytes(PathOf(L"old\\a.txt"), "old");
    WriteBytes(PathOf(L"new\\a.txt"), "new");
    FileIO file;
    EXPECT_EQ(-2, file.RenameFolder(PathOf(L"old"), PathOf(L"new")));
    EXPECT_EQ("old", ReadBytes(PathOf(L"old\\a.txt")));
    EXPECT_EQ("new", ReadBytes(PathOf(L"new\\a.txt")));
}

TEST_F(FileIOTest, RenameFolderOfAMissingFolderGivesMinus1AndAFailedMoveTheSystemError)
{
    FileIO file;
    EXPECT_EQ(-1, file.RenameFolder(PathOf(L"missing"), PathOf(L"new")));
    EXPECT_FALSE(PathExists(PathOf(L"new")));
    MakeDir(L"old");
    long lResult = file.RenameFolder(PathOf(L"old"), PathOf(L"nowhere\\new"));
    EXPECT_GT(lResult, 0);
    EXPECT_TRUE(PathExists(PathOf(L"old")));
}

// ---- copying folders ----

TEST_F(FileIOTest, CopyFolderCopiesTheTreeButNoNameBeginningWithADot)
{
    MakeDir(L"src");
    MakeDir(L"src\\sub");
    MakeDir(L"src\\.svn");
    WriteBytes(PathOf(L"src\\a.txt"), "a");
    WriteBytes(PathOf(L"src\\.profile"), "dot file");
    WriteBytes(PathOf(L"src\\sub\\b.txt"), "b");
    WriteBytes(PathOf(L"src\\sub\\.keep"), "");
    WriteBytes(PathOf(L"src\\.svn\\entries"), "e");
    FileIO file;
    EXPECT_EQ(0, file.CopyFolder(PathOf(L"src"), PathOf(L"dst"), false));
    EXPECT_EQ("a", ReadBytes(PathOf(L"dst\\a.txt")));
    EXPECT_EQ("b", ReadBytes(PathOf(L"dst\\sub\\b.txt")));
    EXPECT_FALSE(PathExists(PathOf(L"dst\\.profile")));
    EXPECT_FALSE(PathExists(PathOf(L"dst\\sub\\.keep")));
    EXPECT_FALSE(PathExists(PathOf(L"dst\\.svn")));
    EXPECT_TRUE(PathExists(PathOf(L"src\\.svn\\entries")));   // the source is untouched
}

TEST_F(FileIOTest, CopyFolderRefusesAMissingSourceAndAnExistingDestinationWithoutOverwrite)
{
    FileIO file;
    EXPECT_EQ(-1, file.CopyFolder(PathOf(L"missing"), PathOf(L"dst"), true));
    WriteBytes(PathOf(L"plain.txt"), "x");
    EXPECT_EQ(-1, file.CopyFolder(PathOf(L"plain.txt"), PathOf(L"dst"), true));
    EXPECT_FALSE(PathExists(PathOf(L"dst")));
    MakeDir(L"src");
    MakeDir(L"dst");
    WriteBytes(PathOf(L"src\\a.txt"), "new");
    WriteBytes(PathOf(L"dst\\a.txt"), "old");
    EXPECT_EQ(-2, file.CopyFolder(PathOf(L"src"), PathOf(L"dst"), false));
    EXPECT_EQ("old", ReadBytes(PathOf(L"dst\\a.txt")));
}

TEST_F(FileIOTest, CopyFolderWithOverwriteReplacesFilesAndKeepsOthers)
{
    MakeDir(L"src");
    MakeDir(L"src\\sub");
    MakeDir(L"dst");
    WriteBytes(PathOf(L"src\\a.txt"), "new");
    WriteBytes(PathOf(L"src\\sub\\b.txt"), "b");
    WriteBytes(PathOf(L"dst\\a.txt"), "old");
    WriteBytes(PathOf(L"dst\\only-here.txt"), "kept");
    FileIO file;
    EXPECT_EQ(0, file.CopyFolder(PathOf(L"src\\"), PathOf(L"dst\\"), true));
    EXPECT_EQ("new", ReadBytes(PathOf(L"dst\\a.txt")));
    EXPECT_EQ("b", ReadBytes(PathOf(L"dst\\sub\\b.txt")));
    EXPECT_EQ("kept", ReadBytes(PathOf(L"dst\\only-here.txt")));
}

TEST_F(FileIOTest, CopyFolderReportsAFailedFileCopyEvenDeepInTheTree)
{
    MakeDir(L"src");
    MakeDir(L"src\\sub");
    MakeDir(L"dst");
    MakeDir(L"dst\\sub");
    WriteBytes(PathOf(L"src\\a.txt"), "a");
    WriteBytes(PathOf(L"src\\sub\\b.txt"), "b");
    WriteBytes(PathOf(L"src\\sub\\c.txt"), "c");
    long lResult = 0;
    {
        LockedFile locked(PathOf(L"dst\\sub\\b.txt"));
        ASSERT_TRUE(locked.IsLocked());
        FileIO file;
        lResult = file.CopyFolder(PathOf(L"src"), PathOf(L"dst"), true);
    }
    EXPECT_GT(lResult, 0);   // the system error of the copy
    // The other files were still copied.
    EXPECT_EQ("a", ReadBytes(PathOf(L"dst\\a.txt")));
    EXPECT_EQ("c", ReadBytes(PathOf(L"dst\\sub\\c.txt")));
}

// ---- copying one file ----

TEST_F(FileIOTest, FileCopyResults)
{
    FileIO file;
    WriteBytes(PathOf(L"a.txt"), "a");
    EXPECT_EQ(0, file.FileCopy(PathOf(L"a.txt"), PathOf(L"b.txt"), false));
    EXPECT_EQ("a", ReadBytes(PathOf(L"b.txt")));
    EXPECT_EQ(1, file.FileCopy(PathOf(L"missing.txt"), PathOf(L"c.txt"), true));
    EXPECT_FALSE(PathExists(PathOf(L"c.txt")));

    WriteBytes(PathOf(L"a.txt"), "changed");
    EXPECT_EQ(2, file.FileCopy(PathOf(L"a.txt"), PathOf(L"b.txt"), false));
    EXPECT_EQ("a", ReadBytes(PathOf(L"b.txt")));
    EXPECT_EQ(0, file.FileCopy(PathOf(L"a.txt"), PathOf(L"b.txt"), true));
    EXPECT_EQ("changed", ReadBytes(PathOf(L"b.txt")));

    LockedFile locked(PathOf(L"locked.txt"));
    ASSERT_TRUE(locked.IsLocked());
    EXPECT_EQ(3, file.FileCopy(PathOf(L"a.txt"), PathOf(L"locked.txt"), true));
    EXPECT_EQ(3, file.FileCopy(PathOf(L"a.txt"), PathOf(L"nowhere\\b.txt"), true));
}
