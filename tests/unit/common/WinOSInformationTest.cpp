#include "WinOSInformation.h"
#include <gtest/gtest.h>
#include <memory>

class WinOSInformationTest : public ::testing::Test {
protected:
    static bool EndsWith(const std::wstring &str, const std::wstring &strEnd)
    {
        return str.size() >= strEnd.size() && str.compare(str.size() - strEnd.size(), strEnd.size(), strEnd) == 0;
    }
    WinOSInformation m_info;
};

TEST_F(WinOSInformationTest, ModuleNameIsTheProgramWithoutFolderAndExtension)
{
    EXPECT_EQ(L"common_tests", m_info.GetModuleName());
}

TEST_F(WinOSInformationTest, ApplicationDataFoldersEndInTheProductFolder)
{
    std::wstring strUser = m_info.GetAppDataFolderPath(nullptr);
    std::wstring strAll = m_info.GetAllUsersAppDataFolderPath();
    EXPECT_TRUE(EndsWith(strUser, L"\\NolvexConnect\\")) << std::string(strUser.begin(), strUser.end());
    EXPECT_TRUE(EndsWith(strAll, L"\\NolvexConnect\\")) << std::string(strAll.begin(), strAll.end());
    EXPECT_NE(strUser, strAll);
    EXPECT_EQ(std::wstring::npos, strUser.find(L"\\\\"));
}

TEST_F(WinOSInformationTest, SystemDriveIsTheDriveOfTheSystemFolder)
{
    wchar_t szSystem[MAX_PATH] = {};
    ASSERT_NE(0u, GetSystemDirectoryW(szSystem, MAX_PATH));
    EXPECT_EQ(std::wstring(szSystem, 2), m_info.GetSystemDriveName());
    EXPECT_EQ(L':', m_info.GetSystemDriveName().back());
}

TEST_F(WinOSInformationTest, FactoryGivesAWorkingObject)
{
    std::unique_ptr<OSInformation> pInfo(CreateOSInformation());
    ASSERT_TRUE(pInfo != nullptr);
    EXPECT_EQ(m_info.GetModuleName(), pInfo->GetModuleName());
}
