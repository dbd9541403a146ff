#include "FileIOFixture.h"
#include "NolvexException.h"
#include <algorithm>

// ---- the append file ----

TEST_F(FileIOTest, OpenCreatesTheFileAndASecondWriterIsRefused)
{
    FileIO first, second;
    ASSERT_NE(0, first.FileOpen(PathOf(L"log.dat")));
    EXPECT_TRUE(PathExists(PathOf(L"log.dat")));
    EXPECT_EQ(0, second.FileOpen(PathOf(L"log.dat")));
    EXPECT_FALSE(second.IsOpen());
    // Readers are welcome while it is open.
    HANDLE hReader = CreateFileW(PathOf(L"log.dat").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, hReader);
    if (hReader != INVALID_HANDLE_VALUE) CloseHandle(hReader);
    first.FileClose();
    EXPECT_NE(0, second.FileOpen(PathOf(L"log.dat")));
}

TEST_F(FileIOTest, AppendWriteAddsAtTheEndAndReopeningDoesNotTruncate)
{
    FileIO file;
    ASSERT_NE(0, file.FileOpen(PathOf(L"log.dat")));
    Append(file, "abc");
    file.FileClose();
    ASSERT_NE(0, file.FileOpen(PathOf(L"log.dat")));
    Append(file, "def");
    Append(file, "gh");
    file.FileClose();
    EXPECT_EQ("abcdefgh", ReadBytes(PathOf(L"log.dat")));
}

TEST_F(FileIOTest, OpeningAnotherFileClosesTheFirst)
{
    FileIO file, other;
    ASSERT_NE(0, file.FileOpen(PathOf(L"one.dat")));
    ASSERT_NE(0, file.FileOpen(PathOf(L"two.dat")));
    EXPECT_NE(0, other.FileOpen(PathOf(L"one.dat")));
}

TEST_F(FileIOTest, AppendWriteWithoutAnOpenFileRaisesTheLibraryException)
{
    FileIO file;
    try {
        Append(file, "x");
        FAIL() << "no exception";
    } catch (const NolvexException &e) {
        EXPECT_EQ(L"FileIO Err : File is not Opened", e.GetMessage());
        EXPECT_EQ(e.GetMessage() + L" " + e.GetDetail(), e.GetText());
    }
    ASSERT_NE(0, file.FileOpen(PathOf(L"log.dat")));
    file.FileClose();
    file.FileClose();   // a second close is harmless
    EXPECT_THROW(Append(file, "x"), NolvexException);
}

TEST_F(FileIOTest, OpenInAMissingFolderFails)
{
    FileIO file;
    EXPECT_EQ(0, file.FileOpen(PathOf(L"missing\\log.dat")));
    EXPECT_THROW(Append(file, "x"), NolvexException);
}

// ---- paths and folders ----

TEST_F(FileIOTest, ExistsForFilesAndFoldersOnly)
{
    FileIO file;
    WriteBytes(PathOf(L"a.txt"), "a");
    CreateDirectoryW(PathOf(L"sub").c_str(), nullptr);
    EXPECT_TRUE(file.isExistsPath(PathOf(L"a.txt")));
    EXPECT_TRUE(file.isExistsPath(PathOf(L"sub")));
    EXPECT_TRUE(file.isExistsPath(PathOf(L"sub\\")));
    EXPECT_FALSE(file.isExistsPath(PathOf(L"b.txt")));
}

TEST_F(FileIOTest, MakeFolderCreatesEveryMissingParent)
{
    FileIO file;
    EXPECT_EQ(0u, file.MakeFolder(PathOf(L"a\\b\\c\\")));
    DWORD dwAttr = GetFileAttributesW(PathOf(L"a\\b\\c").c_str());
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, dwAttr);
    EXPECT_TRUE(dwAttr & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(0u, file.MakeFolder(PathOf(L"a\\b")));   // already there
}

TEST_F(FileIOTest, MakeFolderBelowAFileGivesTheSystemError)
{
    FileIO file;
    WriteBytes(PathOf(L"plain"), "x");
    EXPECT_NE(0u, file.MakeFolder(PathOf(L"plain\\sub")));
    EXPECT_NE(0u, file.MakeFolder(PathOf(L"plain")));
    EXPECT_FALSE(PathExists(PathOf(L"plain\\sub")));
}

