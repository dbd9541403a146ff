#include "PipeSecurity.h"
#include "PipeTestHelpers.h"
#include <aclapi.h>
#include <gtest/gtest.h>
#include <vector>

namespace {
struct AceView {
    BYTE bType;
    ACCESS_MASK mask;
    PSID pSid;
};

// The ACEs of the DACL that the created pipe really carries.
class PipeDacl {
public:
    explicit PipeDacl(HANDLE hPipe)
    {
        m_dwRc = GetSecurityInfo(hPipe, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &m_pDacl,
                                 nullptr, &m_pSd);
    }
    ~PipeDacl()
    {
        if (m_pSd != nullptr) LocalFree(m_pSd);
    }
    DWORD Rc() const { return m_dwRc; }
    PACL Dacl() const { return m_pDacl; }
    std::vector<AceView> Aces() const
    {
        std::vector<AceView> vec;
        if (m_pDacl == nullptr) return vec;
        for (DWORD i = 0; i < m_pDacl->AceCount; ++i) {
            ACE_HEADER *pHeader = nullptr;
            if (!GetAce(m_pDacl, i, reinterpret_cast<void **>(&pHeader))) continue;
            // Allowed and denied ACEs share their layout.
            ACCESS_ALLOWED_ACE *pAce = reinterpret_cast<ACCESS_ALLOWED_ACE *>(pHeader);
            vec.push_back({pHeader->AceType, pAce->Mask, reinterpret_cast<PSID>(&pAce->SidStart)});
        }
        return vec;
    }

private:
    DWORD m_dwRc = 0;
    PACL m_pDacl = nullptr;
    PSECURITY_DESCRIPTOR m_pSd = nullptr;
};

bool IsWellKnown(PSID pSid, WELL_KNOWN_SID_TYPE type)
{
    BYTE abSid[SECURITY_MAX_SID_SIZE];
    DWORD dwSize = sizeof(abSid);
    if (!CreateWellKnownSid(type, nullptr, abSid, &dwSize)) return false;
    return EqualSid(pSid, abSid) != FALSE;
}

const ACCESS_MASK kOwnerRights = WRITE_DAC | WRITE_OWNER | DELETE | GENERIC_ALL;

// Full control, whether stored generic or already mapped to the pipe's rights.
bool GrantsAll(ACCESS_MASK mask)
{
    return (mask & GENERIC_ALL) != 0 || (mask & FILE_ALL_ACCESS) == FILE_ALL_ACCESS;
}
}  // namespace

class PipeSecurityTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_security.Build()); }
    PipeSecurity m_security;
};

TEST_F(PipeSecurityTest, PipeCarriesAProtectedDaclThatIsNotNull)
{
    TestPipe pipe(m_security.GetAttributes());
    ASSERT_NE(INVALID_HANDLE_VALUE, pipe.Server());
    PipeDacl dacl(pipe.Server());
    ASSERT_EQ(ERROR_SUCCESS, dacl.Rc());
    ASSERT_NE(nullptr, dacl.Dacl());
    EXPECT_EQ(4u, dacl.Aces().size());
}

TEST_F(PipeSecurityTest, NetworkLogonsAreDeniedBeforeAnythingIsAllowed)
{
    TestPipe pipe(m_security.GetAttributes());
    std::vector<AceView> aces = PipeDacl(pipe.Server()).Aces();
    ASSERT_FALSE(aces.empty());
    EXPECT_EQ(ACCESS_DENIED_ACE_TYPE, aces[0].bType);
    EXPECT_TRUE(IsWellKnown(aces[0].pSid, WinNetworkSid));
    EXPECT_TRUE(GrantsAll(aces[0].mask));
    for (size_t i = 1; i < aces.size(); ++i) {
        EXPECT_FALSE(IsWellKnown(aces[i].pSid, WinNetworkSid));
        EXPECT_FALSE(IsWellKnown(aces[i].pSid, WinWorldSid)) << "Everyone must not be granted anything";
        EXPECT_FALSE(IsWellKnown(aces[i].pSid, WinAnonymousSid));
    }
}

TEST_F(PipeSecurityTest, SystemAndAdministratorsHaveFullControl)
{
    TestPipe pipe(m_security.GetAttributes());
    bool bSystem = false, bAdmins = false;
    for (const AceView &ace : PipeDacl(pipe.Server()).Aces()) {
        if (ace.bType != ACCESS_ALLOWED_ACE_TYPE || !GrantsAll(ace.mask)) continue;
        bSystem = bSystem || IsWellKnown(ace.pSid, WinLocalSystemSid);
        bAdmins = bAdmins || IsWellKnown(ace.pSid, WinBuiltinAdministratorsSid);
    }
    EXPECT_TRUE(bSystem);
    EXPECT_TRUE(bAdmins);
}

TEST_F(PipeSecurityTest, LocalUsersMayReadAndWriteButNotChangeTheSecurity)
{
    TestPipe pipe(m_security.GetAttributes());
    bool bFound = false;
    for (const AceView &ace : PipeDacl(pipe.Server()).Aces()) {
        if (ace.bType != ACCESS_ALLOWED_ACE_TYPE || !IsWellKnown(ace.pSid, WinAuthenticatedUserSid)) continue;
        bFound = true;
        EXPECT_EQ(static_cast<ACCESS_MASK>(FILE_GENERIC_WRITE), ace.mask & FILE_GENERIC_WRITE);
        EXPECT_EQ(static_cast<ACCESS_MASK>(FILE_GENERIC_READ), ace.mask & FILE_GENERIC_READ);
        EXPECT_EQ(0u, ace.mask & kOwnerRights);
    }
    EXPECT_TRUE(bFound);
}

TEST_F(PipeSecurityTest, AnOrdinaryClientCanStillConnectAndWrite)
{
    TestPipe pipe(m_security.GetAttributes());
    ASSERT_NE(INVALID_HANDLE_VALUE, pipe.OpenClient());
    EXPECT_TRUE(pipe.WriteText(L"LogLevel=0"));
}
