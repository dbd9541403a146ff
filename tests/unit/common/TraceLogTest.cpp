#include "ScopedHandle.h"
#include "ChildProcess.h"
#include "CoderRun.h"
#include "LockedFile.h"
#include "Coding.h"
#include "TestFiles.h"
#include "TraceLog.h"
#include "WinOSInformation.h"
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <thread>

namespace {

struct ParsedLine {
    std::wstring strStamp, strTag, strSource, strLineNo, strThreadId, strFunction, strMessage;
};

// The designed layout: stamp, two blanks, tag, %-25s source, (%05ld), (ThID=%08ld), %-40s, message.
bool ParseLine(const std::wstring &strLine, ParsedLine &parsed)
{
    static const std::wregex reLine(
        L"^(\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}:\\d{2}\\.\\d{3})  "
        L"(INFO   :|ERROR  :|WARN   :|DEBUG  :|TRACE  :|UNKNOWN\uFF1A)"
        L"(.{25,}?)\\((\\d{5})\\) \\(ThID=(\\d{8})\\) (.{40,}?) (.*)$");
    std::wsmatch m;
    if (!std::regex_match(strLine, m, reLine)) return false;
    parsed = {m[1], m[2], m[3], m[4], m[5], m[6], m[7]};
    return true;
}

std::wstring MessageOf(const std::wstring &strLine)
{
    ParsedLine parsed;
    return ParseLine(strLine, parsed) ? parsed.strMessage : L"<not a log line: " + strLine + L">";
}

std::vector<std::wstring> MessagesOf(const std::vector<std::wstring> &vecLines)
{
    std::vector<std::wstring> vecMessages;
    for (const std::wstring &strLine : vecLines) vecMessages.push_back(MessageOf(strLine));
    return vecMessages;
}

std::wstring Padded(const std::wstring &str, size_t nWidth)
{
    return str.size() >= nWidth ? str : str + std::wstring(nWidth - str.size(), L' ');
}

// The string AES coding under the log key, as support reads the lines.
const wchar_t kLogKey[] = L"Lr7QvN2xKp4Tb";

std::wstring EncodedId(const std::wstring &strId)
{
    std::unique_ptr<Coding> pCoding = MakeCoder(Coding::CODE_AES_STR);
    if (!pCoding) return L"<no coder>";
    CoderRun run = RunCoder(*pCoding, true, UnitsOf(strId), kLogKey);
    if (run.lNeeded < 1) return L"<no size>";
    if (run.lResult < 1) return L"<not encoded>";
    return TextOf(run.output, static_cast<size_t>(run.lResult));
}

std::wstring DecodedId(const std::wstring &strEncoded)
{
    std::unique_ptr<Coding> pCoding = MakeCoder(Coding::CODE_AES_STR);
    if (!pCoding) return L"<no coder>";
    CoderRun run = RunCoder(*pCoding, false, UnitsOf(strEncoded), kLogKey);
    if (run.lNeeded < 1) return L"<no size>";
    if (run.lResult < 1) return L"<not decoded>";
    return TextOf(run.output, static_cast<size_t>(run.lResult));
}

// The message from the prefix on, or a marker when it does not start with it.
std::wstring BracedPart(const std::wstring &strMessage, const std::wstring &strPrefix)
{
    if (strMessage.compare(0, strPrefix.size(), strPrefix) != 0) return L"<no prefix: " + strMessage + L">";
    return strMessage.substr(strPrefix.size());
}

}  // namespace

class TraceLogTest : public ::testing::Test {
protected:
    static SYSTEMTIME s_stClock;
    static void Clock(SYSTEMTIME *pstTime) { *pstTime = s_stClock; }

    void SetUp() override { s_stClock = MakeTime(2030, 1, 15, 10, 20, 30, 45); }

    // The folder is given without its trailing backslash: the logger adds it.
    TraceLog::Seams MakeSeams(const std::wstring &strAppName = L"NolvexConnectTest")
    {
        TraceLog::Seams seams;
        seams.pfnClock = &Clock;
        seams.strAppName = strAppName;
        seams.strFolder = LogFolder().substr(0, LogFolder().size() - 1);
        return seams;
    }
    std::wstring LogFolder() const { return m_folder.Path() + L"Logs\\"; }
    std::wstring LogPath(const std::wstring &strName = L"NolvexConnectLog_20300115.dat") const
    {
        return LogFolder() + strName;
    }
    std::vector<std::wstring> Messages(const std::wstring &strName = L"NolvexConnectLog_20300115.dat") const
    {
        return MessagesOf(ReadLogLines(LogPath(strName)));
    }
    void MakeOldLogFile(const std::wstring &strName, const SYSTEMTIME &stCreatedUTC)
    {
        CreateDirectoryW(LogFolder().c_str(), nullptr);
        WriteBytes(LogPath(strName), "x\0\r\0\n\0");
        ASSERT_TRUE(SetCreationAndWriteTime(LogPath(strName), stCreatedUTC));
    }

    TestFolder m_folder;
};

SYSTEMTIME TraceLogTest::s_stClock;

// ---- levels and switches ----

