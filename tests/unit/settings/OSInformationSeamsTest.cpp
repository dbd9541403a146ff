// Device identifiers from crafted platform answers (the seams), and each real call path once.
#include "IniFile.h"
#include "ScopedHandle.h"
#include "SettingsTestHelp.h"
#include "TestFiles.h"
#include "WinOSInformation.h"
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace {
// An identify answer whose 20-byte serial field holds the text with each byte pair swapped, as
// drives store it; the bytes after the field are filled with fill.
std::vector<BYTE> IdentifyAnswer(const std::string &strField, BYTE bFill = 0)
{
    std::vector<BYTE> vecOutput(WinOSInformation::IDENTIFY_OUTPUT_BYTES, bFill);
    BYTE *pbField = vecOutput.data() + WinOSInformation::IDENTIFY_DATA_OFFSET + WinOSInformation::SERIAL_FIELD_OFFSET;
    std::string strPadded = strField;
    strPadded.resize(WinOSInformation::SERIAL_FIELD_BYTES, '\0');
    for (size_t i = 0; i + 1 < strPadded.size(); i += 2) {
        pbField[i] = (BYTE)strPadded[i + 1];
        pbField[i + 1] = (BYTE)strPadded[i];
    }
    return vecOutput;
}

WinOSInformation::AdapterEntry Adapter(UINT uiType, std::initializer_list<BYTE> address)
{
    WinOSInformation::AdapterEntry entry;
    entry.uiType = uiType;
    entry.vecAddress.assign(address);
    return entry;
}

const UINT kEthernet = 6;
const UINT kPpp = 23;
}  // namespace

TEST(OSVersionTest, VersionsAbove62AreAfter62)
{
    EXPECT_EQ(L"5.1", WinOSInformation::VersionText(5, 1));
    EXPECT_EQ(L"6.0", WinOSInformation::VersionText(6, 0));
    EXPECT_EQ(L"6.1", WinOSInformation::VersionText(6, 1));
    EXPECT_EQ(L"6.2", WinOSInformation::VersionText(6, 2));
    EXPECT_EQ(L"After6.2", WinOSInformation::VersionText(6, 3));
    EXPECT_EQ(L"After6.2", WinOSInformation::VersionText(10, 0));

    WinOSInformation::Seams seams;
    seams.pfnVersion = [](DWORD &, DWORD &) { return false; };
    EXPECT_EQ(L"", WinOSInformation(seams).GetOSVersion());
    seams.pfnVersion = [](DWORD &dwMajor, DWORD &dwMinor) {
        dwMajor = 10;
        dwMinor = 0;
        return true;
    };
    EXPECT_EQ(L"After6.2", WinOSInformation(seams).GetOSVersion());
}

TEST(DriveSerialTest, BlanksAndPunctuationAreCleanedFromTheSerialField)
{
    EXPECT_EQ(L"WDWCAV12345678", WinOSInformation::SerialFromIdentify(IdentifyAnswer("  WD-WCAV12345678  ")));
    // A zero byte ends the text inside the field.
    EXPECT_EQ(L"AB", WinOSInformation::SerialFromIdentify(IdentifyAnswer(std::string("AB\0CD", 5))));
    // A field without any zero byte, followed by more text: only the field's 20 characters.
    EXPECT_EQ(L"ABCDEFGHIJKLMNOPQRST",
              WinOSInformation::SerialFromIdentify(IdentifyAnswer("ABCDEFGHIJKLMNOPQRST", 'Z')));
    EXPECT_EQ(L"", WinOSInformation::SerialFromIdentify(std::vector<BYTE>(100, 'A')));
}

TEST(DriveSerialTest, FirstDriveThatAnswersGivesTheSerial)
{
    WinOSInformation::Seams seams;
    int iAsked = 0;
    seams.pfnIdentify = [&](int iDrive, std::vector<BYTE> &vecOutput) {
        ++iAsked;
        if (iDrive < 2) return false;
        vecOutput = IdentifyAnswer(iDrive == 2 ? " S3Z9NB0K " : "OTHER");
        return true;
    };
    EXPECT_EQ(L"S3Z9NB0K", WinOSInformation(seams).GetHDDSerialNo());
    EXPECT_EQ(3, iAsked);

    iAsked = 0;
    seams.pfnIdentify = [&](int, std::vector<BYTE> &) {
        ++iAsked;
        return false;
    };
    EXPECT_EQ(L"", WinOSInformation(seams).GetHDDSerialNo());
    EXPECT_EQ(WinOSInformation::MAX_DRIVES, iAsked);
}

