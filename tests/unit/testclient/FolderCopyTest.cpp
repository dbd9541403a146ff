#include "FolderCopy.h"
#include "TestFiles.h"
#include <gtest/gtest.h>
#include <string>

class FolderCopyTest : public ::testing::Test {
protected:
    static void WriteText(const std::wstring &strPath, const std::string &strText)
    {
        ASSERT_TRUE(WriteBytes(strPath, strText)) << "cannot write the fixture file";
    }
    static std::string ReadText(const std::wstring &strPath)
    {
        return PathExists(strPath) ? ReadBytes(strPath) : "<missing>";
    }

    TestFolder m_temp;
    const std::wstring m_strRoot = m_temp.WithoutSlash();
};

TEST_F(FolderCopyTest, CopiesEveryFileAndSubfolderIntoANewUserFolder)
{
    std::wstring strSource = m_strRoot + L"\\src";
    ASSERT_TRUE(CreateDirectoryW(strSource.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((strSource + L"\\update").c_str(), nullptr));
    WriteText(strSource + L"\\UserSetting.xml", "<setting/>");
    WriteText(strSource + L"\\ProxySetting_ab cd_NolvexConnectDial.txt", "proxy");
    WriteText(strSource + L"\\update\\changelist.xml", "<list/>");
    std::wstring strUser = m_strRoot + L"\\Users\\a\\Nolvex";
    size_t nFiles = 0;
    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), FolderCopy::CopyTree(strSource, strUser, &nFiles));
    EXPECT_EQ(3u, nFiles);
    EXPECT_EQ("<setting/>", ReadText(strUser + L"\\UserSetting.xml"));
    EXPECT_EQ("proxy", ReadText(strUser + L"\\ProxySetting_ab cd_NolvexConnectDial.txt"));
    EXPECT_EQ("<list/>", ReadText(strUser + L"\\update\\changelist.xml"));
}

TEST_F(FolderCopyTest, ReplacesFilesAlreadyInTheUserFolder)
{
    std::wstring strSource = m_strRoot + L"\\src";
    std::wstring strUser = m_strRoot + L"\\user";
    ASSERT_TRUE(CreateDirectoryW(strSource.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(strUser.c_str(), nullptr));
    WriteText(strSource + L"\\UserSetting.xml", "new");
    WriteText(strUser + L"\\UserSetting.xml", "old");
    WriteText(strUser + L"\\other.txt", "kept");
    size_t nFiles = 0;
    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), FolderCopy::CopyTree(strSource, strUser, &nFiles));
    EXPECT_EQ("new", ReadText(strUser + L"\\UserSetting.xml"));
    EXPECT_EQ("kept", ReadText(strUser + L"\\other.txt"));
}

TEST_F(FolderCopyTest, MissingSourceIsAnError)
{
    size_t nFiles = 0;
    DWORD dwError = FolderCopy::CopyTree(m_strRoot + L"\\absent", m_strRoot + L"\\user", &nFiles);
    EXPECT_NE(static_cast<DWORD>(ERROR_SUCCESS), dwError);
    EXPECT_EQ(0u, nFiles);
}

TEST_F(FolderCopyTest, TargetThatIsAFileIsAnError)
{
    WriteText(m_strRoot + L"\\plain", "x");
    EXPECT_EQ(static_cast<DWORD>(ERROR_DIRECTORY), FolderCopy::CreateFolders(m_strRoot + L"\\plain"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), FolderCopy::CreateFolders(m_strRoot + L"\\a\\b\\c\\"));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((m_strRoot + L"\\a\\b\\c").c_str()));
}
