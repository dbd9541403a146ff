#include "DownloadProgress.h"
#include "FileIO.h"
#include "MessageIds.h"
#include "TestFiles.h"
#include "UpdateArchive.h"
#include <gtest/gtest.h>

TEST(DownloadProgressTest, PercentagesOfLargeDownloadsAreExactIn64Bits)
{
    const long long kMB = 1024 * 1024;
    // 30 MB x 100 overflows 32 bits; the percentage must still be 60.
    EXPECT_EQ(60, DownloadProgress::Percent(30 * kMB, 50 * kMB));
    EXPECT_EQ(99, DownloadProgress::Percent(50 * kMB - 1, 50 * kMB));
    EXPECT_EQ(100, DownloadProgress::Percent(50 * kMB, 50 * kMB));
    EXPECT_EQ(50, DownloadProgress::Percent(3 * 1024 * kMB, 6 * 1024 * kMB));   // beyond 4 GB
    EXPECT_EQ(0, DownloadProgress::Percent(0, 50 * kMB));
    EXPECT_EQ(0, DownloadProgress::Percent(10, 0));
    EXPECT_EQ(0, DownloadProgress::Percent(51 * kMB, 50 * kMB));   // more than announced: illegal
    EXPECT_EQ(0, DownloadProgress::Percent(-5, 50));
}

TEST(DownloadProgressTest, OnlyAChangedPercentageIsReported)
{
    DownloadProgress progress;
    EXPECT_TRUE(progress.Changed(0));
    EXPECT_FALSE(progress.Changed(0));
    EXPECT_TRUE(progress.Changed(7));
    EXPECT_FALSE(progress.Changed(7));
    EXPECT_TRUE(progress.Changed(0));
}

TEST(UpdateArchiveTest, OnlyPlainDatNamesWithAStemAreAccepted)
{
    EXPECT_EQ(L"update_1207", UpdateArchive::StemOf(L"update_1207.dat"));
    EXPECT_EQ(L"v1.2-3", UpdateArchive::StemOf(L"v1.2-3.DAT"));
    for (const wchar_t *pszName : {L".dat", L"dat", L"", L"..\\x.dat", L"../x.dat", L"a\\b.dat", L"..dat", L"...dat",
                                   L"x.zip", L"x.dat.exe", L"C:x.dat", L"a b.dat", L"a*.dat", L"x..dat", L".x.dat",
                                   L"\x00e4.dat"}) {
        EXPECT_EQ(L"", UpdateArchive::StemOf(pszName)) << pszName;
    }
    EXPECT_EQ(L"", UpdateArchive::StemOf(std::wstring(UpdateArchive::MAX_STEM_CHARS + 1, L'a') + L".dat"));
    EXPECT_EQ(std::wstring(UpdateArchive::MAX_STEM_CHARS, L'a'),
              UpdateArchive::StemOf(std::wstring(UpdateArchive::MAX_STEM_CHARS, L'a') + L".dat"));
    EXPECT_EQ(L"C:\\data\\NolvexConnect\\UpdateModule_x\\", UpdateArchive::UnpackFolder(L"C:\\data\\NolvexConnect", L"x"));
}

class UpdateArchiveUnpackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // What the application data folder holds besides the download.
        ASSERT_TRUE(WriteBytes(m_folder / L"TerminalRegist.xml", "profile"));
        ASSERT_TRUE(CreateDirectoryW((m_folder / L"Logs").c_str(), nullptr));
        ASSERT_TRUE(WriteBytes(m_folder / L"Logs\\today.dat", "log"));
    }
    void ExpectFolderIntact()
    {
        EXPECT_EQ("profile", ReadBytes(m_folder / L"TerminalRegist.xml"));
        EXPECT_EQ("log", ReadBytes(m_folder / L"Logs\\today.dat"));
    }
    TestFolder m_folder;
};

TEST_F(UpdateArchiveUnpackTest, ARefusedNameRemovesOnlyTheDownload)
{
    std::wstring strFolder = L"unchanged";
    ASSERT_TRUE(WriteBytes(m_folder / L"Logs.dat", "PK"));
    // "Logs.dat" is acceptable as a name, but unpacks into UpdateModule_Logs, never into Logs.
    EXPECT_EQ(MSG_FILE_IO_ERROR, UpdateArchive::Unpack(m_folder / L"Logs.dat", m_folder.Path(), L"pw", strFolder));
    EXPECT_EQ(L"", strFolder);
    ExpectFolderIntact();
    EXPECT_FALSE(PathExists(m_folder / L"Logs.zip"));
    EXPECT_FALSE(PathExists(m_folder / L"UpdateModule_Logs"));

    ASSERT_TRUE(WriteBytes(m_folder / L".dat", "PK"));
    EXPECT_EQ(MSG_FILE_IO_ERROR, UpdateArchive::Unpack(m_folder / L".dat", m_folder.Path(), L"pw", strFolder));
    EXPECT_FALSE(PathExists(m_folder / L".dat"));
    ExpectFolderIntact();
}

TEST_F(UpdateArchiveUnpackTest, DownloadsGoToAFolderOfTheirOwn)
{
    std::wstring strDownload = UpdateArchive::DownloadFolder(m_folder.WithoutSlash());
    EXPECT_EQ(m_folder / L"UpdateDownload\\", strDownload);
    EXPECT_TRUE(PathExists(strDownload));
    EXPECT_EQ(strDownload, UpdateArchive::DownloadFolder(m_folder.Path()));   // an existing one is fine
    EXPECT_EQ(L"", UpdateArchive::DownloadFolder(L""));
    // A download named like the profile is only ever that download.
    ASSERT_TRUE(WriteBytes(strDownload + L"TerminalRegist.xml", "hostile"));
    std::wstring strFolder;
    EXPECT_EQ(MSG_FILE_IO_ERROR, UpdateArchive::Unpack(strDownload + L"TerminalRegist.xml", m_folder.Path(), L"pw", strFolder));
    ExpectFolderIntact();
}

TEST_F(UpdateArchiveUnpackTest, ABrokenArchiveLeavesNoArchiveAndNoFolderBehind)
{
    std::wstring strFolder;
    ASSERT_TRUE(CreateDirectoryW((m_folder / L"UpdateModule_u1").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(m_folder / L"UpdateModule_u1\\old.txt", "previous unpack"));
    ASSERT_TRUE(WriteBytes(m_folder / L"u1.dat", "this is no zip archive"));
    EXPECT_EQ(MSG_FILE_IO_ERROR, UpdateArchive::Unpack(m_folder / L"u1.dat", m_folder.Path(), L"pw", strFolder));
    EXPECT_FALSE(PathExists(m_folder / L"u1.dat"));
    EXPECT_FALSE(PathExists(m_folder / L"u1.zip"));
    EXPECT_FALSE(PathExists(m_folder / L"UpdateModule_u1"));
    ExpectFolderIntact();
}
