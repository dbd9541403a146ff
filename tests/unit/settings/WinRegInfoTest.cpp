#include "ScopedHandle.h"
#include "SettingsTestHelp.h"
#include "TestFiles.h"
#include "WinRegInfo.h"
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace {
const wchar_t kTestSubkey[] = L"SOFTWARE\\Korvell\\NolvexConnect\\UnitTest";

bool SetRaw(HKEY hRoot, const std::wstring &strKey, const wchar_t *pszName, DWORD dwType, const void *pData,
            DWORD dwBytes)
{
    ScopedRegKey hKey;
    if (RegCreateKeyExW(hRoot, strKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr,
                        hKey.Receive(), nullptr) != ERROR_SUCCESS)
        return false;
    return RegSetValueExW(hKey.Get(), pszName, 0, dwType, static_cast<const BYTE *>(pData), dwBytes) == ERROR_SUCCESS;
}

void DeleteTestKey()
{
    RegDeleteKeyExW(HKEY_CURRENT_USER, kTestSubkey, KEY_WOW64_32KEY, 0);
}

// The terminal-services simulator's scenario folder for this process (docs/simulators.md).
class SimScenario {
public:
    SimScenario()
    {
        wchar_t szTemp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, szTemp);
        m_strRoot = std::wstring(szTemp) + L"nc-settings-sim-" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(m_strRoot.c_str(), nullptr);
        CreateDirectoryW((m_strRoot + L"\\wtsapi32").c_str(), nullptr);
        SetEnvironmentVariableW(L"NOLVEX_SIM_DIR", m_strRoot.c_str());
    }
    ~SimScenario()
    {
        SetEnvironmentVariableW(L"NOLVEX_SIM_DIR", nullptr);
        RemoveTree(m_strRoot);
    }
    void Write(const std::string &strText) { WriteBytes(m_strRoot + L"\\wtsapi32\\scenario.ini", strText); }

private:
    std::wstring m_strRoot;
};

// True when the simulator answers: Wine's own wtsapi32 (also when loaded from the program's
// folder as a builtin) lists no session at all.
bool SimulatorLoaded()
{
    PWTS_SESSION_INFOW pSessions = nullptr;
    DWORD dwCount = 0;
    if (!WTSEnumerateSessionsW(WTS_CURRENT_SERVER_HANDLE, 0, 1, &pSessions, &dwCount)) return false;
    WTSFreeMemory(pSessions);
    return dwCount > 0;
}
}  // namespace

class WinRegInfoTest : public ::testing::Test {
protected:
    void SetUp() override { DeleteTestKey(); }
    void TearDown() override { DeleteTestKey(); }
    WinRegInfo m_info;
};

TEST_F(WinRegInfoTest, StringValuesUpToTheirLimitAreReadAndTerminated)
{
    std::wstring strLongest(256, L'a');
    ASSERT_TRUE(SetRaw(HKEY_CURRENT_USER, kTestSubkey, L"Longest", REG_SZ, strLongest.c_str(),
                       (DWORD)((strLongest.size() + 1) * sizeof(wchar_t))));
    EXPECT_EQ(strLongest, m_info.GetRegeditValue(L"t", HKEY_CURRENT_USER, kTestSubkey, L"Longest"));

    std::wstring strTooLong(257, L'b');
    ASSERT_TRUE(SetRaw(HKEY_CURRENT_USER, kTestSubkey, L"TooLong", REG_SZ, strTooLong.c_str(),
                       (DWORD)((strTooLong.size() + 1) * sizeof(wchar_t))));
    EXPECT_EQ(L"", m_info.GetRegeditValue(L"t", HKEY_CURRENT_USER, kTestSubkey, L"TooLong"));

    // Stored without its terminating zero: read as the characters stored, nothing behind them.
    const wchar_t szBare[] = L"bare";
    ASSERT_TRUE(SetRaw(HKEY_CURRENT_USER, kTestSubkey, L"Bare", REG_SZ, szBare, 4 * sizeof(wchar_t)));
    EXPECT_EQ(L"bare", m_info.GetRegeditValue(L"t", HKEY_CURRENT_USER, kTestSubkey, L"Bare"));
}

TEST_F(WinRegInfoTest, ValuesThatAreNotStringsAreRefused)
{
    DWORD dwValue = 0x00410041;   // would read as "AA" if taken as text
    ASSERT_TRUE(SetRaw(HKEY_CURRENT_USER, kTestSubkey, L"Number", REG_DWORD, &dwValue, sizeof(dwValue)));
    EXPECT_EQ(L"", m_info.GetRegeditValue(L"t", HKEY_CURRENT_USER, kTestSubkey, L"Number"));
    const BYTE abBinary[] = {'A', 0, 'B', 0, 0, 0};
    ASSERT_TRUE(SetRaw(HKEY_CURRENT_USER, kTestSubkey, L"Binary", REG_BINARY, abBinary, sizeof(abBinary)));
    EXPECT_EQ(L"", m_info.GetRegeditValue(L"t", HKEY_CURRENT_USER, kTestSubkey, L"Binary"));
    EXPECT_EQ(L"", m_info.GetRegeditValue(L"t", HKEY_CURRENT_USER, kTestSubkey, L"Missing"));
    EXPECT_EQ(L"", m_info.GetRegeditValue(L"t", HKEY_CURRENT_USER, L"SOFTWARE\\Korvell\\NoSuchKey", L"x"));
}

