#include "HttpCommand.h"
#include "ClientOptions.h"
#include "ConsoleOut.h"
#include "Log.h"
#include "TestClientApp.h"
#include "WinHTTPAdapter.h"
#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {
const DWORD kNoCancel = 0;
// How often the client looks at the clock before its cancel is due.
const DWORD kCancelPollMs = 10;
const int kLeakFillByte = 1;

DWORD WINAPI SleepForever(LPVOID)
{
    Sleep(INFINITE);
    return 0;
}
}   // namespace

HttpCommand::HttpCommand(const std::vector<std::wstring> &vecArgs)
    : m_vecArgs(vecArgs), m_bProxyFlag(0), m_dwCancelAfterMs(kNoCancel), m_bCancel(false),
      m_dwWaitMs(HttpRequestInfo::DEFAULT_WAIT_MS), m_dwRepeat(1), m_dwLeakBytes(0), m_bLeakThread(false),
      m_bShowBody(true)
{
}

bool HttpCommand::ParseOption(const std::wstring &strOption, const std::wstring &strValue)
{
    if (strOption == L"--data") m_strData = strValue;
    else if (strOption == L"--folder") m_strFolder = strValue;
    else if (strOption == L"--user") m_strUser = strValue;
    else if (strOption == L"--password") m_strPassword = strValue;
    else if (strOption == L"--proxy-user") m_strProxyUser = strValue;
    else if (strOption == L"--proxy-password") m_strProxyPassword = strValue;
    else if (strOption == L"--proxy") {
        if (strValue != L"default" && strValue != L"none") return false;
        m_bProxyFlag = strValue == L"default" ? 1 : 0;
    } else if (strOption == L"--cancel-after") {
        m_bCancel = ClientOptions::ParseNumber(strValue, m_dwCancelAfterMs);
        return m_bCancel;
    } else if (strOption == L"--wait") return ClientOptions::ParseNumber(strValue, m_dwWaitMs);
    else if (strOption == L"--repeat") return ClientOptions::ParseNumber(strValue, m_dwRepeat) && m_dwRepeat > 0;
    else if (strOption == L"--pause-at") {
        DWORD dwAt = 0;
        if (!ClientOptions::ParseNumber(strValue, dwAt)) return false;
        m_vecPauseAt.push_back(dwAt);
    } else if (strOption == L"--leak-bytes") return ClientOptions::ParseNumber(strValue, m_dwLeakBytes);
    else if (strOption == L"--leak-thread") m_bLeakThread = strValue == L"1";
    else if (strOption == L"--body") m_bShowBody = strValue != L"0";
    else if (strOption == L"--log-level") {
        DWORD dwLevel = 0;
        if (!ClientOptions::ParseNumber(strValue, dwLevel)) return false;
        TraceLog::GetInstance().SetLogLevel(dwLevel);
    }
    else return false;
    return true;
}

bool HttpCommand::ParseArgs()
{
    if (m_vecArgs.size() < 2) return false;
    m_strMethod = m_vecArgs[0];
    m_strURL = m_vecArgs[1];
    for (size_t i = 2; i < m_vecArgs.size(); i += 2) {
        if (i + 1 >= m_vecArgs.size() || !ParseOption(m_vecArgs[i], m_vecArgs[i + 1])) {
            ConsoleOut::Err(L"NolvexConnect: http: bad option " + m_vecArgs[i]);
            return false;
        }
    }
    return true;
}

void HttpCommand::FillRequest(HttpRequestInfo &request) const
{
    request.strURL = m_strURL;
    request.strMethod = m_strMethod;
    request.strData = m_strData;
    request.strUserName = m_strUser;
    request.strPassword = m_strPassword;
    request.strProxyUserName = m_strProxyUser;
    request.strProxyPassword = m_strProxyPassword;
    request.bProxyFlag = m_bProxyFlag;
    request.lWaitValue = static_cast<long>(m_dwWaitMs);
}

int HttpCommand::Run()
{
    LOG_SCOPE();
    if (!ParseArgs()) return TestClientApp::EXIT_USAGE;
    WinHTTPAdapter adapter;
    HttpRequestInfo request;
    bool bAllOk = true;
    for (DWORD i = 0; i < m_dwRepeat; ++i) {
        FillRequest(request);
        bAllOk = RunOnce(adapter, request, m_dwRepeat == 1) == 0 && bAllOk;
        LeakOnPurpose();
        PauseIfAsked(i + 1);
    }
    if (m_dwRepeat > 1) ConsoleOut::Out(L"repeated=" + std::to_wstring(m_dwRepeat) + L" all_ok=" + (bAllOk ? L"1" : L"0"));
    ReleaseResponseBuffer(request);
    return bAllOk ? TestClientApp::EXIT_SENT : TestClientApp::EXIT_FAILED;
}

