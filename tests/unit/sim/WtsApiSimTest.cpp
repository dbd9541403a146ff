// The terminal-services simulator as the product sees it: loaded in place of wtsapi32.dll.
#include "ScopedHandle.h"
#include "TestFiles.h"
#include <windows.h>
#include <wtsapi32.h>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace {
std::string Utf8(const std::wstring &str)
{
    int iLen = WideCharToMultiByte(CP_UTF8, 0, str.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string strOut(static_cast<size_t>(iLen), '\0');
    WideCharToMultiByte(CP_UTF8, 0, str.c_str(), -1, &strOut[0], iLen, nullptr, nullptr);
    strOut.resize(strOut.size() - 1);
    return strOut;
}

const wchar_t kJapaneseTitle[] = L"\u30CE\u30EB\u30F4\u30A7\u30C3\u30AF\u30B9";   // katakana caption
const wchar_t kJapaneseText[] = L"\u4EE5\u524D\u306E\u30D0\u30FC\u30B8\u30E7\u30F3\u3078\u306E\u5FA9\u5143\u306B"
                                L"\u5931\u6557\u3057\u307E\u3057\u305F\u3002";
}  // namespace

class WtsApiSimulator : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_strRoot = m_root.WithoutSlash();
        m_strFolder = m_strRoot + L"\\wtsapi32";
        ASSERT_TRUE(SetEnvironmentVariableW(L"NOLVEX_SIM_DIR", m_strRoot.c_str()));

        m_strDllPath = ProgramFolder() + L"wtsapi32.dll";
        m_hModule = LoadLibraryW(m_strDllPath.c_str());
        ASSERT_NE(nullptr, m_hModule) << "error " << GetLastError();
        Resolve(m_pfnEnumerate, "WTSEnumerateSessionsW");
        Resolve(m_pfnEnumerateA, "WTSEnumerateSessionsA");
        Resolve(m_pfnFree, "WTSFreeMemory");
        Resolve(m_pfnQueryInfo, "WTSQuerySessionInformationW");
        Resolve(m_pfnQueryInfoA, "WTSQuerySessionInformationA");
        Resolve(m_pfnQueryToken, "WTSQueryUserToken");
        Resolve(m_pfnSendMessage, "WTSSendMessageW");
        Resolve(m_pfnSendMessageA, "WTSSendMessageA");
        Resolve(m_pfnOpenServer, "WTSOpenServerW");
        Resolve(m_pfnCloseServer, "WTSCloseServer");
        Resolve(m_pfnRegister, "WTSRegisterSessionNotification");
        Resolve(m_pfnUnRegister, "WTSUnRegisterSessionNotification");
        m_dwConsole = WTSGetActiveConsoleSessionId();
    }

    void TearDown() override
    {
        if (m_hModule != nullptr) FreeLibrary(m_hModule);
        SetEnvironmentVariableW(L"NOLVEX_SIM_DIR", nullptr);
        RemoveTree(m_strRoot);
    }

    template <typename F> void Resolve(F &pfn, const char *pszName)
    {
        pfn = reinterpret_cast<F>(reinterpret_cast<void *>(GetProcAddress(m_hModule, pszName)));
        ASSERT_NE(nullptr, pfn) << pszName;
    }

    void WriteScenario(const std::string &strUtf8)
    {
        CreateDirectoryW(m_strRoot.c_str(), nullptr);
        CreateDirectoryW(m_strFolder.c_str(), nullptr);
        ScopedFileHandle hFile(CreateFileW((m_strFolder + L"\\scenario.ini").c_str(), GENERIC_WRITE, 0, nullptr,
                                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(hFile.IsValid());
        DWORD dwWritten = 0;
        ASSERT_TRUE(WriteFile(hFile.Get(), strUtf8.data(), static_cast<DWORD>(strUtf8.size()), &dwWritten, nullptr));
    }

    std::vector<std::string> JournalLines() const
    {
        std::vector<std::string> vecLines;
        ScopedFileHandle hFile(CreateFileW((m_strFolder + L"\\journal.txt").c_str(), GENERIC_READ,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!hFile) return vecLines;
        std::string strAll;
        char buf[4096];
        DWORD dwRead = 0;
        while (ReadFile(hFile.Get(), buf, sizeof(buf), &dwRead, nullptr) && dwRead > 0) strAll.append(buf, dwRead);
        size_t nStart = 0;
        for (size_t nEnd; (nEnd = strAll.find('\n', nStart)) != std::string::npos; nStart = nEnd + 1)
            vecLines.push_back(strAll.substr(nStart, nEnd - nStart));
        EXPECT_EQ(strAll.size(), nStart) << "journal ends inside a line";
        return vecLines;
    }

    // The state of a session, or -1 when the enumeration does not list it.
    int StateOf(DWORD dwSessionId)
    {
        PWTS_SESSION_INFOW pInfo = nullptr;
        DWORD dwCount = 0;
        EXPECT_TRUE(m_pfnEnumerate(WTS_CURRENT_SERVER_HANDLE, 0, 1, &pInfo, &dwCount));
        int iState = -1;
        for (DWORD i = 0; i < dwCount; ++i) {
            if (pInfo[i].SessionId == dwSessionId) iState = pInfo[i].State;
        }
        m_pfnFree(pInfo);
        return iState;
    }

    bool AnySessionActive()
    {
        PWTS_SESSION_INFOW pInfo = nullptr;
        DWORD dwCount = 0;
        EXPECT_TRUE(m_pfnEnumerate(WTS_CURRENT_SERVER_HANDLE, 0, 1, &pInfo, &dwCount));
        bool bActive = false;
        for (DWORD i = 0; i < dwCount; ++i) bActive = bActive || pInfo[i].State == WTSActive;
        m_pfnFree(pInfo);
        return bActive;
    }

    std::wstring QueryText(DWORD dwSessionId, WTS_INFO_CLASS infoClass)
    {
        LPWSTR psz = nullptr;
        DWORD dwBytes = 0;
        if (!m_pfnQueryInfo(WTS_CURRENT_SERVER_HANDLE, dwSessionId, infoClass, &psz, &dwBytes)) return L"<failed>";
        std::wstring str(psz);
        EXPECT_EQ((str.size() + 1) * sizeof(wchar_t), dwBytes);
        m_pfnFree(psz);
        return str;
    }

    BOOL Send(const std::wstring &strTitle, const std::wstring &strText, DWORD dwStyle, BOOL bWait, DWORD *pdwResponse,
              DWORD dwSession)
    {
        return m_pfnSendMessage(WTS_CURRENT_SERVER_HANDLE, dwSession, const_cast<LPWSTR>(strTitle.c_str()),
                                static_cast<DWORD>((strTitle.size() + 1) * 2), const_cast<LPWSTR>(strText.c_str()),
                                static_cast<DWORD>((strText.size() + 1) * 2), dwStyle, 0, pdwResponse, bWait);
    }

    TestFolder m_root;
    std::wstring m_strRoot;
    std::wstring m_strFolder;
    std::wstring m_strDllPath;
    HMODULE m_hModule = nullptr;
    DWORD m_dwConsole = 0;
    decltype(&::WTSEnumerateSessionsW) m_pfnEnumerate = nullptr;
    decltype(&::WTSEnumerateSessionsA) m_pfnEnumerateA = nullptr;
    decltype(&::WTSFreeMemory) m_pfnFree = nullptr;
    decltype(&::WTSQuerySessionInformationW) m_pfnQueryInfo = nullptr;
    decltype(&::WTSQuerySessionInformationA) m_pfnQueryInfoA = nullptr;
    decltype(&::WTSQueryUserToken) m_pfnQueryToken = nullptr;
    decltype(&::WTSSendMessageW) m_pfnSendMessage = nullptr;
    decltype(&::WTSSendMessageA) m_pfnSendMessageA = nullptr;
    decltype(&::WTSOpenServerW) m_pfnOpenServer = nullptr;
    decltype(&::WTSCloseServer) m_pfnCloseServer = nullptr;
    decltype(&::WTSRegisterSessionNotification) m_pfnRegister = nullptr;
    decltype(&::WTSUnRegisterSessionNotification) m_pfnUnRegister = nullptr;
};

TEST_F(WtsApiSimulator, IsTheDllFromTheProgramFolder)
{
    wchar_t szLoaded[MAX_PATH];
    DWORD dwLen = GetModuleFileNameW(m_hModule, szLoaded, MAX_PATH);
    EXPECT_EQ(0, lstrcmpiW(m_strDllPath.c_str(), std::wstring(szLoaded, dwLen).c_str()));
}

// --- default scenario: no scenario file, the Wine user is logged on at the console ---

TEST_F(WtsApiSimulator, DefaultListsServicesSessionAndActiveConsole)
{
    PWTS_SESSION_INFOW pInfo = nullptr;
    DWORD dwCount = 0;
    ASSERT_TRUE(m_pfnEnumerate(WTS_CURRENT_SERVER_HANDLE, 0, 1, &pInfo, &dwCount));
    ASSERT_EQ(2u, dwCount);
    EXPECT_EQ(0u, pInfo[0].SessionId);
    EXPECT_STREQ(L"Services", pInfo[0].pWinStationName);
    EXPECT_EQ(WTSDisconnected, pInfo[0].State);
    EXPECT_EQ(m_dwConsole, pInfo[1].SessionId);
    EXPECT_STREQ(L"Console", pInfo[1].pWinStationName);
    EXPECT_EQ(WTSActive, pInfo[1].State);
    m_pfnFree(pInfo);
}

TEST_F(WtsApiSimulator, DefaultUserIsTheWineUserOfTheComputer)
{
    wchar_t szUser[257];
    DWORD dwLen = 257;
    ASSERT_TRUE(GetUserNameW(szUser, &dwLen));
    wchar_t szComputer[MAX_COMPUTERNAME_LENGTH + 1];
    dwLen = MAX_COMPUTERNAME_LENGTH + 1;
    ASSERT_TRUE(GetComputerNameW(szComputer, &dwLen));
    EXPECT_EQ(std::wstring(szUser), QueryText(m_dwConsole, WTSUserName));
    EXPECT_EQ(std::wstring(szComputer), QueryText(m_dwConsole, WTSDomainName));
    EXPECT_EQ(L"Console", QueryText(m_dwConsole, WTSWinStationName));
    EXPECT_EQ(L"", QueryText(0, WTSUserName));
}

TEST_F(WtsApiSimulator, NumericClassesDescribeTheConsoleSession)
{
    INT *piState = nullptr;
    ULONG *pulId = nullptr;
    USHORT *pusProtocol = nullptr;
    DWORD dwBytes = 0;
    ASSERT_TRUE(m_pfnQueryInfo(nullptr, m_dwConsole, WTSConnectState, reinterpret_cast<LPWSTR *>(&piState), &dwBytes));
    EXPECT_EQ(sizeof(INT), dwBytes);
    EXPECT_EQ(WTSActive, *piState);
    ASSERT_TRUE(m_pfnQueryInfo(nullptr, WTS_CURRENT_SESSION, WTSSessionId, reinterpret_cast<LPWSTR *>(&pulId), &dwBytes));
    DWORD dwOwn = 0;
    ASSERT_TRUE(ProcessIdToSessionId(GetCurrentProcessId(), &dwOwn));
    EXPECT_EQ(dwOwn, *pulId);
    ASSERT_TRUE(m_pfnQueryInfo(nullptr, m_dwConsole, WTSClientProtocolType, reinterpret_cast<LPWSTR *>(&pusProtocol),
                               &dwBytes));
    EXPECT_EQ(WTS_PROTOCOL_TYPE_CONSOLE, *pusProtocol);
    m_pfnFree(piState);
    m_pfnFree(pulId);
    m_pfnFree(pusProtocol);
}

TEST_F(WtsApiSimulator, TokenOfTheActiveSessionIsAPrimaryTokenWithFullAccess)
{
    HANDLE hRaw = nullptr;
    ASSERT_TRUE(m_pfnQueryToken(m_dwConsole, &hRaw)) << GetLastError();
    ScopedHandle hToken(hRaw);
    TOKEN_TYPE type = TokenImpersonation;
    DWORD dwLen = 0;
    ASSERT_TRUE(GetTokenInformation(hToken.Get(), TokenType, &type, sizeof(type), &dwLen));
    EXPECT_EQ(TokenPrimary, type);
    // Full access includes what CreateProcessAsUser and DuplicateTokenEx need.
    ScopedHandle hCopy;
    EXPECT_TRUE(DuplicateTokenEx(hToken.Get(), TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation, TokenPrimary,
                                 hCopy.Receive()));
    std::vector<std::string> vecLines = JournalLines();
    ASSERT_EQ(1u, vecLines.size());
    EXPECT_NE(std::string::npos, vecLines[0].find("\"call\":\"WTSQueryUserToken\""));
    EXPECT_NE(std::string::npos, vecLines[0].find("\"session\":" + std::to_string(m_dwConsole) + ","));
    EXPECT_NE(std::string::npos, vecLines[0].find("\"result\":true,\"error\":0"));
}

// --- scenario file ---

TEST_F(WtsApiSimulator, ScenarioNamesTheUserAndDomainInUtf8)
{
    WriteScenario("# user of the test\n[session]\nuser = \xE5\xB1\xB1\xE7\x94\xB0\r\ndomain=CORP\n");
    EXPECT_EQ(L"\u5C71\u7530", QueryText(m_dwConsole, WTSUserName));
    EXPECT_EQ(L"CORP", QueryText(m_dwConsole, WTSDomainName));
}

TEST_F(WtsApiSimulator, AnsiEntryPointsGiveTheSameSessions)
{
    WriteScenario("user=alice\n");
    PWTS_SESSION_INFOA pInfo = nullptr;
    DWORD dwCount = 0;
    ASSERT_TRUE(m_pfnEnumerateA(nullptr, 0, 1, &pInfo, &dwCount));
    ASSERT_EQ(2u, dwCount);
    EXPECT_STREQ("Console", pInfo[1].pWinStationName);
    m_pfnFree(pInfo);
    LPSTR psz = nullptr;
    DWORD dwBytes = 0;
    ASSERT_TRUE(m_pfnQueryInfoA(nullptr, m_dwConsole, WTSUserName, &psz, &dwBytes));
    EXPECT_STREQ("alice", psz);
    EXPECT_EQ(6u, dwBytes);
    m_pfnFree(psz);
}

TEST_F(WtsApiSimulator, NobodyLoggedOnLeavesNoActiveSessionAndNoToken)
{
    WriteScenario("logged_on=0\n");
    EXPECT_FALSE(AnySessionActive());
    EXPECT_EQ(WTSConnected, StateOf(m_dwConsole));
    EXPECT_EQ(L"", QueryText(m_dwConsole, WTSUserName));
    HANDLE hToken = INVALID_HANDLE_VALUE;
    EXPECT_FALSE(m_pfnQueryToken(m_dwConsole, &hToken));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_TOKEN), GetLastError());
    EXPECT_EQ(INVALID_HANDLE_VALUE, hToken);
    std::vector<std::string> vecLines = JournalLines();
    ASSERT_EQ(1u, vecLines.size());
    EXPECT_NE(std::string::npos, vecLines[0].find("\"result\":false,\"error\":1008"));
}

