// Device authentication against profiles written for each test and a device whose identifiers the
// test chooses. The expected values were computed apart from the product, with Python's hashlib
// and base64 over the same text:
//   base64.urlsafe_b64encode(hashlib.sha256((sid + serial).encode()).digest())[:43]
//   base64.urlsafe_b64encode(hashlib.sha1((info + sharedKey + base).encode()).digest())[:15]
#include "ErrInfo.h"
#include "MessageIds.h"
#include "ProfileTestHelp.h"
#include "TerminalCertification.h"
#include "LogLines.h"
#include "TestFiles.h"
#include "WinOSInformation.h"
#include <gtest/gtest.h>
#include <memory>

namespace {
const wchar_t kSid[] = L"S-1-5-21-1004336348-1177238915-682003330";
const wchar_t kBiosSerial[] = L"VMW-4217-ABCD";
const wchar_t kVolumeSerial[] = L"5e7c0a13";
const wchar_t kInfoFromBios[] = L"fU9UdQ89LG0C5TUQi8B4wcQDs6_-hAnPwjHSjz7sZyY";
const wchar_t kInfoFromVolume[] = L"-iMJDCs4gBOWxv5_ur4PCehjo0mPzinH5TcrLjggHKM";
// The sample profile's terminalPwdSharedKey is "shared-Key-77", its connectPassword "c0nnect-Pw".
const wchar_t kGivenPassword[] = L"\u30d1\u30b9-word1";
const wchar_t kPasswordFromGiven[] = L"VUu6iUeV61FxdRB";
const wchar_t kPasswordFromProfile[] = L"gbSVEDh9qPVACZZ";
const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

// The identifiers a test gives the device, and how often the serials were asked for.
struct Device {
    std::wstring strSid = kSid;
    std::wstring strBios = kBiosSerial;
    std::wstring strVolume = kVolumeSerial;
    int iSerialQueries = 0;
};

class ChosenDevice : public WinOSInformation {
public:
    explicit ChosenDevice(Device &device) : m_device(device) {}
    std::wstring GetComputerSID() override { return m_device.strSid; }
    std::wstring GetBIOSSerialNo() override
    {
        ++m_device.iSerialQueries;
        return m_device.strBios;
    }
    std::wstring GetVolumeSerialNo() override { return m_device.strVolume; }

private:
    Device &m_device;
};

bool IsBase64URLText(const std::wstring &strText)
{
    for (wchar_t ch : strText)
        if (ch > 0x7f || std::string(kAlphabet).find(static_cast<char>(ch)) == std::string::npos) return false;
    return true;
}

// A profile in a folder of its own, loaded, and a device the test can change.
class TerminalCertificationTest : public ::testing::Test {
protected:
    // The sample's connection services: 0 flag "0" type "0"; 1 flag "1" type "2"; 2 flag "0" type "3".
    bool Load(const std::wstring &strText)
    {
        m_pProfile.reset(new TerminalProfile(ProfileSeams(m_folder.Path())));
        return WriteProfile(m_folder / TerminalProfile::FILE_NAME, strText) && m_pProfile->ProfileLoad();
    }
    bool LoadSample() { return Load(SampleProfileText()); }
    // The sample with the first connection service's authTerminalFlag (and password type) set.
    bool LoadFirstService(const std::wstring &strFlag, const std::wstring &strPwType = L"0")
    {
        std::wstring strText = Replaced(SampleProfileText(), L"<authTerminalFlag>0</authTerminalFlag>",
                                        L"<authTerminalFlag>" + strFlag + L"</authTerminalFlag>");
        strText = Replaced(strText, L"<remoteConnectPwType>0</remoteConnectPwType>",
                           L"<remoteConnectPwType>" + strPwType + L"</remoteConnectPwType>");
        return Load(strText);
    }
    TerminalCertification Make(long lIndex)
    {
        Device *pDevice = &m_device;
        return TerminalCertification(lIndex, *m_pProfile, [pDevice]() -> OSInformation * {
            return new ChosenDevice(*pDevice);
        });
    }

    TestFolder m_folder;
    std::unique_ptr<TerminalProfile> m_pProfile;
    Device m_device;
};
}   // namespace

// --- whether the connection service demands device authentication ------------------------------

TEST_F(TerminalCertificationTest, IsEffectiveOnlyForAServiceOfTheProfileWhoseFlagIsSet)
{
    ASSERT_TRUE(LoadSample());
    EXPECT_FALSE(Make(0).isEffective());    // authTerminalFlag "0"
    EXPECT_TRUE(Make(1).isEffective());     // authTerminalFlag "1"
    EXPECT_FALSE(Make(2).isEffective());
    EXPECT_FALSE(Make(-1).isEffective());   // no service selected, although service 1 demands it
    EXPECT_FALSE(Make(3).isEffective());    // one past the three services
    EXPECT_FALSE(Make(100).isEffective());
}

