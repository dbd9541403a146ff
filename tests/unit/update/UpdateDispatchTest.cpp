#include "Log.h"
#include "MonitorManage.h"
#include "MonitorUpdate.h"
#include "PipeSender.h"
#include "ScopedHandle.h"
#include "UpdateGate.h"
#include "UpdateTestTree.h"
#include <gtest/gtest.h>

// RollBackUpdate and DoUpdate as the message analysis dispatches them: who may ask, and one at a
// time. The install folder is the test's own (the update's seam).
class UpdateDispatchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LOGWRITE(LOG_INFO, L"UpdateDispatchTest begins");   // the log file of this run exists from here on
        ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE, m_hToken.Receive()));
        m_strIns = m_root / L"NolvexConnect";
        ASSERT_TRUE(WriteTree(m_strIns, {{L"NolvexConnect.exe", "client"}, {L"readme.txt", "readme 1"}}));
        ASSERT_TRUE(WriteTree(m_strIns + L"Bak", {{L"NolvexConnect.exe", "client"}, {L"readme.txt", "readme 0"}}));
    }
    long Analyse(const std::wstring &strMessage, const std::wstring &strImage, DWORD dwPid = GetCurrentProcessId())
    {
        PipeSender sender(dwPid, strImage, m_hToken.Get());
        MonitorManage manage;
        if (manage.Init() != 0) return -1000;
        MonitorUpdate::Seams seams;
        seams.strInstallPath = m_strIns + L"\\";
        manage.UseUpdate(std::unique_ptr<MonitorUpdate>(new MonitorUpdate(seams)));
        return manage.MessageAnalysis(strMessage, nullptr, sender);
    }
    std::wstring Client() const { return m_strIns + L"\\NolvexConnect.exe"; }

    TestFolder m_root;
    std::wstring m_strIns;
    ScopedHandle m_hToken;
};

TEST_F(UpdateDispatchTest, OnlyTheInstalledClientGetsARollback)
{
    EXPECT_EQ(-1, Analyse(L"RollBackUpdate", m_root / L"NolvexConnect.exe"));
    EXPECT_EQ(-1, Analyse(L"RollBackUpdate", L""));
    EXPECT_EQ("readme 1", ReadBytes(m_strIns + L"\\readme.txt")) << "a refused rollback touches nothing";
    EXPECT_EQ(0, Analyse(L"RollBackUpdate", Client()));
    EXPECT_EQ("readme 0", ReadBytes(m_strIns + L"\\readme.txt"));
}

TEST_F(UpdateDispatchTest, ARequestWhileAnotherRunsIsRefused)
{
    {
        UpdateGate::Hold running(g_updateGate, L"test");
        ASSERT_TRUE(running.Entered());
        EXPECT_NE(0, Analyse(L"RollBackUpdate", Client()));
        EXPECT_EQ("readme 1", ReadBytes(m_strIns + L"\\readme.txt"));
        size_t nRefused = LogCount(L"Another update or rollback is running; the DoUpdate is refused.");
        // No process 4000000 runs: the wait ends at once and the request reaches the gate.
        EXPECT_EQ(-1, Analyse(L"DoUpdate=4000000,C:\\diff", Client(), 4000000));
        EXPECT_EQ(nRefused + 1, LogCount(L"Another update or rollback is running; the DoUpdate is refused."));
    }
    EXPECT_EQ(0, Analyse(L"RollBackUpdate", Client()));
}

TEST_F(UpdateDispatchTest, ADoUpdateNamingAnotherProcessIsRefusedBeforeAnyWait)
{
    // The named process is this one (alive): an accepted request would wait for it forever.
    std::wstring strMessage = L"DoUpdate=" + std::to_wstring(GetCurrentProcessId()) + L",C:\\diff";
    size_t nRefused = LogCount(L"The DoUpdate is refused: the message names process");
    EXPECT_EQ(-1, Analyse(strMessage, Client(), GetCurrentProcessId() + 4));
    EXPECT_EQ(nRefused + 1, LogCount(L"The DoUpdate is refused: the message names process"));
}