TEST_F(TraceLogTest, DebugLinesNeedTheDebugSwitchAndOnlyZeroOrOneSetIt)
{
    TraceLog log(MakeSeams());
    log.Write(LOG_DEBUG, L"a.cpp", L"A::B", 1, L"debug while unresolved");
    EXPECT_EQ(0, log.GetLevel());   // no setting file yet: the switch resolves to 0
    log.SetLogLevel(2);
    log.Write(LOG_DEBUG, L"a.cpp", L"A::B", 1, L"debug after 2 from 0");
    log.SetLogLevel(1);
    log.Write(LOG_DEBUG, L"a.cpp", L"A::B", 1, L"debug at 1");
    log.SetLogLevel(2);
    EXPECT_EQ(1, log.GetLevel());
    log.Write(LOG_DEBUG, L"a.cpp", L"A::B", 1, L"debug after 2 from 1");
    log.SetLogLevel(0);
    log.Write(LOG_DEBUG, L"a.cpp", L"A::B", 1, L"debug back at 0");
    log.Write(LOG_INFO, L"a.cpp", L"A::B", 1, L"info at 0");
    EXPECT_EQ((std::vector<std::wstring>{L"debug at 1", L"debug after 2 from 1", L"info at 0"}), Messages());
}

TEST_F(TraceLogTest, MonitorServiceStartsWithDebugOffAndNamesItsFile)
{
    TraceLog log(MakeSeams(L"NolvexConnectMonitor"));
    log.Write(LOG_DEBUG, L"a.cpp", L"A::B", 1, L"dropped");
    log.Write(LOG_INFO, L"a.cpp", L"A::B", 1, L"kept");
    EXPECT_EQ(0, log.GetLevel());
    EXPECT_EQ(L"NolvexConnectLog_20300115_NolvexConnectMonitor.dat", log.GetFileName());
    EXPECT_EQ(std::vector<std::wstring>{L"kept"}, Messages(L"NolvexConnectLog_20300115_NolvexConnectMonitor.dat"));
}

TEST_F(TraceLogTest, TraceLinesOnlyWhileTraceExistsInTheLogFolder)
{
    TraceLog::Seams seams = MakeSeams();
    seams.dwTraceSwitchCheckMs = 0;   // looked for at every line
    TraceLog log(seams);
    log.Write(LOG_TRACE, L"a.cpp", L"A::B", 1, L"trace without switch");
    WriteBytes(LogFolder() + L"trace", "");
    log.Write(LOG_TRACE, L"a.cpp", L"A::B", 1, L"trace with switch file");
    DeleteFileW((LogFolder() + L"trace").c_str());
    log.Write(LOG_TRACE, L"a.cpp", L"A::B", 1, L"trace after removal");
    CreateDirectoryW((LogFolder() + L"trace").c_str(), nullptr);
    log.Write(LOG_TRACE, L"a.cpp", L"A::B", 1, L"trace with switch folder");
    EXPECT_EQ((std::vector<std::wstring>{L"trace with switch file", L"trace with switch folder"}), Messages());
}

// The product looks for the switch at most every half second: a running program follows it
// within that time, and the lines in between go by the last look.
TEST_F(TraceLogTest, ARunningProgramFollowsTheTraceSwitchWithinHalfASecond)
{
    TraceLog log(MakeSeams());
    log.Write(LOG_TRACE, L"a.cpp", L"A::B", 1, L"before the switch");
    WriteBytes(LogFolder() + L"trace", "");
    log.Write(LOG_TRACE, L"a.cpp", L"A::B", 1, L"by the last look");
    Sleep(600);
    log.Write(LOG_TRACE, L"a.cpp", L"A::B", 1, L"after the interval");
    EXPECT_EQ(std::vector<std::wstring>{L"after the interval"}, Messages());
}

TEST_F(TraceLogTest, EveryLevelHasItsTag)
{
    TraceLog log(MakeSeams());
    log.SetLogLevel(1);
    CreateDirectoryW(LogFolder().c_str(), nullptr);
    WriteBytes(LogFolder() + L"trace", "");
    for (int iLevel : {0, 1, 2, 3, 4, 7})
        log.Write(iLevel, L"a.cpp", L"A::B", 1, L"tagged");
    std::vector<std::wstring> vecTags;
    for (const std::wstring &strLine : ReadLogLines(LogPath())) {
        ParsedLine parsed;
        ASSERT_TRUE(ParseLine(strLine, parsed)) << strLine;
        vecTags.push_back(parsed.strTag);
    }
    EXPECT_EQ((std::vector<std::wstring>{L"INFO   :", L"ERROR  :", L"WARN   :", L"DEBUG  :", L"TRACE  :",
                                         L"UNKNOWN\uFF1A"}),
              vecTags);
}

// ---- the line ----