TEST_F(TerminalCertificationTest, FlagIsReadAsADecimalNumber)
{
    ASSERT_TRUE(LoadFirstService(L"2"));
    EXPECT_TRUE(Make(0).isEffective());
    ASSERT_TRUE(LoadFirstService(L"00"));
    EXPECT_FALSE(Make(0).isEffective());
    // Text that is no number demands nothing, and says so.
    size_t nBefore = LogLinesWith(L"authTerminalFlag [yes] is not a number");
    ASSERT_TRUE(LoadFirstService(L"yes"));
    EXPECT_FALSE(Make(0).isEffective());
    EXPECT_EQ(nBefore + 1, LogLinesWith(L"authTerminalFlag [yes] is not a number"));
}

TEST_F(TerminalCertificationTest, NoProfileFileMeansNoDeviceAuthentication)
{
    ASSERT_TRUE(LoadSample());
    ASSERT_TRUE(Make(1).isEffective());
    // The values of the last load stay in memory; the file decides.
    ASSERT_TRUE(DeleteFileW((m_folder / TerminalProfile::FILE_NAME).c_str()));
    EXPECT_FALSE(Make(1).isEffective());
}

// --- the derived values ---------------------------------------------------------------------------

TEST_F(TerminalCertificationTest, TerminalIdInfoIsTheBase64URLOfTheSha256OfSidAndBiosSerial)
{
    ASSERT_TRUE(LoadSample());
    ErrInfo err;
    std::wstring strInfo = Make(1).GetTerminalIDInfo(&err);
    EXPECT_EQ(kInfoFromBios, strInfo);
    EXPECT_EQ(TerminalCertification::TERMINAL_ID_INFO_CHARS, strInfo.size());
    EXPECT_TRUE(IsBase64URLText(strInfo)) << strInfo;
    EXPECT_EQ(0, err.ErrCode);
    EXPECT_EQ(L"T20261208-0042", Make(1).GetTerminalID());
}

TEST_F(TerminalCertificationTest, VolumeSerialStandsInForAnEmptyBiosSerial)
{
    ASSERT_TRUE(LoadSample());
    m_device.strBios.clear();
    size_t nVolumeLines = LogLinesWith(L"Use Volume Serial Number For Terminal Certifcation 5e7c0a13");
    TerminalCertification cert = Make(1);
    EXPECT_EQ(kVolumeSerial, cert.GetHDDInfo());
    EXPECT_EQ(kInfoFromVolume, cert.GetTerminalIDInfo(nullptr));
    EXPECT_EQ(nVolumeLines + 1, LogLinesWith(L"Use Volume Serial Number For Terminal Certifcation 5e7c0a13"));
}

TEST_F(TerminalCertificationTest, DeviceSerialIsAskedForOnceAndLoggedBySource)
{
    ASSERT_TRUE(LoadSample());
    size_t nBiosLines = LogLinesWith(L"Use BIOS Serial Number For Terminal Certifcation VMW-4217-ABCD");
    TerminalCertification cert = Make(1);
    EXPECT_EQ(kBiosSerial, cert.GetHDDInfo());
    m_device.strBios = L"CHANGED-LATER";
    EXPECT_EQ(kBiosSerial, cert.GetHDDInfo());
    EXPECT_EQ(kInfoFromBios, cert.GetTerminalIDInfo(nullptr));
    EXPECT_EQ(1, m_device.iSerialQueries);
    EXPECT_EQ(nBiosLines + 1, LogLinesWith(L"Use BIOS Serial Number For Terminal Certifcation VMW-4217-ABCD"));
    // A new object (the next connect attempt) reads the device again.
    EXPECT_EQ(L"CHANGED-LATER", Make(1).GetHDDInfo());
}

TEST_F(TerminalCertificationTest, PasswordOfTheStandardTypeIsMadeFromTheGivenPassword)
{
    ASSERT_TRUE(LoadFirstService(L"1", L"0"));
    size_t nLines = LogLinesWith(L"Terminal Password make from Standard Password");
    ErrInfo err;
    std::wstring strPassword = Make(0).GetTerminalPassword(kGivenPassword, &err);
    EXPECT_EQ(kPasswordFromGiven, strPassword);
    EXPECT_EQ(TerminalCertification::TERMINAL_PASSWORD_CHARS, strPassword.size());
    EXPECT_EQ(0, err.ErrCode);
    EXPECT_EQ(nLines + 1, LogLinesWith(L"Terminal Password make from Standard Password"));
}