TEST_F(WtsApiSimulator, UserLogsOnAfterTheScriptedDelay)
{
    WriteScenario("logon_after_seconds=2\nuser=bob\n");
    EXPECT_FALSE(AnySessionActive());
    HANDLE hToken = nullptr;
    EXPECT_FALSE(m_pfnQueryToken(m_dwConsole, &hToken));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_TOKEN), GetLastError());
    Sleep(2500);
    EXPECT_EQ(WTSActive, StateOf(m_dwConsole));
    EXPECT_EQ(L"bob", QueryText(m_dwConsole, WTSUserName));
    ASSERT_TRUE(m_pfnQueryToken(m_dwConsole, &hToken));
    CloseHandle(hToken);
}

TEST_F(WtsApiSimulator, ScriptedFailuresReturnTheirErrorCodes)
{
    WriteScenario("fail_enumerate=1722\nfail_query_information=5\nfail_query_user_token=1314\nfail_send_message=7022\n");
    PWTS_SESSION_INFOW pInfo = nullptr;
    DWORD dwCount = 0;
    EXPECT_FALSE(m_pfnEnumerate(nullptr, 0, 1, &pInfo, &dwCount));
    EXPECT_EQ(1722u, GetLastError());
    LPWSTR psz = nullptr;
    EXPECT_FALSE(m_pfnQueryInfo(nullptr, m_dwConsole, WTSUserName, &psz, &dwCount));
    EXPECT_EQ(5u, GetLastError());
    HANDLE hToken = nullptr;
    EXPECT_FALSE(m_pfnQueryToken(m_dwConsole, &hToken));
    EXPECT_EQ(1314u, GetLastError());
    DWORD dwResponse = 0;
    EXPECT_FALSE(Send(L"t", L"m", MB_OK, FALSE, &dwResponse, m_dwConsole));
    EXPECT_EQ(7022u, GetLastError());
}

