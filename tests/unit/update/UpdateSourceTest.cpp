#include "UpdateSource.h"
#include <gtest/gtest.h>
#include <set>
#include <windows.h>

// The folder walk runs against a seam: a made-up tree in which some folders are junctions.
class UpdateSourceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const wchar_t *pszFolder :
             {L"C:", L"C:\\users", L"C:\\users\\eve", L"C:\\users\\eve\\AppData", L"C:\\users\\eve\\AppData\\Roaming",
              L"C:\\users\\eve\\AppData\\Roaming\\NolvexConnect", L"C:\\users\\eve\\AppData\\Roaming\\NolvexConnect\\upd",
              L"C:\\users\\eve\\AppData\\Roaming\\NolvexConnect\\link",
              L"C:\\users\\eve\\AppData\\Roaming\\NolvexConnect\\link\\upd"})
            m_folders.insert(pszFolder);
        m_links.insert(L"C:\\users\\eve\\AppData\\Roaming\\NolvexConnect\\link");
    }
    bool Check(const std::wstring &strDiff)
    {
        // Names are found in any letter case, as the file system finds them.
        UpdateSource source([this](const std::wstring &strPath) -> DWORD {
            if (Has(m_links, strPath)) return FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
            return Has(m_folders, strPath) ? FILE_ATTRIBUTE_DIRECTORY : INVALID_FILE_ATTRIBUTES;
        });
        m_strReason.clear();
        m_strFolder.clear();
        return source.Check(strDiff, kRoot, m_strFolder, m_strReason);
    }

    static bool Has(const std::set<std::wstring> &set, const std::wstring &strPath)
    {
        for (const std::wstring &strItem : set) {
            if (lstrcmpiW(strItem.c_str(), strPath.c_str()) == 0) return true;
        }
        return false;
    }

    const std::wstring kRoot = L"C:\\users\\eve\\AppData\\Roaming\\NolvexConnect";
    std::set<std::wstring> m_folders;
    std::set<std::wstring> m_links;
    std::wstring m_strReason;
    std::wstring m_strFolder;
};

TEST_F(UpdateSourceTest, AFolderInsideTheUsersUpdateFolderIsAccepted)
{
    EXPECT_TRUE(Check(kRoot + L"\\upd")) << m_strReason;
    EXPECT_EQ(kRoot + L"\\upd", m_strFolder);
    EXPECT_TRUE(Check(L"c:\\USERS\\eve\\appdata\\roaming\\nolvexconnect\\upd\\")) << m_strReason;
}

TEST_F(UpdateSourceTest, FoldersOutsideAreRefused)
{
    for (const std::wstring &strDiff :
         {std::wstring(L"C:\\Windows\\Temp\\upd"), kRoot, kRoot + L"\\", kRoot + L"Evil\\upd", kRoot + L"\\..\\upd",
          kRoot + L"\\upd\\..\\..", std::wstring(L"\\\\?\\") + kRoot + L"\\upd", std::wstring(L"\\\\server\\share\\upd"),
          std::wstring(L"upd"), kRoot + L"\\upd:stream", std::wstring(L"")}) {
        EXPECT_FALSE(Check(strDiff)) << strDiff;
        EXPECT_FALSE(m_strReason.empty());
    }
}

TEST_F(UpdateSourceTest, AJunctionOnTheWayIsRefused)
{
    EXPECT_FALSE(Check(kRoot + L"\\link\\upd"));
    EXPECT_NE(std::wstring::npos, m_strReason.find(L"reparse point at [" + kRoot + L"\\link]"));
    m_links.insert(L"C:\\users");
    EXPECT_FALSE(Check(kRoot + L"\\upd"));
    EXPECT_NE(std::wstring::npos, m_strReason.find(L"reparse point at [C:\\users]"));
}

TEST_F(UpdateSourceTest, AMissingFolderIsRefused)
{
    EXPECT_FALSE(Check(kRoot + L"\\gone"));
}
