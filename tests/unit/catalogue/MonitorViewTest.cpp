// MonitorView: a catalogue message as a box in the active session, through the terminal-services
// simulator (its journal shows what reached the session).
#include "Language.h"
#include "LanguageWithoutLibrary.h"
#include "MessageIds.h"
#include "MonitorView.h"
#include "SessionJournal.h"
#include "TestData.h"
#include "TestFiles.h"
#include "TraceLogReader.h"
#include <windows.h>
#include <gtest/gtest.h>

namespace {
const wchar_t kEnglishRollbackFailed[] = L"Process to restore previous version failed.";


// A view whose language object comes from the test.
class ViewWithLanguage : public MonitorView {
public:
    ViewWithLanguage(const std::wstring &strLanguage, bool bMissingLibrary, bool bNoLanguage)
        : MonitorView(strLanguage), m_bMissingLibrary(bMissingLibrary), m_bNoLanguage(bNoLanguage)
    {
    }

protected:
    Language *NewLanguage() override
    {
        if (m_bNoLanguage) return nullptr;
        return m_bMissingLibrary ? new LanguageWithoutLibrary() : new Language();
    }

private:
    bool m_bMissingLibrary;
    bool m_bNoLanguage;
};

}  // namespace

class MonitorViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A simulator folder of this test alone: cases may run side by side.
        wchar_t szTemp[MAX_PATH];
        ASSERT_NE(0u, GetTempPathW(MAX_PATH, szTemp));
        m_strRoot = std::wstring(szTemp) + L"nc-view-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                    std::to_wstring(GetTickCount());
        m_strFolder = m_strRoot + L"\\wtsapi32";
        ASSERT_TRUE(CreateDirectoryW(m_strRoot.c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW(m_strFolder.c_str(), nullptr));
        ASSERT_TRUE(SetEnvironmentVariableW(L"NOLVEX_SIM_DIR", m_strRoot.c_str()));
    }
    void TearDown() override
    {
        SetEnvironmentVariableW(L"NOLVEX_SIM_DIR", nullptr);
        RemoveTree(m_strRoot);
    }

    void WriteScenario(const std::string &strText)
    {
        HANDLE hFile = CreateFileW((m_strFolder + L"\\scenario.ini").c_str(), GENERIC_WRITE, 0, nullptr,
                                   CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, hFile);
        DWORD dwWritten = 0;
        EXPECT_TRUE(WriteFile(hFile, strText.data(), (DWORD)strText.size(), &dwWritten, nullptr));
        CloseHandle(hFile);
    }
    std::vector<SessionJournal::Record> Messages() const
    {
        return SessionJournal(m_strFolder).Calls(L"WTSSendMessageW");
    }
    // The text of the one message box sent so far.
    std::wstring OnlyMessageText() const
    {
        std::vector<SessionJournal::Record> vecMessages = Messages();
        EXPECT_EQ(1u, vecMessages.size());
        return vecMessages.empty() ? std::wstring() : vecMessages[0]["message"];
    }

    std::wstring m_strRoot;
    std::wstring m_strFolder;
};

TEST_F(MonitorViewTest, RollbackFailureReachesTheActiveSessionWithoutWaiting)
{
    MonitorView view(L"");
    ASSERT_EQ(0, view.ShowMessage(MSG_ROLLBACK_FAILED, L"NolvexConnect", MB_ICONERROR));
    std::vector<SessionJournal::Record> vecMessages = Messages();
    ASSERT_EQ(1u, vecMessages.size());
    SessionJournal::Record &record = vecMessages[0];
    DWORD dwConsole = WTSGetActiveConsoleSessionId();
    EXPECT_EQ(std::to_wstring(dwConsole == 0xFFFFFFFF ? 1 : dwConsole), record["session"]);
    EXPECT_EQ(L"NolvexConnect", record["title"]);
    EXPECT_EQ(L"28", record["title_length"]);   // bytes with the terminating zero
    EXPECT_EQ(kEnglishRollbackFailed, record["message"]);
    EXPECT_EQ(std::to_wstring((wcslen(kEnglishRollbackFailed) + 1) * 2), record["message_length"]);
    EXPECT_EQ(L"16", record["style"]);
    EXPECT_EQ(L"0", record["timeout"]);
    EXPECT_EQ(L"false", record["wait"]);
    EXPECT_EQ(L"true", record["result"]);
    EXPECT_TRUE(TraceLogReader::ThreadWrote(L"Active SessionId  " + record["session"]));
}

TEST_F(MonitorViewTest, LanguageOneSendsTheJapaneseText)
{
    MonitorView view(L"1");
    ASSERT_EQ(0, view.ShowMessage(MSG_ROLLBACK_FAILED, L"NolvexConnect", MB_ICONERROR));
    std::vector<SessionJournal::Record> vecMessages = Messages();
    ASSERT_EQ(1u, vecMessages.size());
    EXPECT_EQ(kJapaneseRollbackFailed, vecMessages[0]["message"]);
    EXPECT_EQ(std::to_wstring((wcslen(kJapaneseRollbackFailed) + 1) * 2), vecMessages[0]["message_length"]);
}

