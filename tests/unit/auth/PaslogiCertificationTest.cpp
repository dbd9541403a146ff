// Pattern authentication against a scripted HTTP connection: the addresses, the server codes, the
// table and verification answers, the answer file on every way out, plain http, and cancel.
#include "CertificationTestHelp.h"
#include "HttpLogText.h"
#include "LogLines.h"
#include "MessageIds.h"
#include "PaslogiAuthFile.h"
#include "PaslogiCertification.h"
#include "ScriptedHttp.h"
#include <gtest/gtest.h>
#include <thread>

namespace {
const char kTableAnswer[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><PassLogic:Response><code>21030101</code><comment>ok</comment>"
    "<data><RAND><rand1>12</rand1><rand2>34</rand2><rand3>56</rand3></RAND><cookie>c</cookie><uid>u</uid>"
    "<title>t</title></data></PassLogic:Response>";
const DWORD kCancelLimitMs = 2000;

std::string Answer(long lCode)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><PassLogic:Response><code>" + std::to_string(lCode) +
           "</code><comment>c</comment></PassLogic:Response>";
}

class PaslogiCertificationTest : public CertificationFixture {
protected:
    // A pattern service (type 2, no device authentication) with the addresses given.
    bool LoadPattern(const std::wstring &strRandURL = L"https://paslogi.example/rand",
                     const std::wstring &strCertURL = L"https://paslogi.example/cert")
    {
        return LoadFirstService({{L"remoteConnectPwType", L"2"}, {L"patternAuthRandURL", strRandURL},
                                 {L"patternAuthURL", strCertURL}});
    }
    CertificationSeams HttpSeams()
    {
        CertificationSeams seams = Seams();
        HttpScript *pScript = &m_script;
        seams.pfnCreateHttp = [pScript]() -> HTTP_Connection * { return new ScriptedHttp(*pScript); };
        seams.strDownloadFolder = m_appData.Path();
        return seams;
    }
    std::wstring AnswerFile() { return m_appData / PaslogiCertification::ANSWER_FILE_NAME; }
    bool AnswerFilesGone()
    {
        return !PathExists(AnswerFile()) && !PathExists(AnswerFile() + PaslogiCertification::ANSWER_PART_SUFFIX);
    }

