#include "ScopedHandle.h"
#include "StagingCopy.h"
#include "UpdateTestTree.h"
#include <gtest/gtest.h>

// The copy of the user's difference folder into the service's staging folder, read as the user
// (here: an impersonation copy of the test's own token).
class StagingCopyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ScopedHandle hProcess;
        ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, hProcess.Receive()));
        ASSERT_TRUE(DuplicateTokenEx(hProcess.Get(), TOKEN_QUERY | TOKEN_IMPERSONATE | TOKEN_DUPLICATE, nullptr,
                                     SecurityImpersonation, TokenImpersonation, m_hToken.Receive()));
        m_strSource = m_root / L"diff";
        m_strStaging = m_root / L"staging";
        ASSERT_TRUE(WriteTree(m_strSource, {{L"a.txt", "a"}, {L"sub\\", ""}, {L"sub\\b.dll", std::string(300000, 'b')},
                                            {L"empty\\", ""}}));
    }
    DWORD Copy(HANDLE hToken)
    {
        m_strReason.clear();
        return StagingCopy(hToken).Copy(m_strSource, m_strStaging, m_strReason);
    }

    TestFolder m_root;
    ScopedHandle m_hToken;
    std::wstring m_strSource;
    std::wstring m_strStaging;
    std::wstring m_strReason;
};

TEST_F(StagingCopyTest, TheTreeIsCopiedIntoAFreshStagingFolder)
{
    ASSERT_TRUE(WriteTree(m_strStaging, {{L"stale.dll", "from an earlier update"}}));
    ASSERT_EQ(0u, Copy(m_hToken.Get())) << m_strReason;
    EXPECT_EQ(ReadTree(m_strSource), ReadTree(m_strStaging));
    EXPECT_FALSE(PathExists(m_strStaging + L"\\stale.dll"));
}

TEST_F(StagingCopyTest, WithoutTheSendersTokenNothingIsRead)
{
    EXPECT_NE(0u, Copy(nullptr));
    EXPECT_NE(std::wstring::npos, m_strReason.find(L"not read as SYSTEM"));
    EXPECT_FALSE(PathExists(m_strStaging));
}

TEST_F(StagingCopyTest, AFileWithASecondLinkIsRefused)
{
    // The same bytes outside the user's update folder, which the user could change afterwards.
    ASSERT_TRUE(WriteBytes(m_root / L"elsewhere.dll", "x"));
    ASSERT_TRUE(CreateHardLinkW((m_strSource + L"\\sub\\link.dll").c_str(), (m_root / L"elsewhere.dll").c_str(), nullptr));
    EXPECT_NE(0u, Copy(m_hToken.Get()));
    EXPECT_NE(std::wstring::npos, m_strReason.find(L"is a link"));
}
