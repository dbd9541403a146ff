#include "UpdateRequester.h"
#include "ScopedHandle.h"
#include <gtest/gtest.h>

namespace {
const wchar_t kInstall[] = L"C:\\Program Files\\NolvexConnect\\";
}

class UpdateRequesterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, m_hToken.Receive()));
        m_facts.bProcessKnown = true;
        m_facts.dwProcessId = 4242;
        m_facts.strImagePath = L"C:\\Program Files\\NolvexConnect\\NolvexConnect.exe";
        m_facts.hUserToken = m_hToken.Get();
    }
    bool Allowed(const UpdateRequester &requester, bool bCheckNamed, DWORD dwNamed)
    {
        m_strReason.clear();
        bool bAllowed = requester.IsAllowed(m_facts, kInstall, bCheckNamed, dwNamed, m_strReason);
        EXPECT_EQ(bAllowed, m_strReason.empty()) << "a refusal gives its reason";
        return bAllowed;
    }

    ScopedHandle m_hToken;
    UpdateRequester::Facts m_facts;
    std::wstring m_strReason;
    UpdateRequester m_requester{[](HANDLE) { return false; }};
};

TEST_F(UpdateRequesterTest, TheInstalledClientNamingItselfMayAsk)
{
    EXPECT_TRUE(Allowed(m_requester, true, 4242));
    EXPECT_TRUE(Allowed(m_requester, false, 0));
    m_facts.strImagePath = L"c:\\program files\\nolvexconnect\\NOLVEXCONNECT.EXE";
    EXPECT_TRUE(Allowed(m_requester, true, 4242));
}

TEST_F(UpdateRequesterTest, AnyOtherProgramIsRefused)
{
    for (const wchar_t *pszImage :
         {L"C:\\Users\\eve\\NolvexConnect.exe", L"C:\\Program Files\\NolvexConnect\\NolvexConnectMonitor.exe",
          L"C:\\Program Files\\NolvexConnect\\sub\\NolvexConnect.exe", L"C:\\Program Files\\NolvexConnectX\\NolvexConnect.exe",
          L"C:\\Program Files\\NolvexConnect\\NolvexConnect.exe.evil", L""}) {
        m_facts.strImagePath = pszImage;
        EXPECT_FALSE(Allowed(m_requester, false, 0)) << pszImage;
    }
}

TEST_F(UpdateRequesterTest, ADoUpdateMustNameTheSendersOwnProcess)
{
    EXPECT_FALSE(Allowed(m_requester, true, 4243));
    EXPECT_NE(std::wstring::npos, m_strReason.find(L"4243"));
    EXPECT_FALSE(Allowed(m_requester, true, 0));
}

TEST_F(UpdateRequesterTest, WithoutAProcessOnlyTheConsoleUserIsAccepted)
{
    m_facts.bProcessKnown = false;
    m_facts.dwProcessId = 0;
    m_facts.strImagePath.clear();
    HANDLE hSeen = nullptr;
    UpdateRequester consoleUser([&hSeen](HANDLE hToken) {
        hSeen = hToken;
        return true;
    });
    EXPECT_TRUE(Allowed(consoleUser, true, 77));
    EXPECT_EQ(m_hToken.Get(), hSeen) << "the sender's own token is compared";
    EXPECT_FALSE(Allowed(m_requester, true, 77));
}

TEST_F(UpdateRequesterTest, NoTokenOrNoInstallPathIsRefused)
{
    m_facts.hUserToken = nullptr;
    EXPECT_FALSE(Allowed(m_requester, true, 4242));
    m_facts.hUserToken = m_hToken.Get();
    std::wstring strReason;
    EXPECT_FALSE(m_requester.IsAllowed(m_facts, L"", true, 4242, strReason));
}