// --- argument checks ---

TEST_F(WtsApiSimulator, UnknownSessionIsNotFound)
{
    HANDLE hToken = nullptr;
    EXPECT_FALSE(m_pfnQueryToken(4242, &hToken));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CTX_WINSTATION_NOT_FOUND), GetLastError());
    EXPECT_EQ(L"<failed>", QueryText(4242, WTSUserName));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CTX_WINSTATION_NOT_FOUND), GetLastError());
    DWORD dwResponse = 0;
    EXPECT_FALSE(Send(L"t", L"m", MB_OK, FALSE, &dwResponse, 4242));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CTX_WINSTATION_NOT_FOUND), GetLastError());
}

TEST_F(WtsApiSimulator, EnumerationRejectsOtherVersionsAndForeignHandles)
{
    PWTS_SESSION_INFOW pInfo = nullptr;
    DWORD dwCount = 0;
    EXPECT_FALSE(m_pfnEnumerate(nullptr, 0, 2, &pInfo, &dwCount));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_FALSE(m_pfnEnumerate(reinterpret_cast<HANDLE>(0x1234), 0, 1, &pInfo, &dwCount));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
}

TEST_F(WtsApiSimulator, OnlyTheLocalServerCanBeOpened)
{
    wchar_t szComputer[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD dwLen = MAX_COMPUTERNAME_LENGTH + 1;
    ASSERT_TRUE(GetComputerNameW(szComputer, &dwLen));
    HANDLE hServer = m_pfnOpenServer(szComputer);
    ASSERT_NE(nullptr, hServer);
    PWTS_SESSION_INFOW pInfo = nullptr;
    DWORD dwCount = 0;
    EXPECT_TRUE(m_pfnEnumerate(hServer, 0, 1, &pInfo, &dwCount));
    m_pfnFree(pInfo);
    m_pfnCloseServer(hServer);
    wchar_t szRemote[] = L"\\\\fileserver";
    EXPECT_EQ(nullptr, m_pfnOpenServer(szRemote));
    EXPECT_EQ(static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE), GetLastError());
}

