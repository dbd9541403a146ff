// The whole update as the service runs it for a DoUpdate (source check, staging, verification,
// backup, copy), with the test's own token as the sender's, an install folder of the test's own
// and the terminal-services simulator as the session that gets the message boxes.
#include "MessageIds.h"
#include "MonitorUpdate.h"
#include "ScopedHandle.h"
#include "UpdateTestTree.h"
#include "WinOSInformation.h"
#include <gtest/gtest.h>

namespace {
const char kBackupFailedText[] = "Save process for previous version failed.";   // message 28600
const char kSendMessageCall[] = "\"call\":\"WTSSendMessageW\"";
const char kMessageField[] = "\"message\":\"";

// The texts of the message boxes in the simulator's journal (one JSON object per line; the
// texts looked for here are plain ASCII).
std::vector<std::string> JournalMessages(const std::wstring &strFolder)
{
    std::vector<std::string> vecTexts;
    std::string strAll = ReadBytes(strFolder + L"\\journal.txt");
    size_t nStart = 0;
    for (size_t nEnd = strAll.find('\n'); nEnd != std::string::npos; nStart = nEnd + 1, nEnd = strAll.find('\n', nStart)) {
        std::string strLine = strAll.substr(nStart, nEnd - nStart);
        size_t nText = strLine.find(kMessageField);
        if (strLine.find(kSendMessageCall) == std::string::npos || nText == std::string::npos) continue;
        nText += sizeof(kMessageField) - 1;
        vecTexts.push_back(strLine.substr(nText, strLine.find('"', nText) - nText));
    }
    return vecTexts;
}
}   // namespace

class UpdateMainProcTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ScopedHandle hProcess;
        ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, hProcess.Receive()));
        ASSERT_TRUE(DuplicateTokenEx(hProcess.Get(), TOKEN_QUERY | TOKEN_IMPERSONATE | TOKEN_DUPLICATE, nullptr,
                                     SecurityImpersonation, TokenImpersonation, m_hToken.Receive()));
        // The update comes from where the registration unpacks it: the user's NolvexConnect folder.
        std::wstring strAppData = WinOSInformation().GetAppDataFolderPath(m_hToken.Get());
        ASSERT_FALSE(strAppData.empty());
        CreateDirectoryW(strAppData.c_str(), nullptr);
        m_strDiff = strAppData + L"upd-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount());
        m_strIns = m_root / L"NolvexConnect";
        ASSERT_TRUE(WriteTree(m_strIns, {{L"readme.txt", "readme 1"},
                                         {L"plugins\\", ""},
                                         {L"plugins\\a.dll", "plugin a"},
                                         {L"Logs\\", ""},
                                         {L"Logs\\trace.log", "log"}}));
        m_before = ReadTree(m_strIns);
        m_strPublicKey = ReadBytes(ProgramFolder() + L"dev-update-public.blob");
        ASSERT_FALSE(m_strPublicKey.empty());
        // The session: a simulator folder of this test alone.
        m_strSim = m_root / L"sim";
        ASSERT_TRUE(CreateDirectoryW(m_strSim.c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW((m_strSim + L"\\wtsapi32").c_str(), nullptr));
        ASSERT_TRUE(SetEnvironmentVariableW(L"NOLVEX_SIM_DIR", m_strSim.c_str()));
    }
    void TearDown() override
    {
        SetEnvironmentVariableW(L"NOLVEX_SIM_DIR", nullptr);
        RemoveTree(m_strDiff);
    }
    // A signed difference folder with a new file and a changed one.
    void MakeUpdate()
    {
        ASSERT_TRUE(WriteTree(m_strDiff, {{L"readme.txt", "readme 2"}, {L"new.txt", "new"},
                                          {L"plugins\\b.dll", "plugin b"}}));
        ASSERT_EQ(0, SignFolder(m_strDiff));
    }
    MonitorUpdate::Seams Seams()
    {
        MonitorUpdate::Seams seams;
        seams.strInstallPath = m_strIns + L"\\";
        seams.pbPublicKey = reinterpret_cast<const BYTE *>(m_strPublicKey.data());
        seams.dwPublicKeySize = static_cast<DWORD>(m_strPublicKey.size());
        return seams;
    }
    long Run(const MonitorUpdate::Seams &seams)
    {
        MonitorUpdate update(seams);
        update.SetRequester(m_hToken.Get());
        return update.UpdateMainProc(m_strDiff);
    }
    std::vector<std::string> SessionMessages() const { return JournalMessages(m_strSim + L"\\wtsapi32"); }

    TestFolder m_root;
    ScopedHandle m_hToken;
    std::wstring m_strDiff;
    std::wstring m_strIns;
    std::wstring m_strSim;
    std::string m_strPublicKey;
    Tree m_before;
};

TEST_F(UpdateMainProcTest, AVerifiedUpdateIsCopiedWhole)
{
    MakeUpdate();
    bool bLooked = false;
    MonitorUpdate::Seams seams = Seams();
    seams.pfnBeforeCopy = [&bLooked](const std::wstring &strStaging) {
        bLooked = PathExists(strStaging + L"\\readme.txt");
    };
    // No client to start in this install folder: the update itself is what is looked at.
    Run(seams);
    EXPECT_TRUE(bLooked) << "the look comes while the staged update waits for its copy";
    Tree expected = m_before;
    expected[L"readme.txt"] = "readme 2";
    expected[L"new.txt"] = "new";
    expected[L"plugins\\b.dll"] = "plugin b";
    EXPECT_EQ(TreeText(expected), TreeText(ReadTree(m_strIns)));
    EXPECT_FALSE(PathExists(m_strIns + L"_Update")) << "the staging folder goes";
}

TEST_F(UpdateMainProcTest, AStagedFileThatVanishesBeforeTheCopyRollsTheUpdateBack)
{
    MakeUpdate();
    size_t nLines = LogCount(L"it left the staging folder after the verification");
    MonitorUpdate::Seams seams = Seams();
    // After staging and verification, right before the copy: the staged folder loses a file that
    // the manifest lists (and the copy would otherwise never miss).
    seams.pfnBeforeCopy = [](const std::wstring &strStaging) {
        DeleteFileW((strStaging + L"\\plugins\\b.dll").c_str());
    };
    EXPECT_NE(0, Run(seams));
    EXPECT_EQ(TreeText(m_before), TreeText(ReadTree(m_strIns)));
    EXPECT_EQ(m_before, ReadTree(m_strIns)) << "identical, byte by byte";
    EXPECT_EQ(nLines + 1, LogCount(L"it left the staging folder after the verification"));
    std::vector<std::string> vecMessages = SessionMessages();
    ASSERT_EQ(1u, vecMessages.size());
    EXPECT_EQ(kBackupFailedText, vecMessages[0]);
    EXPECT_TRUE(PathExists(m_strDiff + L"\\readme.txt")) << "the user's update stays for another try";
}
