// The certification factory and the ordinary, associated and one-time certifications against
// profiles written for each test; the device values are the Python vectors of
// TerminalCertificationTest (hashlib and base64 over the same SID, serial and key).
#include "AssociatedCertification.h"
#include "CertificationTestHelp.h"
#include "GetCertification.h"
#include "LogLines.h"
#include "MessageIds.h"
#include "NolvexCertification.h"
#include "OnetimeCertification.h"
#include "PaslogiCertification.h"
#include "RegistTerminal.h"
#include <gtest/gtest.h>
#include <atomic>
#include <memory>
#include <thread>

namespace {
// The sample's services: 0 type "0" flag "0" no gateway; 1 type "2" flag "1" gateway with
// type "1"; 2 type "3" flag "0".
class CertificationFactoryTest : public CertificationFixture {
protected:
    std::unique_ptr<Certification> Make(long lIndex) { return std::unique_ptr<Certification>(GetCertification(lIndex, L"user1", L"pw-1", Seams())); }
};

TEST_F(CertificationFactoryTest, WithoutProfileEveryIndexGetsTheOrdinaryCertification)
{
    ASSERT_TRUE(LoadNothing());
    for (long lIndex : {0L, 2L, 17L, -1L}) {
        std::unique_ptr<Certification> pCert = Make(lIndex);
        EXPECT_NE(nullptr, dynamic_cast<NolvexCertification *>(pCert.get())) << lIndex;
        EXPECT_EQ(nullptr, dynamic_cast<AssociatedCertification *>(pCert.get())) << lIndex;
    }
    EXPECT_GE(LogLinesWith(L"Get CertificateType 0 NORMAL:0 ASSOCIATION:1 PATTERN:2 ONETIME:3"), 4u);
}

TEST_F(CertificationFactoryTest, EachValidTypeGetsItsClass)
{
    struct Case {
        const wchar_t *pszType;
        const char *pszClass;
    } cases[] = {{L"0", "Nolvex"}, {L"1", "Associated"}, {L"2", "Paslogi"}, {L"3", "Onetime"}, {L"4", "Paslogi"}, {L"5", "Onetime"}};
    for (const Case &c : cases) {
        // A gateway whose password type is not 0 is a valid combination for every type.
        ASSERT_TRUE(LoadFirstService({{L"remoteConnectPwType", c.pszType}, {L"accessControlGWAddr", L"gw.example"},
                                      {L"accessControlPwType", L"1"}}));
        std::string strClass = c.pszClass;
        std::wstring strLine = L"Create " + std::wstring(strClass.begin(), strClass.end()) + L"Certification";
        size_t nBefore = LogLinesWith(strLine);
        std::unique_ptr<Certification> pCert = Make(0);
        ASSERT_NE(nullptr, pCert) << c.pszClass;
        EXPECT_EQ(nBefore + 1, LogLinesWith(strLine)) << strClass;
        if (strClass == "Nolvex") {
            EXPECT_NE(nullptr, dynamic_cast<NolvexCertification *>(pCert.get()));
            EXPECT_EQ(nullptr, dynamic_cast<AssociatedCertification *>(pCert.get()));
        }
        if (strClass == "Associated") {
            EXPECT_NE(nullptr, dynamic_cast<AssociatedCertification *>(pCert.get()));
        }
        if (strClass == "Paslogi") {
            EXPECT_NE(nullptr, dynamic_cast<PaslogiCertification *>(pCert.get()));
        }
        if (strClass == "Onetime") {
            EXPECT_NE(nullptr, dynamic_cast<OnetimeCertification *>(pCert.get()));
        }
    }
}

TEST_F(CertificationFactoryTest, UnknownTypesGiveNull)
{
    for (const wchar_t *pszType : {L"7", L"6", L"x", L""}) {
        ASSERT_TRUE(LoadFirstService({{L"remoteConnectPwType", pszType}}));
        EXPECT_EQ(nullptr, Make(0)) << pszType;
    }
    EXPECT_GE(LogLinesWith(L"Can't Find CertificateType 7"), 1u);
    ASSERT_TRUE(LoadSample());
    EXPECT_EQ(nullptr, Make(3));   // outside the list of services
}

TEST_F(CertificationFactoryTest, PatternAndOnetimeRefuseAGatewayWithPasswordTypeZero)
{
    size_t nPaslogi = LogLinesWith(L"Access Control(PASLOGI) Password Type."),
           nOnetime = LogLinesWith(L"Access Control(ONETIME) Password Type.");
    for (const wchar_t *pszType : {L"2", L"3", L"4", L"5"}) {
        ASSERT_TRUE(LoadFirstService({{L"remoteConnectPwType", pszType}, {L"accessControlGWAddr", L"gw.example"},
                                      {L"accessControlPwType", L"0"}}));
        EXPECT_EQ(nullptr, Make(0)) << pszType;
    }
    EXPECT_EQ(nPaslogi + 2, LogLinesWith(L"Invalid Combination, Remote Connection(NORMAL) and Access Control(PASLOGI) Password Type."));
    EXPECT_EQ(nOnetime + 2, LogLinesWith(L"Invalid Combination, Remote Connection(NORMAL) and Access Control(ONETIME) Password Type."));
    // the ordinary types do not care; without the gateway the pattern type is valid
    ASSERT_TRUE(LoadFirstService({{L"accessControlGWAddr", L"gw.example"}, {L"accessControlPwType", L"0"}}));
    EXPECT_NE(nullptr, Make(0));
    ASSERT_TRUE(LoadFirstService({{L"remoteConnectPwType", L"2"}, {L"accessControlPwType", L"0"}}));
    EXPECT_NE(nullptr, dynamic_cast<PaslogiCertification *>(Make(0).get()));
}

class OrdinaryCertificationTest : public CertificationFixture {};

TEST_F(OrdinaryCertificationTest, ResultsForMissingValuesAndThePlainCredentials)
{
    ASSERT_TRUE(LoadSample());
    ErrInfo err;
    err.ErrCode = 99;
    err.ErrMsg = L"old";
    CertInfo info;
    NolvexCertification noId(L"", L"pw-1", 0, Seams());
    EXPECT_EQ(Certification::PANEL_NONE, noId.GetNextPanel(&err));
    EXPECT_EQ(0, err.ErrCode);
    EXPECT_EQ(L"", err.ErrMsg);
    EXPECT_EQ(MSG_PROMPT_NOLVEX_ID, noId.GetCertInfo(info, &err));
    EXPECT_EQ(25001, err.ErrCode);
    NolvexCertification noPassword(L"user1", L"", 0, Seams());
    EXPECT_EQ(25000, noPassword.GetCertInfo(info, &err));
    EXPECT_EQ(25000, err.ErrCode);
    NolvexCertification plain(L"user1", L"pw-1", 0, Seams());
    EXPECT_EQ(0, plain.GetCertInfo(info, &err));
    EXPECT_EQ(0, err.ErrCode);
    EXPECT_EQ(L"user1", info.ID);
    EXPECT_EQ(L"pw-1", info.Password);
    EXPECT_EQ(0, plain.GetCertInfo(info, nullptr));   // the record may be absent
}

TEST_F(OrdinaryCertificationTest, AssociatedTakesTheProfilePasswordAndReports4002WithoutIt)
{
    ASSERT_TRUE(LoadFirstService({{L"remoteConnectPwType", L"1"}}));
    CertInfo info;
    AssociatedCertification associated(L"user1", 0, Seams());
    EXPECT_EQ(0, associated.GetCertInfo(info, nullptr));
    EXPECT_EQ(L"c0nnect-Pw", info.Password);
    ASSERT_TRUE(LoadFirstService({{L"remoteConnectPwType", L"1"}, {L"connectPassword", L""}}));
    ErrInfo err;
    AssociatedCertification withoutPassword(L"user1", 0, Seams());
    EXPECT_EQ(4002, withoutPassword.GetCertInfo(info, &err));
    EXPECT_EQ(4002, err.ErrCode);
}

TEST_F(OrdinaryCertificationTest, DeviceAuthenticationReplacesBothValues)
{
    ASSERT_TRUE(LoadFirstService({{L"authTerminalFlag", L"1"}}));
    CertInfo info;
    NolvexCertification cert(L"user1", kGivenPassword, 0, Seams());
    EXPECT_EQ(0, cert.GetCertInfo(info, nullptr));
    EXPECT_EQ(L"T20261208-0042", info.ID);
    EXPECT_EQ(kPasswordFromGiven, info.Password);
    // a new BIOS serial gives a new password
    m_device.strBios = L"VMW-4217-ABCE";
    NolvexCertification other(L"user1", kGivenPassword, 0, Seams());
    EXPECT_EQ(0, other.GetCertInfo(info, nullptr));
    EXPECT_EQ(15u, info.Password.size());
    EXPECT_NE(kPasswordFromGiven, info.Password);
}

TEST_F(OrdinaryCertificationTest, DeviceWithoutIdentifiersGives4120)
{
    ASSERT_TRUE(LoadFirstService({{L"authTerminalFlag", L"1"}}));
    m_device.strSid.clear();
    m_device.strBios.clear();
    m_device.strVolume.clear();
    CertInfo info;
    ErrInfo err;
    NolvexCertification cert(L"user1", L"pw-1", 0, Seams());
    EXPECT_EQ(4120, cert.GetCertInfo(info, &err));
    EXPECT_EQ(4120, err.ErrCode);
    EXPECT_EQ(L"", info.Password);
}

class OnetimeCertificationTest : public CertificationFixture {};

TEST_F(OnetimeCertificationTest, TheTypedPasswordIsStoredOnlyWhereItMayBeUsed)
{
    ASSERT_TRUE(LoadFirstService({{L"remoteConnectPwType", L"5"}}));
    OnetimeCertification cert(L"user1", 0, Seams());
    ErrInfo err;
    err.ErrCode = 7;
    EXPECT_EQ(Certification::PANEL_PASSWORD, cert.GetNextPanel(&err));
    EXPECT_EQ(0, err.ErrCode);
    EXPECT_EQ(25000, cert.OnetimePasswordCert(L"", false, false));
    EXPECT_EQ(0, cert.OnetimePasswordCert(L"otp-123", false, false));
    EXPECT_EQ(0, cert.OnetimePasswordCert(L"otp-999", true, false));   // a second time changes nothing
    CertInfo info;
    EXPECT_EQ(0, cert.GetCertInfo(info, &err));
    EXPECT_EQ(L"user1", info.ID);
    EXPECT_EQ(L"otp-123", info.Password);

    ASSERT_TRUE(LoadFirstService({{L"remoteConnectPwType", L"3"}}));
    OnetimeCertification direct(L"user1", 0, Seams());
    EXPECT_EQ(5120, direct.OnetimePasswordCert(L"otp-123", false, false));

    ASSERT_TRUE(LoadFirstService({{L"remoteConnectPwType", L"5"}, {L"authTerminalFlag", L"1"}}));
    OnetimeCertification device(L"user1", 0, Seams());
    EXPECT_EQ(5120, device.OnetimePasswordCert(L"otp-123", false, false));
    EXPECT_EQ(5120, device.GetCertInfo(info, &err));
    EXPECT_EQ(L"", info.ID);
    EXPECT_EQ(L"", info.Password);
}

// The cancel thread and the connect thread meet over the registration run of GetErrInfo: the
// run must be neither deleted twice nor left behind, whatever the timing.
TEST_F(OrdinaryCertificationTest, CancelDuringTheFailureNoticeNeitherCrashesNorLeaks)
{
    ASSERT_TRUE(LoadSample());
    const int kRounds = 200;
    std::atomic<long> lRuns{0};
    CertificationSeams seams = Seams();
    seams.pfnCreateRegist = [&lRuns]() {
        ++lRuns;
        return new RegistTerminal();
    };
    for (int i = 0; i < kRounds; ++i) {
        NolvexCertification cert(L"user1", L"pw-1", 0, seams);
        std::atomic<bool> bGo{false};
        std::thread canceller([&]() {
            while (!bGo) std::this_thread::yield();
            if (i % 2) Sleep(0);
            cert.CancelCertification();
        });
        ErrInfo err;
        bGo = true;
        EXPECT_EQ(0, cert.GetErrInfo(&err, true));
        canceller.join();
        // after the cancel no new run starts
        EXPECT_EQ(0, cert.GetErrInfo(&err, true));
        EXPECT_EQ(MSG_CONNECTION_CANCELED, err.ErrCode);
    }
    EXPECT_GE(lRuns.load(), kRounds);
}
}   // namespace