TEST_F(TraceLogTest, LineHasTheDesignedColumns)
{
    TraceLog log(MakeSeams());
    log.Write(LOG_WARN, L"C:\\src\\common\\LayoutTest.cpp", L"Layout::Check", 42, L"value %s is %d", L"x", 7);
    std::vector<std::wstring> vecLines = ReadLogLines(LogPath());
    ASSERT_EQ(1u, vecLines.size());
    ParsedLine parsed;
    ASSERT_TRUE(ParseLine(vecLines[0], parsed)) << vecLines[0];
    EXPECT_EQ(L"2030/01/15 10:20:30.045", parsed.strStamp);
    EXPECT_EQ(L"WARN   :", parsed.strTag);
    EXPECT_EQ(Padded(L"LayoutTest.cpp", 25), parsed.strSource);
    EXPECT_EQ(L"00042", parsed.strLineNo);
    wchar_t szThread[16];
    _snwprintf(szThread, 15, L"%08lu", GetCurrentThreadId());
    EXPECT_EQ(szThread, parsed.strThreadId);
    EXPECT_EQ(Padded(L"Layout::Check", 40), parsed.strFunction);
    EXPECT_EQ(L"value x is 7", parsed.strMessage);
}

TEST_F(TraceLogTest, FileIsUtf16WithoutByteOrderMarkAndEndsLinesWithCrLf)
{
    TraceLog log(MakeSeams());
    log.Write(LOG_INFO, L"a.cpp", L"A::B", 1, L"first");
    log.Write(LOG_INFO, L"a.cpp", L"A::B", 2, L"second");
    std::string strBytes = ReadBytes(LogPath());
    ASSERT_GE(strBytes.size(), 4u);
    EXPECT_EQ('2', strBytes[0]);   // the year's first digit, no FF FE before it
    EXPECT_EQ('\0', strBytes[1]);
    EXPECT_EQ(std::string("\r\0\n\0", 4), strBytes.substr(strBytes.size() - 4));
    EXPECT_EQ((std::vector<std::wstring>{L"first", L"second"}), Messages());
}

TEST_F(TraceLogTest, LongSourceAndFunctionNamesAreWrittenWhole)
{
    TraceLog log(MakeSeams());
    const std::wstring strSource = L"ABCDEFGHIJKLMNOPQRSTUVWXYZ.cpp";   // 30 characters
    const std::wstring strFunction = L"AVeryLongClassNameForTheLog::AndAnEvenLongerMethodName";
    log.Write(LOG_INFO, strSource, strFunction, 123, L"long names");
    std::vector<std::wstring> vecLines = ReadLogLines(LogPath());
    ASSERT_EQ(1u, vecLines.size());
    EXPECT_NE(std::wstring::npos, vecLines[0].find(L"INFO   :" + strSource + L"(00123) (ThID="));
    EXPECT_NE(std::wstring::npos, vecLines[0].find(L") " + strFunction + L" long names"));
}

TEST_F(TraceLogTest, LineBreaksInTheMessageBecomeBlanks)
{
    TraceLog log(MakeSeams());
    log.Write(LOG_INFO, L"a.cpp", L"A::B", 1, L"one\r\ntwo\nthree%s", L"\rfour");
    EXPECT_EQ(std::vector<std::wstring>{L"one  two three four"}, Messages());
}

// ---- masking ----

TEST_F(TraceLogTest, BracedSecretsAreMaskedWithoutTheirBraces)
{
    TraceLog log(MakeSeams());
    log.Write(LOG_INFO, L"a.cpp", L"A::B", 1, L"[InputInfo] Common.connectPassword is {%s}", L"p@ss{w0rd");
    log.Write(LOG_INFO, L"a.cpp", L"A::B", 1, L"empty {} stays, {a} and {b} go, {unclosed stays");
    log.Write(LOG_INFO, L"a.cpp", L"A::B", 1, L"}{x}{");
    EXPECT_EQ((std::vector<std::wstring>{L"[InputInfo] Common.connectPassword is *****",
                                         L"empty {} stays, ***** and ***** go, {unclosed stays", L"}*****{"}),
              Messages());
}

TEST_F(TraceLogTest, BracedIdentifiersKeepTheirBracesAndNeverStandInPlainText)
{
    TraceLog log(MakeSeams());
    log.SetUserIdValue(L"user01");
    log.SetTerminalIdValue(L"TERM-99");
    log.Write(LOG_INFO, L"a.cpp", L"A::B", 1, L"[InputInfo] NolvexID is {%s}", L"user01");
    log.Write(LOG_INFO, L"a.cpp", L"A::B", 1, L"[InputInfo] Common.authTerminalID is {%s}", L"TERM-99");
    log.Write(LOG_INFO, L"a.cpp", L"A::B", 1, L"other {user02}");
    std::vector<std::wstring> vecMessages = Messages();
    ASSERT_EQ(3u, vecMessages.size());
    EXPECT_EQ(L"{" + EncodedId(L"user01") + L"}", BracedPart(vecMessages[0], L"[InputInfo] NolvexID is "));
    EXPECT_EQ(L"{" + EncodedId(L"TERM-99") + L"}",
              BracedPart(vecMessages[1], L"[InputInfo] Common.authTerminalID is "));
    EXPECT_EQ(L"other *****", vecMessages[2]);
    for (const std::wstring &strMessage : vecMessages) {
        EXPECT_EQ(std::wstring::npos, strMessage.find(L"user01")) << strMessage;
        EXPECT_EQ(std::wstring::npos, strMessage.find(L"TERM-99")) << strMessage;
    }
}

