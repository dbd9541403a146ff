#include "TestFiles.h"
#include "ZIPCoding.h"
#include <gtest/gtest.h>
#include <windows.h>

class ZIPCodingTest : public ::testing::Test {
protected:
    TestFolder m_folder;
    const std::wstring m_strFolder = m_folder.WithoutSlash();
};

TEST_F(ZIPCodingTest, ErrorTextsFollowTheArchiversTable)
{
    struct Row {
        long lCode;
        const wchar_t *pszText;
    };
    const Row kRows[] = {
        {0x8000, L"7-Zip API return ERROR_START"},
        {0x8005, L"7-Zip API return ERROR_DISK_SPACE"},
        {0x800A, L"7-Zip API return ERROR_PASSWORD_FILE"},
        {0x800C, L"7-Zip API return ERROR_FILE_CRC"},
        {0x8012, L"7-Zip API return ERROR_MAKEDIRECTORY"},
        {0x8017, L"7-Zip API return ERROR_HEADER_BROKEN"},
        {0x8019, L"7-Zip API return ERROR_NOT_ARC_FILE"},
        {0x801C, L"7-Zip API return ERROR_COMMAND_NAME"},
        {0x8020, L"7-Zip API return ERROR_USER_CANCEL"},
        {0x8029, L"7-Zip API return ERROR_NOT_FIND_ARC_FILE"},
        {0x802B, L"7-Zip API return ERROR_NOT_FILENAME"},
        {0x8040, L"7-Zip API return ERROR_MAKE_ARCHIVE"},
        {0x8048, L"7-Zip API return ERROR_BROKEN_DATA"},
        {0x8049, L""}, {0x8001, L""}, {0x8004, L""}, {0, L""}, {-1, L""},
    };
    for (const Row &row : kRows) EXPECT_EQ(row.pszText, ZIPCoding::GetSevenZipError(row.lCode)) << std::hex << row.lCode;
}

TEST_F(ZIPCodingTest, MissingArchiveGivesTheArchiversCode)
{
    ZIPCoding zip;
    EXPECT_EQ(0x8029, zip.Decode(m_strFolder + L"\\out", m_strFolder + L"\\missing.zip", L"pw"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((m_strFolder + L"\\out").c_str()));
}

TEST_F(ZIPCodingTest, FileThatIsNoArchiveGivesNotArcFile)
{
    std::wstring strPath = m_strFolder + L"\\plain.txt";
    HANDLE hFile = CreateFileW(strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hFile);
    DWORD dwWritten = 0;
    WriteFile(hFile, "just some text, no archive at all", 33, &dwWritten, nullptr);
    CloseHandle(hFile);
    ZIPCoding zip;
    EXPECT_EQ(0x8019, zip.Decode(m_strFolder + L"\\out", strPath, L"pw"));
}

TEST_F(ZIPCodingTest, QuoteInAnArgumentIsRefusedBeforeTheArchiverRuns)
{
    ZIPCoding zip;
    EXPECT_EQ(ZIPCoding::SEVENZIP_ERROR_COMMAND_NAME,
              zip.Decode(m_strFolder + L"\\out", m_strFolder + L"\\a.zip", L"pw\" -o\"C:\\elsewhere"));
    EXPECT_EQ(ZIPCoding::SEVENZIP_ERROR_COMMAND_NAME,
              zip.Decode(m_strFolder + L"\\o\"ut", m_strFolder + L"\\a.zip", L"pw"));
}

TEST_F(ZIPCodingTest, TextTheAnsiCodePageCannotCarryIsRefused)
{
    // U+0D9E (Sinhala) is in no ANSI code page; converted it would reach the archiver as "?".
    ZIPCoding zip;
    EXPECT_EQ(ZIPCoding::SEVENZIP_ERROR_COMMAND_NAME,
              zip.Decode(m_strFolder + L"\\out\u0d9e", m_strFolder + L"\\missing.zip", L"pw"));
    EXPECT_EQ(ZIPCoding::SEVENZIP_ERROR_COMMAND_NAME,
              zip.Decode(m_strFolder + L"\\out", m_strFolder + L"\\missing.zip", L"p\u0d9ew"));
}

TEST_F(ZIPCodingTest, LibraryLoadsAndUnloads)
{
    ZIPCoding zip;
    EXPECT_TRUE(zip.LoadSevenZipFunc());
    EXPECT_NE(nullptr, GetModuleHandleW(ZIPCoding::SEVENZIP_DLL));
    EXPECT_TRUE(zip.FreeSevenZip());
    EXPECT_EQ(nullptr, GetModuleHandleW(ZIPCoding::SEVENZIP_DLL));
}