TEST_F(WtsApiSimulator, NotificationRegistrationNeedsAWindow)
{
    EXPECT_FALSE(m_pfnRegister(nullptr, NOTIFY_FOR_THIS_SESSION));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
    HWND hWnd = CreateWindowExW(0, L"STATIC", L"sim", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, hWnd);
    EXPECT_TRUE(m_pfnRegister(hWnd, NOTIFY_FOR_ALL_SESSIONS));
    EXPECT_TRUE(m_pfnUnRegister(hWnd));
    DestroyWindow(hWnd);
}

// --- messages and the journal ---

TEST_F(WtsApiSimulator, MessageWithoutWaitAnswersAsyncAndIsJournalledIntact)
{
    DWORD dwResponse = 0;
    ASSERT_TRUE(Send(kJapaneseTitle, kJapaneseText, MB_ICONERROR, FALSE, &dwResponse, m_dwConsole));
    EXPECT_EQ(static_cast<DWORD>(IDASYNC), dwResponse);
    std::vector<std::string> vecLines = JournalLines();
    ASSERT_EQ(1u, vecLines.size());
    const std::string &strLine = vecLines[0];
    EXPECT_NE(std::string::npos, strLine.find("\"call\":\"WTSSendMessageW\""));
    EXPECT_NE(std::string::npos, strLine.find("\"title\":\"" + Utf8(kJapaneseTitle) + "\""));
    EXPECT_NE(std::string::npos, strLine.find("\"message\":\"" + Utf8(kJapaneseText) + "\""));
    EXPECT_NE(std::string::npos, strLine.find("\"message_length\":" + std::to_string((wcslen(kJapaneseText) + 1) * 2)));
    EXPECT_NE(std::string::npos, strLine.find("\"style\":16,\"timeout\":0,\"wait\":false,\"response\":32001"));
    EXPECT_NE(std::string::npos, strLine.find("\"process\":\"sim_tests.exe\""));
}