TEST_F(TraceLogTest, BracedUserIdIsWrittenAesEncodedBetweenBraces)
{
    TraceLog log(MakeSeams());
    log.SetUserIdValue(L"user01");
    log.Write(LOG_INFO, L"a.cpp", L"A::B", 1, L"[InputInfo] NolvexID is {%s} and again {%s}", L"user01", L"user01");
    std::vector<std::wstring> vecMessages = Messages();
    ASSERT_EQ(1u, vecMessages.size());
    const std::wstring strPrefix = L"[InputInfo] NolvexID is {";
    ASSERT_EQ(0u, vecMessages[0].find(strPrefix)) << vecMessages[0];
    size_t nClose = vecMessages[0].find(L'}', strPrefix.size());
    ASSERT_NE(std::wstring::npos, nClose);
    std::wstring strEncoded = vecMessages[0].substr(strPrefix.size(), nClose - strPrefix.size());
    // Base64 text of AES ciphertext, on one line, that the log key turns back into the id.
    EXPECT_EQ(0u, strEncoded.size() % 4);
    EXPECT_EQ(std::wstring::npos,
              strEncoded.find_first_not_of(L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="));
    EXPECT_EQ(L"user01", DecodedId(strEncoded));
    // Both occurrences are encoded alike (the same key and initialisation vector every time).
    EXPECT_EQ(L"[InputInfo] NolvexID is {" + strEncoded + L"} and again {" + strEncoded + L"}", vecMessages[0]);
}

TEST_F(TraceLogTest, AnIdThatCannotBeEncodedIsHiddenAndTheRestStillMasked)
{
    struct Case {
        TraceLog::EncodeFunc pfnEncode;
        const wchar_t *pszNotice;
    };
    const Case cases[] = {
        {[](const std::wstring &, std::wstring &) { return TraceLog::ID_NO_SIZE; },
         L"Logs Warn  :Can't Get Encode Size *****"},
        {[](const std::wstring &, std::wstring &strOut) {
             strOut = L"half";   // whatever a failing coder leaves behind is not written
             return TraceLog::ID_NOT_ENCODED;
         },
         L"Logs Warn  :Can't Encode Text *****"},
    };
    for (const Case &c : cases) {
        DeleteFileW(LogPath().c_str());
        TraceLog::Seams seams = MakeSeams();
        seams.pfnEncodeId = c.pfnEncode;
        TraceLog log(seams);
        log.SetUserIdValue(L"user01");
        log.Write(LOG_INFO, L"a.cpp", L"A::B", 1, L"id {%s} password {%s}", L"user01", L"secret");
        log.Write(LOG_INFO, L"a.cpp", L"A::B", 1, L"next");
        // The notice reaches the file ahead of the line; it names no id either.
        std::vector<std::wstring> vecLines = ReadLogLines(LogPath());
        ASSERT_EQ(3u, vecLines.size());
        EXPECT_EQ(c.pszNotice, vecLines[0]);
        EXPECT_EQ(L"id ***** password *****", MessageOf(vecLines[1]));
        EXPECT_EQ(L"next", MessageOf(vecLines[2]));
    }
}

TEST_F(TraceLogTest, IdentifiersMatchOnlyAsAWholeBracedValue)
{
    TraceLog log(MakeSeams());
    log.SetUserIdValue(L"user01");
    log.Write(LOG_INFO, L"a.cpp", L"A::B", 1, L"{user01x} {} {%s", L"user01");
    EXPECT_EQ(std::vector<std::wstring>{L"***** {} {user01"}, Messages());
}

TEST_F(TraceLogTest, UserPartLosesCharactersThatCannotStandInAFileName)
{
    EXPECT_EQ(L"a b c d e f g h i j k", TraceLog::SanitizeUserPart(L"a:b/c.d\\e*f?g<h>i|j\"k"));
    EXPECT_EQ(L"NolvexConnectMonitor", TraceLog::SanitizeUserPart(L"NolvexConnectMonitor"));
}

// ---- files, days and retention ----

TEST_F(TraceLogTest, LinesOnEitherSideOfMidnightGoToTwoFiles)
{
    TraceLog log(MakeSeams());
    s_stClock = MakeTime(2030, 1, 15, 23, 59, 59, 900);
    log.Write(LOG_INFO, L"a.cpp", L"A::B", 1, L"before midnight");
    s_stClock = MakeTime(2030, 1, 16, 0, 0, 0, 100);
    log.Write(LOG_INFO, L"a.cpp", L"A::B", 1, L"after midnight");
    EXPECT_EQ(L"NolvexConnectLog_20300116.dat", log.GetFileName());
    EXPECT_EQ(std::vector<std::wstring>{L"before midnight"}, Messages(L"NolvexConnectLog_20300115.dat"));
    EXPECT_EQ(std::vector<std::wstring>{L"after midnight"}, Messages(L"NolvexConnectLog_20300116.dat"));
}

TEST_F(TraceLogTest, SwitchKeepsOnlyTheTwoNewestDaysWithFiles)
{
    MakeOldLogFile(L"NolvexConnectLog_20300114.dat", MakeTime(2030, 1, 14, 12, 0, 0, 0));
    MakeOldLogFile(L"NolvexConnectLog_20300114_other.dat", MakeTime(2030, 1, 14, 13, 0, 0, 0));
    MakeOldLogFile(L"NolvexConnectLog_20300112.dat", MakeTime(2030, 1, 12, 12, 0, 0, 0));
    MakeOldLogFile(L"NolvexConnectLog_20300110.dat", MakeTime(2030, 1, 10, 12, 0, 0, 0));
    MakeOldLogFile(L"NolvexConnectLog_20300101.dat", MakeTime(2030, 1, 1, 12, 0, 0, 0));
    MakeOldLogFile(L"NolvexConnectLog_20300101.txt", MakeTime(2030, 1, 1, 12, 0, 0, 0));
    MakeOldLogFile(L"Other_20300101.dat", MakeTime(2030, 1, 1, 12, 0, 0, 0));

    TraceLog log(MakeSeams());
    log.Write(LOG_INFO, L"a.cpp", L"A::B", 1, L"today");

    EXPECT_TRUE(PathExists(LogPath(L"NolvexConnectLog_20300114.dat")));
    EXPECT_TRUE(PathExists(LogPath(L"NolvexConnectLog_20300114_other.dat")));
    EXPECT_TRUE(PathExists(LogPath(L"NolvexConnectLog_20300112.dat")));
    EXPECT_FALSE(PathExists(LogPath(L"NolvexConnectLog_20300110.dat")));
    EXPECT_FALSE(PathExists(LogPath(L"NolvexConnectLog_20300101.dat")));
    EXPECT_TRUE(PathExists(LogPath(L"NolvexConnectLog_20300101.txt")));
    EXPECT_TRUE(PathExists(LogPath(L"Other_20300101.dat")));

    // The deletions are reported as bare lines ahead of the first line of the new file.
    std::vector<std::wstring> vecLines = ReadLogLines(LogPath());
    std::set<std::wstring> setNotices(vecLines.begin(), vecLines.end() - 1);
    const std::wstring strNotice = L"2030/01/15 10:20:30.045 Logs Info  :Delete Old Log File ";
    EXPECT_EQ((std::set<std::wstring>{strNotice + LogPath(L"NolvexConnectLog_20300110.dat"),
                                      strNotice + LogPath(L"NolvexConnectLog_20300101.dat")}),
              setNotices);
    EXPECT_EQ(L"today", MessageOf(vecLines.back()));
}

TEST_F(TraceLogTest, NoDeletionWhenAnotherWriterHasSwitchedToTodayAlready)
{
    MakeOldLogFile(L"NolvexConnectLog_20300115_other.dat", MakeTime(2030, 1, 15, 9, 0, 0, 0));
    MakeOldLogFile(L"NolvexConnectLog_20300112.dat", MakeTime(2030, 1, 12, 12, 0, 0, 0));
    MakeOldLogFile(L"NolvexConnectLog_20300110.dat", MakeTime(2030, 1, 10, 12, 0, 0, 0));
    TraceLog log(MakeSeams());
    log.Write(LOG_INFO, L"a.cpp", L"A::B", 1, L"today");
    EXPECT_TRUE(PathExists(LogPath(L"NolvexConnectLog_20300110.dat")));
    EXPECT_EQ(std::vector<std::wstring>{L"today"}, Messages());
}

TEST_F(TraceLogTest, OldFileThatCannotBeDeletedIsRetriedAndReportedAsKept)
{
    MakeOldLogFile(L"NolvexConnectLog_20300114.dat", MakeTime(2030, 1, 14, 12, 0, 0, 0));
    MakeOldLogFile(L"NolvexConnectLog_20300112.dat", MakeTime(2030, 1, 12, 12, 0, 0, 0));
    MakeOldLogFile(L"NolvexConnectLog_20300110.dat", MakeTime(2030, 1, 10, 12, 0, 0, 0));
    HANDLE hBusy = CreateFileW(LogPath(L"NolvexConnectLog_20300110.dat").c_str(), GENERIC_READ, FILE_SHARE_READ,
                               nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hBusy);
    TraceLog log(MakeSeams());
    log.Write(LOG_INFO, L"a.cpp", L"A::B", 1, L"today");
    CloseHandle(hBusy);

    EXPECT_TRUE(PathExists(LogPath(L"NolvexConnectLog_20300110.dat")));
    std::vector<std::wstring> vecLines = ReadLogLines(LogPath());
    ASSERT_EQ(7u, vecLines.size());
    for (int i = 1; i <= 5; ++i) {
        wchar_t szNotice[64];
        _snwprintf(szNotice, 63, L"Retrying to delete the logfile [%d]", i);
        EXPECT_EQ(szNotice, vecLines[i - 1]);
    }
    EXPECT_EQ(L"2030/01/15 10:20:30.045 Logs Err : Can't Delete Old Log File " +
                  LogPath(L"NolvexConnectLog_20300110.dat"),
              vecLines[5]);
    EXPECT_EQ(L"today", MessageOf(vecLines[6]));
}

// ---- folders and notices ----

TEST_F(TraceLogTest, ProductFoldersAreTheApplicationDataLogsFolders)
{
    WinOSInformation info;
    TraceLog::Seams seams = MakeSeams();
    seams.strFolder.clear();
    TraceLog logUser(seams);
    logUser.Write(LOG_INFO, L"a.cpp", L"A::B", 1, L"user folder");
    EXPECT_EQ(info.GetAppDataFolderPath(nullptr) + L"Logs\\", logUser.GetFolder());
    EXPECT_TRUE(PathExists(logUser.GetFolder() + logUser.GetFileName()));

    seams.strAppName = L"NolvexConnectMonitor";
    TraceLog logService(seams);
    logService.Write(LOG_INFO, L"a.cpp", L"A::B", 1, L"all-users folder");
    EXPECT_EQ(info.GetAllUsersAppDataFolderPath() + L"Logs\\", logService.GetFolder());
    EXPECT_TRUE(PathExists(logService.GetFolder() + logService.GetFileName()));
}

TEST_F(TraceLogTest, UncreatableFolderFallsBackToTheCurrentFolderAndSaysSoFirst)
{
    WriteBytes(m_folder.Path() + L"plainfile", "not a folder");
    const std::wstring strCurrent = m_folder.Path() + L"current";
    CreateDirectoryW(strCurrent.c_str(), nullptr);
    wchar_t szSaved[MAX_PATH + 1] = {};
    GetCurrentDirectoryW(MAX_PATH, szSaved);
    ASSERT_TRUE(SetCurrentDirectoryW(strCurrent.c_str()));
    wchar_t szCurrent[MAX_PATH + 1] = {};
    GetCurrentDirectoryW(MAX_PATH, szCurrent);

    TraceLog::Seams seams = MakeSeams();
    seams.strFolder = m_folder.Path() + L"plainfile\\Logs";
    {
        TraceLog log(seams);
        log.Write(LOG_INFO, L"a.cpp", L"A::B", 1, L"after the notices");
        EXPECT_EQ(std::wstring(szCurrent) + L"\\", log.GetFolder());
    }
    SetCurrentDirectoryW(szSaved);

    std::vector<std::wstring> vecLines = ReadLogLines(strCurrent + L"\\NolvexConnectLog_20300115.dat");
    ASSERT_EQ(3u, vecLines.size());
    EXPECT_EQ(L"Logs Warn  :Failure to Create Folder " + seams.strFolder + L"\\", vecLines[0]);
    EXPECT_EQ(L"Logs Warn  :Change Folder Log Outputs To " + std::wstring(szCurrent), vecLines[1]);
    EXPECT_EQ(L"after the notices", MessageOf(vecLines[2]));
}

TEST_F(TraceLogTest, HelpersOfTheLoggerAddNoLinesOfTheirOwn)
{
    TraceLog log(MakeSeams());
    log.Write(LOG_INFO, L"a.cpp", L"A::B", 1, L"one");
    log.Write(LOG_INFO, L"a.cpp", L"A::B", 2, L"two");
    EXPECT_EQ((std::vector<std::wstring>{L"one", L"two"}), Messages());

    // The process logger: FileIO and OSInformation log through it while it writes.
    // (asked first: WinOSInformation logs through the process logger too)
    const std::wstring strUserLogs = WinOSInformation().GetAppDataFolderPath(nullptr) + L"Logs\\";
    TraceLog &process = TraceLog::GetInstance();
    process.Write(LOG_INFO, L"a.cpp", L"A::B", 3, L"process logger marker %lu", GetTickCount());
    EXPECT_EQ(strUserLogs, process.GetFolder());
    // Other programs of the prefix may share that file: only this thread's lines count.
    wchar_t szThread[16];
    _snwprintf(szThread, 15, L"%08lu", GetCurrentThreadId());
    std::vector<std::wstring> vecMine;
    for (const std::wstring &strLine : ReadLogLines(process.GetFolder() + process.GetFileName())) {
        ParsedLine parsed;
        if (ParseLine(strLine, parsed) && parsed.strThreadId == szThread) vecMine.push_back(parsed.strMessage);
    }
    ASSERT_FALSE(vecMine.empty());
    EXPECT_EQ(0u, vecMine.back().find(L"process logger marker "));
}

// ---- collisions with another program ----

// The file stays open for the day, shared with every writer; another program that holds it
// without sharing before the logger opens it makes the logger retry.
TEST_F(TraceLogTest, BusyFileIsRetriedAndTheRetriesAreNoted)
{
    TraceLog log(MakeSeams());
    ASSERT_TRUE(CreateDirectoryW(LogFolder().c_str(), nullptr));
    LockedFile holder(LogPath(), GENERIC_WRITE, FILE_SHARE_READ);
    ASSERT_TRUE(holder.IsLocked());
    std::thread releaser([&holder]() {
        Sleep(450);
        holder.Release();
    });
    log.Write(LOG_INFO, L"a.cpp", L"A::B", 2, L"written after retries");
    releaser.join();
    log.Write(LOG_INFO, L"a.cpp", L"A::B", 3, L"then at once");

    std::vector<std::wstring> vecLines = ReadLogLines(LogPath());
    ASSERT_GE(vecLines.size(), 3u);
    EXPECT_EQ(L"written after retries", MessageOf(vecLines[vecLines.size() - 2]));
    EXPECT_EQ(L"then at once", MessageOf(vecLines.back()));
    for (size_t i = 0; i + 2 < vecLines.size(); ++i) {
        wchar_t szNotice[64];
        _snwprintf(szNotice, 63, L"Retrying to write the logfile [%d]", (int)i + 1);
        EXPECT_EQ(szNotice, vecLines[i]);
    }
    EXPECT_LE(vecLines.size() - 2, 5u);
}

TEST_F(TraceLogTest, LineGivenUpAfterFiveRetriesReachesTheFileWithTheNextLine)
{
    TraceLog log(MakeSeams());
    ASSERT_TRUE(CreateDirectoryW(LogFolder().c_str(), nullptr));
    {
        LockedFile holder(LogPath(), GENERIC_WRITE, FILE_SHARE_READ);
        ASSERT_TRUE(holder.IsLocked());
        log.Write(LOG_INFO, L"a.cpp", L"A::B", 2, L"given up");
    }
    log.Write(LOG_INFO, L"a.cpp", L"A::B", 3, L"next");

    std::vector<std::wstring> vecLines = ReadLogLines(LogPath());
    ASSERT_EQ(8u, vecLines.size());
    for (int i = 1; i <= 5; ++i) {
        wchar_t szNotice[64];
        _snwprintf(szNotice, 63, L"Retrying to write the logfile [%d]", i);
        EXPECT_EQ(szNotice, vecLines[i - 1]);
    }
    EXPECT_EQ(0u, vecLines[5].find(L"Logs Err : Can't Write The Logfile rc:[32] msg:[")) << vecLines[5];
    EXPECT_EQ(L"given up", MessageOf(vecLines[6]));
    EXPECT_EQ(L"next", MessageOf(vecLines[7]));
}

// ---- concurrency ----

TEST_F(TraceLogTest, ThreadsWritingAtOnceNeitherInterleaveNorLoseLines)
{
    const int kThreads = 4, kLines = 150;
    TraceLog log(MakeSeams());
    std::vector<std::thread> vecThreads;
    for (int t = 0; t < kThreads; ++t) {
        vecThreads.emplace_back([&log, t]() {
            for (int i = 0; i < kLines; ++i)
                log.Write(LOG_INFO, L"thread.cpp", L"Worker::Run", t, L"thread=%d seq=%d", t, i);
        });
    }
    for (std::thread &th : vecThreads) th.join();

    std::map<int, std::vector<int>> mapSeen;
    for (const std::wstring &strLine : ReadLogLines(LogPath())) {
        ParsedLine parsed;
        ASSERT_TRUE(ParseLine(strLine, parsed)) << strLine;
        int iThread = -1, iSeq = -1;
        ASSERT_EQ(2, swscanf(parsed.strMessage.c_str(), L"thread=%d seq=%d", &iThread, &iSeq)) << strLine;
        mapSeen[iThread].push_back(iSeq);
    }
    ASSERT_EQ((size_t)kThreads, mapSeen.size());
    for (auto &entry : mapSeen) {
        ASSERT_EQ((size_t)kLines, entry.second.size()) << "thread " << entry.first;
        for (int i = 0; i < kLines; ++i) EXPECT_EQ(i, entry.second[i]);   // each thread's lines in order
    }
}

// Threads that queue behind a write that has to be retried all get their lines written, in
// their order, once the file can be opened; the retries' notices come first.
TEST_F(TraceLogTest, ThreadsQueuedBehindARetriedWriteLoseNoLine)
{
    const int kThreads = 4, kLines = 50;
    TraceLog log(MakeSeams());
    ASSERT_TRUE(CreateDirectoryW(LogFolder().c_str(), nullptr));
    LockedFile holder(LogPath(), GENERIC_WRITE, FILE_SHARE_READ);
    ASSERT_TRUE(holder.IsLocked());
    std::vector<std::thread> vecThreads;
    for (int t = 0; t < kThreads; ++t) {
        vecThreads.emplace_back([&log, t]() {
            for (int i = 0; i < kLines; ++i) log.Write(LOG_INFO, L"t.cpp", L"T::Run", t, L"thread=%d seq=%d", t, i);
        });
    }
    Sleep(450);
    holder.Release();
    for (std::thread &th : vecThreads) th.join();

    std::vector<std::wstring> vecLines = ReadLogLines(LogPath());
    size_t nNotices = 0;
    while (nNotices < vecLines.size() && vecLines[nNotices].find(L"Retrying to write the logfile [") == 0) ++nNotices;
    EXPECT_GE(nNotices, 1u);
    EXPECT_LE(nNotices, 5u);
    std::map<int, std::vector<int>> mapSeen;
    for (size_t n = nNotices; n < vecLines.size(); ++n) {
        int iThread = -1, iSeq = -1;
        ASSERT_EQ(2, swscanf(MessageOf(vecLines[n]).c_str(), L"thread=%d seq=%d", &iThread, &iSeq)) << vecLines[n];
        mapSeen[iThread].push_back(iSeq);
    }
    ASSERT_EQ((size_t)kThreads, mapSeen.size());
    for (auto &entry : mapSeen) {
        ASSERT_EQ((size_t)kLines, entry.second.size()) << "thread " << entry.first;
        for (int i = 0; i < kLines; ++i) EXPECT_EQ(i, entry.second[i]);
    }
}

// The file switch (and the deletion of old files with it) is done by one process of a program at
// a time: the first line waits for another writer that holds the program's mutex.
TEST_F(TraceLogTest, TheFileSwitchWaitsForTheProgramsNamedMutex)
{
    TraceLog log(MakeSeams(L"NolvexConnectTurnTest"));
    HANDLE hHeld = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(nullptr, hHeld);
    volatile LONG lReleasedAt = 0;
    // Another writer of the same program, as another process would hold it.
    std::thread holder([&]() {
        HANDLE hMutex = CreateMutexW(nullptr, FALSE, L"NolvexConnectLogs_NolvexConnectTurnTest");
        WaitForSingleObject(hMutex, INFINITE);   // it exists already: the logger made it
        SetEvent(hHeld);
        Sleep(300);
        InterlockedExchange(&lReleasedAt, (LONG)GetTickCount());
        ReleaseMutex(hMutex);
        CloseHandle(hMutex);
    });
    WaitForSingleObject(hHeld, 10000);
    log.Write(LOG_INFO, L"a.cpp", L"A::B", 1, L"after the other writer");
    DWORD dwWrittenAt = GetTickCount();
    holder.join();
    CloseHandle(hHeld);
    ASSERT_NE(0, lReleasedAt);
    EXPECT_GE((LONG)(dwWrittenAt - (DWORD)lReleasedAt), 0);
    EXPECT_EQ(std::vector<std::wstring>{L"after the other writer"}, Messages());
}

// Three processes with four threads each append to one file at once: two of one program, one of
// another (the client and the proxy reset tool of one user share their folder). Every line is
// there, whole, and each thread's lines are in their order.
TEST_F(TraceLogTest, ProcessesAndThreadsAppendingToOneFileLoseNoLine)
{
    const int kThreads = 4, kLines = 5000;
    struct Writer {
        const wchar_t *pszApp;
        const wchar_t *pszTag;
    };
    const Writer writers[] = {{L"LogWriterTest", L"A"}, {L"LogWriterTest", L"B"}, {L"LogWriterOther", L"C"}};
    const std::wstring strEvent = L"nc_logwriter_start_" + std::to_wstring(GetCurrentProcessId());
    ScopedHandle hStart(CreateEventW(nullptr, TRUE, FALSE, strEvent.c_str()));
    ASSERT_TRUE(hStart.IsValid());
    std::vector<std::unique_ptr<ChildProcess>> vecWriters;
    for (const Writer &writer : writers) {
        vecWriters.emplace_back(new ChildProcess());
        std::wstring strCommand = L"\"" + ProgramFolder() + L"nc_logwriter.exe\" \"" + MakeSeams().strFolder + L"\" " +
                                  writer.pszApp + L" " + writer.pszTag + L" " + std::to_wstring(kLines) + L" " + strEvent +
                                  L" " + std::to_wstring(kThreads);
        ASSERT_TRUE(vecWriters.back()->Launch(strCommand));
    }
    SetEvent(hStart.Get());
    for (std::unique_ptr<ChildProcess> &pWriter : vecWriters) {
        EXPECT_EQ(0, pWriter->Finish()) << "a writer failed or did not end";
    }

    // The writers use the real clock: their file is named after today.
    std::vector<std::wstring> vecFiles;
    WIN32_FIND_DATAW fd;
    ScopedFindHandle hFind(FindFirstFileW((LogFolder() + L"NolvexConnectLog_*.dat").c_str(), &fd));
    ASSERT_TRUE(hFind.IsValid());
    do vecFiles.push_back(fd.cFileName);
    while (FindNextFileW(hFind.Get(), &fd));
    ASSERT_EQ(1u, vecFiles.size());

    std::map<std::wstring, std::vector<int>> mapSeen;
    size_t nLines = 0;
    for (const std::wstring &strLine : ReadLogLines(LogFolder() + vecFiles[0])) {
        ++nLines;
        ParsedLine parsed;
        ASSERT_TRUE(ParseLine(strLine, parsed)) << "line " << nLines;
        wchar_t szTag[8] = {};
        int iThread = -1, iSeq = -1;
        ASSERT_EQ(3, swscanf(parsed.strMessage.c_str(), L"writer=%7[ABC] thread=%d seq=%d", szTag, &iThread, &iSeq))
            << "line " << nLines;
        mapSeen[szTag + std::wstring(L"/") + std::to_wstring(iThread)].push_back(iSeq);
    }
    EXPECT_EQ((size_t)(3 * kThreads * kLines), nLines);
    ASSERT_EQ((size_t)(3 * kThreads), mapSeen.size());
    for (auto &entry : mapSeen) {
        ASSERT_EQ((size_t)kLines, entry.second.size());
        for (int i = 0; i < kLines; ++i) ASSERT_EQ(i, entry.second[i]);
    }
}
