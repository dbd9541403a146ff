#include "FolderCopy.h"
#include "ScopedHandle.h"
#include "TempFolder.h"
#include <gtest/gtest.h>
#include <string>

class FolderCopyTest : public ::testing::Test {
protected:
    static void WriteText(const std::wstring &strPath, const std::string &strText)
    {
        ScopedFileHandle hFile(CreateFileW(strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        ASSERT_TRUE(hFile.IsValid());
        DWORD dw = 0;
        ASSERT_TRUE(WriteFile(hFile.Get(), strText.data(), static_cast<DWORD>(strText.size()), &dw, nullptr));
    }
    static std::string ReadText(const std::wstring &strPath)
    {
        ScopedFileHandle hFile(CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!hFile) return "<missing>";
        char buf[256];
        DWORD dw = 0;
        ReadFile(hFile.Get(), buf, sizeof(buf), &dw, nullptr);
        return std::string(buf, dw);
    }

    TempFolder m_temp{L"foldercopy"};
    const std::wstring m_strRoot = m_temp.Path();
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