TEST_F(WtsApiSimulator, WaitingMessageGetsTheScriptedAnswer)
{
    WriteScenario("message_response=7\n");
    DWORD dwResponse = 0;
    ASSERT_TRUE(Send(L"NolvexConnect", L"Update?", MB_YESNO, TRUE, &dwResponse, m_dwConsole));
    EXPECT_EQ(static_cast<DWORD>(IDNO), dwResponse);
}

TEST_F(WtsApiSimulator, MessageTextEndsAtTheGivenByteLength)
{
    // A caller that passes characters instead of bytes loses half its text: the journal shows it.
    wchar_t szText[] = L"abcdefgh";
    wchar_t szTitle[] = L"T";
    DWORD dwResponse = 0;
    ASSERT_TRUE(m_pfnSendMessage(nullptr, m_dwConsole, szTitle, 4, szText, 8, MB_OK, 0, &dwResponse, FALSE));
    std::vector<std::string> vecLines = JournalLines();
    ASSERT_EQ(1u, vecLines.size());
    EXPECT_NE(std::string::npos, vecLines[0].find("\"message\":\"abcd\""));
}

TEST_F(WtsApiSimulator, LineBreaksAndQuotesStayOnOneJournalLine)
{
    DWORD dwResponse = 0;
    ASSERT_TRUE(Send(L"say \"hi\"", L"line 1\r\nline 2\\", MB_OK, FALSE, &dwResponse, m_dwConsole));
    char szAnsiText[] = "ansi";
    char szAnsiTitle[] = "A";
    ASSERT_TRUE(m_pfnSendMessageA(nullptr, m_dwConsole, szAnsiTitle, 2, szAnsiText, 5, MB_OK, 0, &dwResponse, FALSE));
    std::vector<std::string> vecLines = JournalLines();
    ASSERT_EQ(2u, vecLines.size());
    EXPECT_NE(std::string::npos, vecLines[0].find("\"title\":\"say \\\"hi\\\"\""));
    EXPECT_NE(std::string::npos, vecLines[0].find("\"message\":\"line 1\\u000d\\u000aline 2\\\\\""));
    EXPECT_NE(std::string::npos, vecLines[1].find("\"call\":\"WTSSendMessageA\",\"session\""));
    EXPECT_NE(std::string::npos, vecLines[1].find("\"message\":\"ansi\""));
}