class MacAddressTest : public ::testing::Test {
protected:
    MacAddressTest() : m_ini(m_folder.Path()) {}

    std::vector<std::wstring> Addresses(const std::vector<WinOSInformation::AdapterEntry> &vecAdapters,
                                        const wchar_t *pszLocalMac)
    {
        std::wstring strXml = pszLocalMac == nullptr ? L"<LogLevel>0</LogLevel>"
                                                     : L"<LocalMac>" + std::wstring(pszLocalMac) + L"</LocalMac>";
        WriteBytes(m_folder.Path() + L"NolvexConnectIni.xml", IniFileBytes(strXml));
        m_ini.ReadSetting();
        WinOSInformation::Seams seams;
        seams.pIniFile = &m_ini;
        seams.pfnAdapters = [vecAdapters](std::vector<WinOSInformation::AdapterEntry> &vecOut) {
            vecOut = vecAdapters;
            return true;
        };
        std::unique_ptr<std::vector<std::wstring>> pList(WinOSInformation(seams).GetMACAddress());
        return pList ? *pList : std::vector<std::wstring>{L"<null>"};
    }

    TestFolder m_folder;
    IniFile m_ini;
};

TEST_F(MacAddressTest, PppAdaptersAreLeftOut)
{
    EXPECT_TRUE(Addresses({Adapter(kPpp, {0x00, 0x11, 0x22, 0x33, 0x44, 0x55}),
                           Adapter(kPpp, {0x00, 0x53, 0x45, 0x00, 0x00, 0x00})},
                          nullptr)
                    .empty());
}

TEST_F(MacAddressTest, LocalMacZeroLeavesOutEveryLocallyAdministeredAddress)
{
    std::vector<WinOSInformation::AdapterEntry> vecAdapters = {
        Adapter(kEthernet, {0x00, 0x1b, 0x21, 0x3a, 0x4b, 0x5c}), Adapter(kEthernet, {0x02, 0x00, 0x4c, 0x4f, 0x4f, 0x50}),
        Adapter(kEthernet, {0x06, 0x01, 0x02, 0x03, 0x04, 0x05}), Adapter(kEthernet, {0xDA, 0xA1, 0x19, 0x00, 0x00, 0x01}),
        Adapter(kEthernet, {0x01, 0x00, 0x5e, 0x00, 0x00, 0x01}),
    };
    EXPECT_EQ((std::vector<std::wstring>{L"001B213A4B5C", L"01005E000001"}), Addresses(vecAdapters, L"0"));
    std::vector<std::wstring> vecAll = {L"001B213A4B5C", L"02004C4F4F50", L"060102030405", L"DAA119000001",
                                        L"01005E000001"};
    EXPECT_EQ(vecAll, Addresses(vecAdapters, L"1"));
    EXPECT_EQ(vecAll, Addresses(vecAdapters, nullptr));
}

TEST_F(MacAddressTest, AFailingListGivesAnEmptyList)
{
    WinOSInformation::Seams seams;
    seams.pIniFile = &m_ini;
    seams.pfnAdapters = [](std::vector<WinOSInformation::AdapterEntry> &) { return false; };
    std::unique_ptr<std::vector<std::wstring>> pList(WinOSInformation(seams).GetMACAddress());
    ASSERT_TRUE(pList != nullptr);
    EXPECT_TRUE(pList->empty());
}

TEST(BiosSerialTest, TheServiceNeverAsksAndOtherProgramsDo)
{
    WinOSInformation::Seams seams;
    int iAsked = 0;
    seams.pfnBiosSerial = [&]() {
        ++iAsked;
        return std::wstring(L"VMW-1234");
    };
    seams.strModuleName = L"NolvexConnectMonitor";
    EXPECT_EQ(L"", WinOSInformation(seams).GetBIOSSerialNo());
    EXPECT_EQ(0, iAsked);
    seams.strModuleName = L"NolvexConnectProxyReset";
    EXPECT_EQ(L"VMW-1234", WinOSInformation(seams).GetBIOSSerialNo());
    EXPECT_EQ(1, iAsked);
}