TEST_F(FileIOTest, RemoveFile2SaysWhetherItDeleted)
{
    FileIO file;
    WriteBytes(PathOf(L"a.txt"), "a");
    EXPECT_EQ(1, file.RemoveFile2(PathOf(L"a.txt")));
    EXPECT_FALSE(PathExists(PathOf(L"a.txt")));
    EXPECT_EQ(0, file.RemoveFile2(PathOf(L"a.txt")));
}

// ---- file lists ----

TEST_F(FileIOTest, ListEntriesCarryUtcAndLocalTimes)
{
    WriteBytes(PathOf(L"one.dat"), "1");
    const SYSTEMTIME stSet = MakeTime(2029, 6, 30, 22, 15, 10, 0);
    ASSERT_TRUE(SetCreationAndWriteTime(PathOf(L"one.dat"), stSet));
    FileIO file;
    std::vector<FileEntryInfo> vecList;
    ASSERT_EQ(1, file.GetFileList(m_folder.Path(), L"*.dat", vecList, false));
    const FileEntryInfo &entry = vecList[0];
    EXPECT_EQ(m_folder.Path(), entry.strFolder);
    EXPECT_EQ(L"one.dat", entry.strName);
    for (const SYSTEMTIME *pst : {&entry.stCreationUTC, &entry.stLastWriteUTC}) {
        EXPECT_EQ(2029, pst->wYear);
        EXPECT_EQ(6, pst->wMonth);
        EXPECT_EQ(30, pst->wDay);
        EXPECT_EQ(22, pst->wHour);
        EXPECT_EQ(15, pst->wMinute);
        EXPECT_EQ(10, pst->wSecond);
    }
    SYSTEMTIME stLocal;
    ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(nullptr, &stSet, &stLocal));
    for (const SYSTEMTIME *pst : {&entry.stCreationLocal, &entry.stLastWriteLocal}) {
        EXPECT_EQ(stLocal.wYear, pst->wYear);
        EXPECT_EQ(stLocal.wMonth, pst->wMonth);
        EXPECT_EQ(stLocal.wDay, pst->wDay);
        EXPECT_EQ(stLocal.wHour, pst->wHour);
        EXPECT_EQ(stLocal.wMinute, pst->wMinute);
    }
}

TEST_F(FileIOTest, ListFollowsThePatternAndSubFoldersOnlyWhenAsked)
{
    WriteBytes(PathOf(L"a.dat"), "a");
    WriteBytes(PathOf(L"b.txt"), "b");
    CreateDirectoryW(PathOf(L"sub").c_str(), nullptr);
    WriteBytes(PathOf(L"sub\\c.dat"), "c");
    FileIO file;

    std::vector<FileEntryInfo> vecFlat;
    EXPECT_EQ(1, file.GetFileList(m_folder.Path(), L"*.dat", vecFlat, false));
    EXPECT_EQ(L"a.dat", vecFlat[0].strName);

    std::vector<FileEntryInfo> vecDeep;
    file.GetFileListSubFolder(m_folder.Path().substr(0, m_folder.Path().size() - 1), L"*.dat", vecDeep, true);
    std::vector<std::wstring> vecPaths;
    for (const FileEntryInfo &entry : vecDeep) vecPaths.push_back(entry.strFolder + L"|" + entry.strName);
    std::vector<std::wstring> vecExpected{m_folder.Path() + L"|a.dat", m_folder.Path() + L"sub\\|",
                                          m_folder.Path() + L"sub\\|c.dat"};
    std::sort(vecPaths.begin(), vecPaths.end());
    std::sort(vecExpected.begin(), vecExpected.end());
    EXPECT_EQ(vecExpected, vecPaths);

    std::vector<FileEntryInfo> vecAll;
    EXPECT_EQ(4, file.GetFileList(m_folder.Path(), L"*.*", vecAll, true));
}

TEST_F(FileIOTest, ListOfNothingMatchingIsEmpty)
{
    FileIO file;
    std::vector<FileEntryInfo> vecList;
    EXPECT_EQ(0, file.GetFileList(m_folder.Path(), L"*.none", vecList, true));
    EXPECT_EQ(0, file.GetFileList(m_folder.Path() + L"missing", L"*.*", vecList, false));
}