TEST_F(TerminalCertificationTest, PasswordOfOtherTypesIsMadeFromTheProfilesConnectPassword)
{
    ASSERT_TRUE(LoadSample());   // service 1: remoteConnectPwType "2"
    size_t nLines = LogLinesWith(L"Terminal Password make from Connect Password");
    EXPECT_EQ(kPasswordFromProfile, Make(1).GetTerminalPassword(kGivenPassword, nullptr));
    EXPECT_EQ(kPasswordFromProfile, Make(1).GetTerminalPassword(L"anything else", nullptr));
    EXPECT_EQ(nLines + 2, LogLinesWith(L"Terminal Password make from Connect Password"));
    // The type is compared as text: "00" is not the standard type.
    ASSERT_TRUE(LoadFirstService(L"1", L"00"));
    EXPECT_EQ(kPasswordFromProfile, Make(0).GetTerminalPassword(kGivenPassword, nullptr));
}

TEST_F(TerminalCertificationTest, PasswordChangesWithTheDeviceAndTheSharedKey)
{
    ASSERT_TRUE(LoadSample());
    std::wstring strFirst = Make(1).GetTerminalPassword(L"", nullptr);
    m_device.strBios = L"VMW-4217-ABCE";
    std::wstring strOtherBios = Make(1).GetTerminalPassword(L"", nullptr);
    EXPECT_EQ(kPasswordFromProfile, strFirst);
    EXPECT_EQ(TerminalCertification::TERMINAL_PASSWORD_CHARS, strOtherBios.size());
    EXPECT_NE(strFirst, strOtherBios);
    ASSERT_TRUE(Load(Replaced(SampleProfileText(), L"shared-Key-77", L"shared-Key-78")));
    m_device.strBios = kBiosSerial;
    std::wstring strOtherKey = Make(1).GetTerminalPassword(L"", nullptr);
    EXPECT_NE(strFirst, strOtherKey);
    EXPECT_TRUE(IsBase64URLText(strOtherKey)) << strOtherKey;
}

TEST_F(TerminalCertificationTest, MissingDeviceIdentifiersGiveNoValueAndAnError)
{
    ASSERT_TRUE(LoadSample());
    m_device.strSid.clear();
    ErrInfo err;
    size_t nLines = LogLinesWith(L"Can't Get Terminal ID Info");
    EXPECT_EQ(L"", Make(1).GetTerminalPassword(kGivenPassword, &err));
    EXPECT_EQ(MSG_UNEXPECTED_ERROR, err.ErrCode);
    EXPECT_LT(nLines, LogLinesWith(L"Can't Get Terminal ID Info"));

    m_device.strSid = kSid;
    m_device.strBios.clear();
    m_device.strVolume.clear();
    err.Clear();
    EXPECT_EQ(L"", Make(1).GetTerminalIDInfo(&err));
    EXPECT_EQ(MSG_UNEXPECTED_ERROR, err.ErrCode);
}

TEST_F(TerminalCertificationTest, ThisMachinesValuesAreWellFormedAndStable)
{
    ASSERT_TRUE(LoadSample());
    TerminalCertification first(1, *m_pProfile, CreateOSInformation);
    TerminalCertification second(1, *m_pProfile, CreateOSInformation);
    ErrInfo err;
    std::wstring strInfo = first.GetTerminalIDInfo(&err);
    EXPECT_EQ(0, err.ErrCode);
    EXPECT_EQ(TerminalCertification::TERMINAL_ID_INFO_CHARS, strInfo.size());
    EXPECT_TRUE(IsBase64URLText(strInfo)) << strInfo;
    EXPECT_EQ(strInfo, second.GetTerminalIDInfo(nullptr));
    EXPECT_EQ(first.GetTerminalPassword(L"pw", nullptr), second.GetTerminalPassword(L"pw", nullptr));
}

TEST(ErrInfoTest, ClearEmptiesEveryField)
{
    ErrInfo err;
    err.ErrCode = 4003;
    err.DetailCode = 7;
    err.ErrMsg = L"text";
    err.Publicher = 1;
    err.ReloadProfile = true;
    err.Clear();
    EXPECT_EQ(0, err.ErrCode);
    EXPECT_EQ(0, err.DetailCode);
    EXPECT_TRUE(err.ErrMsg.empty());
    EXPECT_EQ(0, err.Publicher);
    EXPECT_FALSE(err.ReloadProfile);
}