    HttpScript m_script;
};

TEST(PaslogiCodesTest, ServerCodesMapToTheirMessageIds)
{
    struct Case {
        long lCode, lMessage;
    } cases[] = {{21030111, 5113}, {21030112, 5002}, {21030113, 5111}, {21030115, 5113}, {21030116, 5112},
                 {21030117, 5113}, {21030118, 5113}, {21030119, 5111}, {21030199, 5113}, {21040111, 5001},
                 {21040112, 5111}, {21040113, 5113}, {21040114, 5112}, {21040118, 5113}, {21040119, 5113},
                 {0, 5114},        {12345, 5113},    {21030101, 5113}, {-1, 5113}};
    for (const Case &c : cases) {
        std::wstring strText;
        EXPECT_EQ(c.lMessage, PaslogiCertification::GetInternalErrorCode(c.lCode, strText)) << c.lCode;
        EXPECT_EQ(L"[" + std::to_wstring(c.lCode) + L"]", strText);
    }
}

TEST_F(PaslogiCertificationTest, AddressesKeepOneSlashAndEncodeTheirValues)
{
    for (const wchar_t *pszSuffix : {L"", L"/"}) {
        ASSERT_TRUE(LoadPattern(std::wstring(L"https://p.example/rand") + pszSuffix,
                                std::wstring(L"https://p.example/cert") + pszSuffix));
        PaslogiCertification cert(L"a&b c\u00e9", 0, HttpSeams());
        EXPECT_EQ(L"https://p.example/rand/a%26b+c%c3%a9", cert.GetRandURL()) << pszSuffix;
        EXPECT_EQ(L"https://p.example/cert/uid=a%26b+c%c3%a9&pass=1%262%3d3", cert.GetCertURL(L"1&2=3"));
    }
    ASSERT_TRUE(LoadPattern(L"", L""));
    PaslogiCertification none(L"user1", 0, HttpSeams());
    EXPECT_EQ(L"", none.GetRandURL());
    EXPECT_EQ(L"", none.GetCertURL(L"1"));
}

TEST_F(PaslogiCertificationTest, PlainHttpIsRefusedUnlessAllowed)
{
    ASSERT_TRUE(LoadPattern(L"http://p.example/rand", L"http://p.example/cert"));
    PaslogiCertification refused(L"user1", 0, HttpSeams());
    ErrInfo err;
    EXPECT_EQ(Certification::PANEL_FAILURE, refused.GetNextPanel(&err));
    EXPECT_EQ(4002, err.ErrCode);
    EXPECT_EQ(4002, refused.OnetimePasswordCert(L"1234", false, false));
    EXPECT_TRUE(m_script.vecURLs.empty());
    CertificationSeams seams = HttpSeams();
    seams.pfnAllowPlainHTTP = []() { return true; };
    PaslogiCertification allowed(L"user1", 0, seams);
    EXPECT_EQ(L"http://p.example/rand/user1", allowed.GetRandURL());
}

TEST_F(PaslogiCertificationTest, AnEmptyTableAddressAsksForAPasswordWithoutNetwork)
{
    ASSERT_TRUE(LoadPattern(L""));
    PaslogiCertification cert(L"user1", 0, HttpSeams());
    ErrInfo err;
    EXPECT_EQ(Certification::PANEL_PASSWORD, cert.GetNextPanel(&err));
    EXPECT_EQ(0, err.ErrCode);
    EXPECT_EQ(0, m_script.lCreated.load());
}

TEST_F(PaslogiCertificationTest, TheTableIsReadAndItsFileDeleted)
{
    ASSERT_TRUE(LoadPattern());
    m_script.strBody = kTableAnswer;
    PaslogiCertification cert(L"user1", 0, HttpSeams());
    ErrInfo err;
    EXPECT_EQ(Certification::PANEL_PATTERN, cert.GetNextPanel(&err));
    EXPECT_EQ(0, err.ErrCode);
    CertInfo info;
    EXPECT_EQ(0, cert.GetCertInfo(info, &err));
    EXPECT_EQ(L"123456", info.Rand);
    EXPECT_TRUE(AnswerFilesGone());
    EXPECT_EQ(0, m_script.lAlive.load());
}

TEST_F(PaslogiCertificationTest, TableFailuresGiveTheirPanelsAndLeaveNoFile)
{
    ASSERT_TRUE(LoadPattern());
    struct Case {
        HttpScript::Mode mode;
        std::string strBody;
        long lPanel, lErrCode;
    } cases[] = {
        {HttpScript::ANSWER, Answer(21030116), Certification::PANEL_FAILURE, 5112},
        {HttpScript::ANSWER, Answer(21030101), Certification::PANEL_FAILURE, 5113},   // no table
        {HttpScript::ANSWER, "garbage \xff<<", Certification::PANEL_FAILURE, 5114},
        {HttpScript::ANSWER, std::string(kTableAnswer).substr(0, 60), Certification::PANEL_FAILURE, 5114},
        {HttpScript::FAIL, "", Certification::PANEL_PASSWORD, 8552},
    };
    for (const Case &c : cases) {
        m_script.mode = c.mode;
        m_script.strBody = c.strBody;
        PaslogiCertification cert(L"user1", 0, HttpSeams());
        ErrInfo err;
        EXPECT_EQ(c.lPanel, cert.GetNextPanel(&err)) << c.strBody;
        EXPECT_EQ(c.lErrCode, err.ErrCode) << c.strBody;
        EXPECT_TRUE(AnswerFilesGone()) << c.strBody;
    }
    EXPECT_EQ(0, m_script.lAlive.load());
}

TEST_F(PaslogiCertificationTest, AnAnswerThatCannotBeWrittenGives4001)
{
    ASSERT_TRUE(LoadPattern());
    m_script.strBody = kTableAnswer;
    CertificationSeams seams = HttpSeams();
    seams.strDownloadFolder = m_appData / L"missing\\";
    PaslogiCertification cert(L"user1", 0, seams);
    ErrInfo err;
    EXPECT_EQ(Certification::PANEL_PASSWORD, cert.GetNextPanel(&err));
    EXPECT_EQ(4001, err.ErrCode);
}

TEST_F(PaslogiCertificationTest, AStaleAnswerFileIsDeletedUnread)
{
    ASSERT_TRUE(LoadPattern());
    ASSERT_TRUE(WriteBytes(AnswerFile(), Answer(PaslogiAuthFile::CODE_VERIFIED)));
    m_script.mode = HttpScript::FAIL;
    PaslogiCertification cert(L"user1", 0, HttpSeams());
    EXPECT_EQ(8552, cert.OnetimePasswordCert(L"1234", false, false));
    EXPECT_FALSE(cert.IsUsingNolvexPW());
    EXPECT_TRUE(AnswerFilesGone());
}

TEST_F(PaslogiCertificationTest, AVerifiedPatternSwitchesToTheProfilePassword)
{
    ASSERT_TRUE(LoadPattern());
    m_script.strBody = Answer(PaslogiAuthFile::CODE_VERIFIED);
    PaslogiCertification cert(L"user1", 0, HttpSeams());
    EXPECT_EQ(25000, cert.OnetimePasswordCert(L"", false, false));
    EXPECT_EQ(0, cert.OnetimePasswordCert(L"9876", false, false));
    EXPECT_TRUE(cert.IsUsingNolvexPW());
    ASSERT_EQ(1u, m_script.vecURLs.size());
    EXPECT_EQ(L"https://paslogi.example/cert/uid=user1&pass=9876", m_script.vecURLs[0]);
    CertInfo info;
    EXPECT_EQ(0, cert.GetCertInfo(info, nullptr));
    EXPECT_EQ(L"c0nnect-Pw", info.Password);
    EXPECT_TRUE(AnswerFilesGone());
}

TEST_F(PaslogiCertificationTest, ARefusedPatternIsReportedLocally)
{
    ASSERT_TRUE(LoadPattern());
    m_script.strBody = Answer(21040114);
    PaslogiCertification cert(L"user1", 0, HttpSeams());
    EXPECT_EQ(5112, cert.OnetimePasswordCert(L"9876", false, false));
    ErrInfo err;
    EXPECT_EQ(0, cert.GetErrInfo(&err, false));
    EXPECT_EQ(5112, err.ErrCode);
    EXPECT_EQ(L"[21040114]", err.ErrMsg);
    EXPECT_EQ(0, err.Publicher);
    // nothing went wrong yet: the general failure
    PaslogiCertification fresh(L"user1", 0, HttpSeams());
    EXPECT_EQ(0, fresh.GetErrInfo(&err, false));
    EXPECT_EQ(15000, err.ErrCode);
}

TEST_F(PaslogiCertificationTest, NoPatternCheckForOtherTypesAndTheProfilePasswordFlag)
{
    ASSERT_TRUE(LoadFirstService({{L"remoteConnectPwType", L"4"}}));
    PaslogiCertification direct(L"user1", 0, HttpSeams());
    EXPECT_EQ(0, direct.OnetimePasswordCert(L"typed-1", false, false));
    CertInfo info;
    EXPECT_EQ(0, direct.GetCertInfo(info, nullptr));
    EXPECT_EQ(L"typed-1", info.Password);
    ASSERT_TRUE(LoadPattern());
    PaslogiCertification profile(L"user1", 0, HttpSeams());
    EXPECT_EQ(0, profile.OnetimePasswordCert(L"", false, true));
    EXPECT_TRUE(profile.IsUsingNolvexPW());
    EXPECT_EQ(0, profile.OnetimePasswordCert(L"", true, false));   // already done
    EXPECT_TRUE(m_script.vecURLs.empty());
}

TEST_F(PaslogiCertificationTest, ACancelDuringTheTableDownloadEndsItAndLeavesNoFile)
{
    ASSERT_TRUE(LoadPattern());
    m_script.mode = HttpScript::HOLD;
    PaslogiCertification cert(L"user1", 0, HttpSeams());
    std::thread canceller([&cert]() {
        Sleep(200);
        cert.CancelCertification();
    });
    DWORD dwStart = GetTickCount();
    ErrInfo err;
    EXPECT_EQ(Certification::PANEL_PASSWORD, cert.GetNextPanel(&err));
    DWORD dwElapsed = GetTickCount() - dwStart;
    canceller.join();
    EXPECT_LT(dwElapsed, 200 + kCancelLimitMs);
    EXPECT_EQ(3045, err.ErrCode);
    EXPECT_EQ(3045, cert.GetLastResult());
    EXPECT_TRUE(AnswerFilesGone());
    EXPECT_EQ(0, m_script.lAlive.load());
    // a cancel that came first: no exchange starts
    size_t nBefore = m_script.vecURLs.size();
    EXPECT_EQ(3045, cert.OnetimePasswordCert(L"1", false, false));
    EXPECT_EQ(nBefore, m_script.vecURLs.size());
}

TEST_F(PaslogiCertificationTest, TheLogShowsNeitherPatternNorPassword)
{
    ASSERT_TRUE(LoadPattern());
    m_script.strBody = Answer(PaslogiAuthFile::CODE_VERIFIED);
    TraceLog::GetInstance().SetLogLevel(1);
    PaslogiCertification cert(L"user1", 0, HttpSeams());
    EXPECT_EQ(0, cert.OnetimePasswordCert(L"Pat7Secret", false, false));
    CertInfo info;
    cert.GetCertInfo(info, nullptr);
    EXPECT_GE(LogLinesWith(L"[InputInfo] verification URL https://paslogi.example/cert/*****"), 1u);
    EXPECT_EQ(0u, LogLinesWith(L"Pat7Secret"));
    EXPECT_EQ(0u, LogLinesWith(L"c0nnect-Pw"));
    TraceLog::GetInstance().SetLogLevel(0);
}
}   // namespace