// A filtered token keeps the Administrators group only as deny-only: that is not membership.
TEST(UserAdminTest, DenyOnlyAdministratorsGroupIsNotMembership)
{
    WinOSInformation info;
    bool bAdmin = info.IsUserAdmin();
    ScopedHandle hToken;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, hToken.Receive()));
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID pAdmins = nullptr;
    ASSERT_TRUE(AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0,
                                         0, 0, 0, 0, &pAdmins));
    SID_AND_ATTRIBUTES disable = {pAdmins, 0};
    ScopedHandle hRestricted;
    BOOL bMade = CreateRestrictedToken(hToken.Get(), 0, 1, &disable, 0, nullptr, 0, nullptr, hRestricted.Receive());
    ASSERT_TRUE(bMade) << "error " << GetLastError();
    // The group is still listed, marked deny-only: exactly what a scan of the groups took for
    // membership.
    DWORD dwNeeded = 0;
    GetTokenInformation(hRestricted.Get(), TokenGroups, nullptr, 0, &dwNeeded);
    std::vector<BYTE> vecGroups(dwNeeded, 0);
    ASSERT_TRUE(GetTokenInformation(hRestricted.Get(), TokenGroups, vecGroups.data(), dwNeeded, &dwNeeded));
    const TOKEN_GROUPS *pGroups = reinterpret_cast<const TOKEN_GROUPS *>(vecGroups.data());
    bool bDenyOnly = false;
    for (DWORD i = 0; i < pGroups->GroupCount; ++i) {
        if (EqualSid(pGroups->Groups[i].Sid, pAdmins) && (pGroups->Groups[i].Attributes & SE_GROUP_USE_FOR_DENY_ONLY))
            bDenyOnly = true;
    }
    FreeSid(pAdmins);
    if (!bDenyOnly) GTEST_SKIP() << "this system's filtered token does not list the group as deny-only";
    ScopedHandle hImpersonation;
    ASSERT_TRUE(DuplicateToken(hRestricted.Get(), SecurityImpersonation, hImpersonation.Receive()));
    ASSERT_TRUE(SetThreadToken(nullptr, hImpersonation.Get()));
    bool bFiltered = info.IsUserAdmin();
    RevertToSelf();
    EXPECT_FALSE(bFiltered);
    EXPECT_EQ(bAdmin, info.IsUserAdmin());
}

// The real platform paths of the identifiers: whatever Wine answers, they answer in their form.
TEST(RealCallsTest, EveryIdentifierAnswersInItsForm)
{
    WinOSInformation info;
    std::wstring strSerial = info.GetHDDSerialNo();
    EXPECT_LE(strSerial.size(), 20u);
    std::unique_ptr<std::vector<std::wstring>> pMacs(info.GetMACAddress());
    ASSERT_TRUE(pMacs != nullptr);
    for (const std::wstring &strMac : *pMacs) {
        EXPECT_EQ(12u, strMac.size());
        EXPECT_EQ(std::wstring::npos, strMac.find_first_not_of(L"0123456789ABCDEF"));
    }
    info.GetBIOSSerialNo();
    std::wstring strVolume = info.GetVolumeSerialNo();
    EXPECT_EQ(std::wstring::npos, strVolume.find_first_not_of(L"0123456789abcdef"));
    EXPECT_FALSE(info.GetComputerNameW().empty());
    EXPECT_EQ(0u, info.GetComputerSID().find(L"S-1-5-21-"));
    EXPECT_EQ(std::to_wstring(GetCurrentProcessId()), info.GetPID());
    EXPECT_FALSE(info.GetOSVersion().empty());
#ifndef _WIN64
    BOOL bWow64 = FALSE;
    ::IsWow64Process(GetCurrentProcess(), &bWow64);
    EXPECT_EQ(bWow64 != FALSE, info.IsWow64Process());
#endif
}

TEST(RealCallsTest, WindowHandleIsTheThreadsVisibleTopLevelWindow)
{
    WinOSInformation info;
    EXPECT_EQ(L"0", info.GetWindowHandle());
    HWND hWnd = CreateWindowExW(0, L"STATIC", L"main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 10, 10, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
    if (hWnd == nullptr) GTEST_SKIP() << "no window can be made in this prefix, error " << GetLastError();
    EXPECT_EQ(std::to_wstring((long long)(LONG_PTR)hWnd), info.GetWindowHandle());
    DestroyWindow(hWnd);
}