long HttpCommand::RunOnce(WinHTTPAdapter &adapter, HttpRequestInfo &request, bool bPrint)
{
    std::vector<long> vecSeen;
    DWORD dwCancelToEndMs = 0;
    if (!adapter.URLOpen(&request, m_strFolder)) {
        ConsoleOut::Out(L"urlopen=0");
        return request.lResult != 0 ? request.lResult : -1;
    }
    long lStatus = WaitForEnd(adapter, vecSeen, dwCancelToEndMs);
    if (bPrint) PrintResult(adapter, request, vecSeen, dwCancelToEndMs);
    return lStatus == HTTP_Connection::STATUS_IDLE ? request.lResult : HTTP_Connection::STATUS_CANCELED;
}

// The callers' loop: wait for changes until -1 or 10, cancelling after the time given.
long HttpCommand::WaitForEnd(WinHTTPAdapter &adapter, std::vector<long> &vecSeen, DWORD &dwCancelToEndMs)
{
    DWORD dwStart = GetTickCount();
    DWORD dwCancelTick = 0;
    long lStatus = adapter.GetStatus();
    vecSeen.push_back(lStatus);
    while (lStatus != HTTP_Connection::STATUS_IDLE && lStatus != HTTP_Connection::STATUS_CANCELED) {
        if (m_bCancel && dwCancelTick == 0 && GetTickCount() - dwStart >= m_dwCancelAfterMs) {
            adapter.Cancel();
            dwCancelTick = GetTickCount();
        }
        if (m_bCancel && dwCancelTick == 0) Sleep(std::min<DWORD>(m_dwCancelAfterMs, kCancelPollMs));
        else lStatus = adapter.WaitStatusChange();
        if (lStatus != vecSeen.back()) vecSeen.push_back(lStatus);
        if (m_bCancel && dwCancelTick == 0) lStatus = adapter.GetStatus();
    }
    if (dwCancelTick != 0) dwCancelToEndMs = GetTickCount() - dwCancelTick;
    if (lStatus == HTTP_Connection::STATUS_CANCELED && vecSeen.back() != lStatus) vecSeen.push_back(lStatus);
    vecSeen.push_back(adapter.WaitStatusChange());   // what a wait says once it is over
    return lStatus;
}

void HttpCommand::PrintResult(WinHTTPAdapter &adapter, const HttpRequestInfo &request, const std::vector<long> &vecSeen,
                              DWORD dwCancelToEndMs) const
{
    ConsoleOut::Out(L"seen=" + JoinNumbers(vecSeen));
    ConsoleOut::Out(L"history=" + JoinNumbers(adapter.GetStatusHistory()));
    ConsoleOut::Out(L"result=" + std::to_wstring(request.lResult));
    ConsoleOut::Out(L"http_status=" + std::to_wstring(request.lHttpStatus));
    ConsoleOut::Out(L"length=" + std::to_wstring(request.lResponseLength));
    ConsoleOut::Out(L"content_length=" + std::to_wstring(request.lContentLength));
    ConsoleOut::Out(L"buffer=" + std::wstring(request.hResponseBuffer != nullptr ? L"1" : L"0"));
    ConsoleOut::Out(L"text_chars=" + std::to_wstring(request.strResponseText.size()));
    ConsoleOut::Out(L"file=" + request.strDownloadedFile);
    ConsoleOut::Out(L"last_error=" + std::to_wstring(adapter.GetLastErrorCode()));
    if (m_bCancel) ConsoleOut::Out(L"cancel_to_end_ms=" + std::to_wstring(dwCancelToEndMs));
    if (m_bShowBody) ConsoleOut::Out(L"body=" + request.strResponseText);
}

// "--pause-at N": after N exchanges the client says so and waits for a line on its input, so that
// a test can look at the process in between.
void HttpCommand::PauseIfAsked(size_t nDone) const
{
    for (DWORD dwAt : m_vecPauseAt) {
        if (dwAt != nDone) continue;
        ConsoleOut::Out(L"paused=" + std::to_wstring(nDone));
        char ch = 0;
        DWORD dwRead = 0;
        HANDLE hIn = GetStdHandle(STD_INPUT_HANDLE);
        while (ReadFile(hIn, &ch, 1, &dwRead, nullptr) && dwRead == 1 && ch != '\n') {
        }
    }
}

// "--leak-bytes" and "--leak-thread": deliberate leaks, to show that the leak checks catch one.
void HttpCommand::LeakOnPurpose() const
{
    if (m_dwLeakBytes > 0) {
        char *pLeak = static_cast<char *>(malloc(m_dwLeakBytes));
        if (pLeak != nullptr) memset(pLeak, kLeakFillByte, m_dwLeakBytes);   // touched: counted as resident
    }
    if (m_bLeakThread) {
        HANDLE hThread = CreateThread(nullptr, 0, SleepForever, nullptr, 0, nullptr);
        if (hThread != nullptr) CloseHandle(hThread);
    }
}

std::wstring HttpCommand::JoinNumbers(const std::vector<long> &vec)
{
    std::wstring str;
    for (size_t i = 0; i < vec.size(); ++i) str += (i ? L"," : L"") + std::to_wstring(vec[i]);
    return str;
}