TEST_F(WtsApiSimulator, MessageWithoutResponsePointerIsRejected)
{
    wchar_t szText[] = L"x";
    EXPECT_FALSE(m_pfnSendMessage(nullptr, m_dwConsole, szText, 4, szText, 4, MB_OK, 0, nullptr, FALSE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

TEST_F(WtsApiSimulator, ConcurrentWritersNeverInterleaveJournalLines)
{
    const int kThreads = 4;
    const int kMessages = 50;
    // Each writer sends a long text so that a torn write would show as a broken line.
    const std::wstring strText(3000, L'\u3042');
    std::vector<std::thread> vecThreads;
    for (int t = 0; t < kThreads; ++t) {
        vecThreads.emplace_back([&, t] {
            for (int i = 0; i < kMessages; ++i) {
                DWORD dwResponse = 0;
                Send(L"writer " + std::to_wstring(t), strText, MB_OK, FALSE, &dwResponse, m_dwConsole);
            }
        });
    }
    for (std::thread &thread : vecThreads) thread.join();
    std::vector<std::string> vecLines = JournalLines();
    ASSERT_EQ(static_cast<size_t>(kThreads * kMessages), vecLines.size());
    const std::string strExpected = "\"message\":\"" + Utf8(strText) + "\"";
    for (const std::string &strLine : vecLines) {
        ASSERT_EQ('{', strLine.front());
        ASSERT_EQ('}', strLine.back());
        ASSERT_NE(std::string::npos, strLine.find(strExpected));
    }
}