TEST_F(WinRegInfoTest, SetCreatesTheKeyAndWritesAString)
{
    EXPECT_EQ(0, m_info.SetRegeditValue(L"t", HKEY_CURRENT_USER, kTestSubkey, L"Made", L"value"));
    EXPECT_EQ(L"value", m_info.GetRegeditValue(L"t", HKEY_CURRENT_USER, kTestSubkey, L"Made"));
}

TEST_F(WinRegInfoTest, UserKeysOfAProgramAreTheCurrentUsersProductKey)
{
    ProductKeyValue key(L"TerminalProfile");
    ASSERT_EQ(0, m_info.SetTerminalProfileKeyInfo(L"profile-key"));
    EXPECT_EQ(L"profile-key", key.Get());
    EXPECT_EQ(L"profile-key", m_info.GetTerminalProfileKeyInfo());
}

TEST_F(WinRegInfoTest, InstallPathGetsATrailingBackslash)
{
    ProductKeyValue keep(L"__unused__");   // only for the product key to exist
    std::wstring strOld = m_info.GetRegeditValue(L"t", HKEY_LOCAL_MACHINE, WinRegInfo::ProductKey(), L"Path");
    ASSERT_EQ(0, m_info.SetRegeditValue(L"t", HKEY_LOCAL_MACHINE, WinRegInfo::ProductKey(), L"Path",
                                        L"C:\\Program Files\\Korvell"));
    EXPECT_EQ(L"C:\\Program Files\\Korvell\\", m_info.GetInstallPath());
    ASSERT_EQ(0, m_info.SetRegeditValue(L"t", HKEY_LOCAL_MACHINE, WinRegInfo::ProductKey(), L"Path", L"C"));
    EXPECT_EQ(L"C", m_info.GetInstallPath());
    m_info.SetRegeditValue(L"t", HKEY_LOCAL_MACHINE, WinRegInfo::ProductKey(), L"Path", strOld);
}

// On a 64-bit machine both builds read the product's keys of the 32-bit view, where the 32-bit
// installer writes them, and never the 64-bit view's (HKLM\SOFTWARE has two; HKCU\Software is
// shared).
TEST_F(WinRegInfoTest, ProductKeysComeFromThe32BitView)
{
#ifndef _WIN64
    BOOL bWow64 = FALSE;
    if (!::IsWow64Process(GetCurrentProcess(), &bWow64) || !bWow64) GTEST_SKIP() << "a 32-bit machine has one view";
#endif
    const wchar_t szRight[] = L"C:\\From32BitView";
    const wchar_t szWrong[] = L"C:\\From64BitView";
    ScopedRegKey h32;
    ScopedRegKey h64;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, kTestSubkey, 0, nullptr, 0,
                                             KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, h32.Receive(), nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, kTestSubkey, 0, nullptr, 0,
                                             KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, h64.Receive(), nullptr));
    RegSetValueExW(h32.Get(), L"View", 0, REG_SZ, reinterpret_cast<const BYTE *>(szRight), sizeof(szRight));
    RegSetValueExW(h64.Get(), L"View", 0, REG_SZ, reinterpret_cast<const BYTE *>(szWrong), sizeof(szWrong));
    EXPECT_EQ(szRight, m_info.GetRegeditValue(L"t", HKEY_LOCAL_MACHINE, kTestSubkey, L"View"));
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kTestSubkey, KEY_WOW64_64KEY, 0);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kTestSubkey, KEY_WOW64_32KEY, 0);
}

// In the monitor service the user's keys are those of the active session's user under
// HKEY_USERS; with nobody logged on there are none.
TEST_F(WinRegInfoTest, ServiceReadsTheActiveUsersKeysOrNothing)
{
    if (!SimulatorLoaded()) GTEST_SKIP() << "the wtsapi32 simulator is not loaded in this prefix";
    ProductKeyValue key(L"UserSettingFile");
    ASSERT_TRUE(key.Set(L"the-users-key"));
    SimScenario scenario;
    WinRegInfo::Seams seams;
    seams.strModuleName = L"NolvexConnectMonitor";
    WinRegInfo service(seams);

    scenario.Write("logged_on=0\n");
    EXPECT_EQ(L"", service.GetUserSID());
    EXPECT_EQ(L"", service.GetUserSettingFileKeyInfo());
    EXPECT_NE(0, service.SetUserSettingFileKeyInfo(L"other"));
    EXPECT_EQ(L"the-users-key", key.Get());

    scenario.Write("logged_on=1\n");
    std::wstring strSid = service.GetUserSID();
    EXPECT_EQ(0u, strSid.find(L"S-1-5-")) << std::string(strSid.begin(), strSid.end());
    EXPECT_EQ(L"the-users-key", service.GetUserSettingFileKeyInfo());
    EXPECT_EQ(L"the-users-key", service.GetRegeditValue(L"t", HKEY_USERS,
                                                        strSid + L"\\" + WinRegInfo::ProductKey(), L"UserSettingFile"));
}

TEST_F(WinRegInfoTest, FactoryGivesAWorkingObjectAndVersionlessProgramsGiveNoVersion)
{
    std::unique_ptr<AplicationInfo> pInfo(CreateAplicationInfo());
    ASSERT_TRUE(pInfo != nullptr);
    // The test program carries no version resource.
    EXPECT_EQ(L"", pInfo->GetModuleVersion());
    pInfo->GetPublisher();
    pInfo->GetDisplayName();
    pInfo->GetUninstallInfo();
}