TEST_F(MonitorViewTest, ZeroEmptyOrNonNumericLanguageSendsTheEnglishText)
{
    for (const wchar_t *pszLanguage : {L"0", L"", L"abc", L"1a", L"-1"}) {
        DeleteFileW((m_strFolder + L"\\journal.txt").c_str());
        MonitorView view(pszLanguage);
        EXPECT_EQ(0, view.ShowMessage(MSG_ROLLBACK_FAILED, L"NolvexConnect", MB_ICONERROR)) << pszLanguage;
        EXPECT_EQ(kEnglishRollbackFailed, OnlyMessageText()) << pszLanguage;
    }
}

TEST_F(MonitorViewTest, UndefinedLanguageFailsAndShowsNothing)
{
    MonitorView view(L"2");
    EXPECT_EQ(-1, view.ShowMessage(MSG_ROLLBACK_FAILED, L"NolvexConnect", MB_ICONERROR));
    EXPECT_TRUE(Messages().empty());
    EXPECT_TRUE(TraceLogReader::ThreadWrote(L"The language type is not defined."));
    EXPECT_TRUE(TraceLogReader::ThreadWrote(L"Failure to get language"));
}

TEST_F(MonitorViewTest, MissingJapaneseLibraryFailsInsteadOfFallingBack)
{
    ViewWithLanguage view(L"1", true, false);
    long lResult = view.ShowMessage(MSG_ROLLBACK_FAILED, L"NolvexConnect", MB_ICONERROR);
    EXPECT_EQ((long)LanguageWithoutLibrary::MissingLibraryError(), lResult);
    EXPECT_TRUE(Messages().empty());
    EXPECT_TRUE(TraceLogReader::ThreadWrote(L"Failure to get language"));
}

TEST_F(MonitorViewTest, LanguageObjectThatCannotBeMadeGivesMinusOne)
{
    ViewWithLanguage view(L"0", false, true);
    EXPECT_EQ(-1, view.ShowMessage(MSG_ROLLBACK_FAILED, L"NolvexConnect", MB_ICONERROR));
    EXPECT_TRUE(Messages().empty());
    EXPECT_TRUE(TraceLogReader::ThreadWrote(L"Failure to new clLanguage class"));
}

TEST_F(MonitorViewTest, NoActiveSessionShowsNothingAndGivesMinusOne)
{
    WriteScenario("logged_on=0\n");
    MonitorView view(L"0");
    EXPECT_EQ(-1, view.ShowMessage(MSG_ROLLBACK_FAILED, L"NolvexConnect", MB_ICONERROR));
    EXPECT_TRUE(Messages().empty());
}

TEST_F(MonitorViewTest, SessionEnumerationFailureGivesTheSystemError)
{
    WriteScenario("fail_enumerate=1722\n");
    MonitorView view(L"0");
    EXPECT_EQ(1722, view.ShowMessage(MSG_ROLLBACK_FAILED, L"NolvexConnect", MB_ICONERROR));
    EXPECT_TRUE(Messages().empty());
    EXPECT_TRUE(TraceLogReader::ThreadWrote(L"APIError [WTSEnumerateSessions] rc:[1722]"));
}

TEST_F(MonitorViewTest, SendFailureGivesTheSystemError)
{
    WriteScenario("fail_send_message=5\n");
    MonitorView view(L"0");
    EXPECT_EQ(5, view.ShowMessage(MSG_ROLLBACK_FAILED, L"NolvexConnect", MB_ICONERROR));
    EXPECT_TRUE(TraceLogReader::ThreadWrote(L"APIError [WTSSendMessage] rc:[5]"));
}

TEST_F(MonitorViewTest, LineBreaksAndPlaceholdersReachTheSessionUnchanged)
{
    MonitorView english(L"0");
    ASSERT_EQ(0, english.ShowMessage(MSG_UPDATE_RESTART, L"NolvexConnect", MB_ICONINFORMATION));
    EXPECT_EQ(L"To enable updates,\nNOLVEX Connect will restart.", OnlyMessageText());
    DeleteFileW((m_strFolder + L"\\journal.txt").c_str());
    ASSERT_EQ(0, english.ShowMessage(MSG_PROGRESS_DOWNLOADING, L"NolvexConnect", MB_ICONINFORMATION));
    EXPECT_EQ(L"Downloading %s", OnlyMessageText());
}

TEST_F(MonitorViewTest, UnknownIdSendsAnEmptyText)
{
    MonitorView view(L"1");
    EXPECT_EQ(0, view.ShowMessage(1, L"NolvexConnect", MB_ICONERROR));
    std::vector<SessionJournal::Record> vecMessages = Messages();
    ASSERT_EQ(1u, vecMessages.size());
    EXPECT_EQ(L"", vecMessages[0]["message"]);
    EXPECT_EQ(L"2", vecMessages[0]["message_length"]);
}

TEST_F(MonitorViewTest, IdBeyondSixteenBitsIsNotTakenForAnotherMessage)
{
    MonitorView view(L"0");
    EXPECT_EQ(0, view.ShowMessage(0x10000L + MSG_ROLLBACK_FAILED, L"NolvexConnect", MB_ICONERROR));
    EXPECT_EQ(L"", OnlyMessageText());
}
