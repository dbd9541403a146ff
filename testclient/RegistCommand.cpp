#include "RegistCommand.h"
#include "ClientOptions.h"
#include "ClientWindow.h"
#include "ConsoleOut.h"
#include "ErrInfo.h"
#include "Log.h"
#include "RegistTerminal.h"
#include "TerminalProfile.h"
#include "TestClientApp.h"

namespace {
const UINT kKilledExitCode = 9;

std::wstring Flag(bool b)
{
    return b ? L"1" : L"0";
}

void Line(const std::wstring &strName, const std::wstring &strValue)
{
    ConsoleOut::Out(strName + L"=" + strValue);
}

bool ParseLong(const std::wstring &str, long &lValue)
{
    if (str.empty()) return false;
    wchar_t *pEnd = nullptr;
    long long llValue = wcstoll(str.c_str(), &pEnd, 0);
    if (*pEnd != L'\0' || llValue < LONG_MIN || llValue > LONG_MAX) return false;
    lValue = static_cast<long>(llValue);
    return true;
}
}   // namespace

RegistCommand::RegistCommand(const std::wstring &strCommand, const std::vector<std::wstring> &vecArgs)
    : m_strCommand(strCommand), m_vecArgs(vecArgs)
{
}

void RegistCommand::NotifyError(long lMsgCode, long lTitleCode, long lDispStatus, const std::wstring &strAddMsg)
{
    ConsoleOut::Out(L"notice msg=" + std::to_wstring(lMsgCode) + L" title=" + std::to_wstring(lTitleCode) + L" status=" +
                    std::to_wstring(lDispStatus) + L" text=" + strAddMsg);
}

bool RegistCommand::ParseOptions(size_t nFirst)
{
    for (size_t i = nFirst; i < m_vecArgs.size(); ++i) {
        const std::wstring &strOption = m_vecArgs[i];
        bool bHasValue = i + 1 < m_vecArgs.size();
        const std::wstring strValue = bHasValue ? m_vecArgs[i + 1] : std::wstring();
        DWORD dwValue = 0;
        long lValue = 0;
        if (strOption == L"--retry") m_bRetry = true;
        else if (strOption == L"--then-retry") m_bThenRetry = true;
        else if (strOption == L"--existed") m_bExisted = true;
        else if (strOption == L"--flags" && ParseLong(strValue, lValue)) m_lFlags = lValue, ++i;
        else if (strOption == L"--access" && ParseLong(strValue, lValue)) m_lAccess = lValue, ++i;
        else if (strOption == L"--cancel-after" && ClientOptions::ParseNumber(strValue, dwValue)) m_dwCancelAfterMs = dwValue, ++i;
        else if (strOption == L"--kill-at-step" && ParseLong(strValue, lValue)) m_iKillAtStep = static_cast<int>(lValue), ++i;
        else if (strOption == L"--answer-timeout" && ClientOptions::ParseNumber(strValue, dwValue)) m_dwAnswerTimeoutMs = dwValue, ++i;
        else if (strOption == L"--answer" && bHasValue) m_strAnswer = strValue, ++i;
        else {
            ConsoleOut::Err(L"NolvexConnect: " + m_strCommand + L": option not understood: " + strOption);
            return false;
        }
    }
    std::vector<LRESULT> vecAnswers;
    bool bHang = false;
    if (!ClientWindow::ParseScript(m_strAnswer, vecAnswers, bHang)) {
        ConsoleOut::Err(L"NolvexConnect: --answer needs numbers separated by commas, or hang");
        return false;
    }
    return true;
}

int RegistCommand::Run()
{
    LOG_SCOPE();
    size_t nFirstOption = 2;
    if (m_strCommand != L"update") {
        long lIndex = 0;
        if (m_vecArgs.size() < 2 || !ParseLong(m_vecArgs[0], lIndex)) {
            ConsoleOut::Err(L"NolvexConnect: " + m_strCommand + L" INDEX PASSWORD [options]");
            return TestClientApp::EXIT_USAGE;
        }
        m_iIndex = static_cast<int>(lIndex);
        m_strPassword = m_vecArgs[1];
    } else {
        nFirstOption = 1;
    }
    if (!ParseOptions(nFirstOption)) return TestClientApp::EXIT_USAGE;
    // The client loads its profile when it starts; the exchanges read it.
    TerminalProfile &profile = TerminalProfile::GetInstance();
    if (!profile.GetFilePath().empty()) Line(L"profile_loaded", Flag(profile.ProfileLoad()));
    if (m_strCommand == L"register") return RunRegister();
    if (m_strCommand == L"notify-error") return RunNotify();
    return RunUpdate();
}

DWORD WINAPI RegistCommand::CancelThread(LPVOID pParam)
{
    auto *pSelf = static_cast<RegistCommand *>(pParam);
    Sleep(pSelf->m_dwCancelAfterMs);
    DWORD dwStart = GetTickCount();
    ConsoleOut::Out(L"cancel requested");
    pSelf->m_pCancelTarget->Cancel();
    ConsoleOut::Out(L"cancel_ms=" + std::to_wstring(GetTickCount() - dwStart));
    return 0;
}

void RegistCommand::StartCancel(RegistTerminal &regist)
{
    if (m_dwCancelAfterMs == INFINITE) return;
    m_pCancelTarget = &regist;
    m_hCancelThread = CreateThread(nullptr, 0, &RegistCommand::CancelThread, this, 0, nullptr);
    if (!m_hCancelThread) LOG_API_ERROR(L"CreateThread", GetLastError());
}

void RegistCommand::EndCancel()
{
    if (!m_hCancelThread) return;
    WaitForSingleObject(m_hCancelThread, INFINITE);
    CloseHandle(m_hCancelThread);
    m_hCancelThread = nullptr;
}

void RegistCommand::PrintErrorInfo(RegistTerminal &regist, const std::wstring &strPrefix)
{
    ErrorInfo info;
    regist.GetErrorInfo(&info);
    Line(strPrefix + L"Status", std::to_wstring(info.Status));
    Line(strPrefix + L"MsgCode", std::to_wstring(info.MsgCode));
    Line(strPrefix + L"AddMsg", info.AddMsg);
    Line(strPrefix + L"isProfileLoad", Flag(info.isProfileLoad));
    Line(strPrefix + L"isUpdateModule", Flag(info.isUpdateModule));
    Line(strPrefix + L"isUpdateCancel", Flag(info.isUpdateCancel));
    Line(strPrefix + L"isNetworkError", Flag(info.isNetworkError));
    Line(strPrefix + L"isNotifyMsg", Flag(info.isNotifyMsg));
}

int RegistCommand::RunRegister()
{
    RegistTerminal::Seams seams;
    if (m_iKillAtStep > 0) {
        int iKillAt = m_iKillAtStep;
        seams.pfnStoreStepHook = [iKillAt](ProfileStore::Step step) {
            if (static_cast<int>(step) != iKillAt) return;
            ConsoleOut::Out(L"killed at step " + std::to_wstring(iKillAt));
            TerminateProcess(GetCurrentProcess(), kKilledExitCode);
        };
    }
    ClientWindow window(m_strAnswer);
    RegistTerminal regist(seams);
    regist.SetNotifyHook(this);
    regist.SetClientWindow(window.Handle());
    if (m_dwAnswerTimeoutMs) regist.SetQuestionTimeout(m_dwAnswerTimeoutMs);
    StartCancel(regist);
    DWORD dwStart = GetTickCount();
    long lResult = regist.ExecRegistTerminal(m_iIndex, m_strPassword, m_lFlags, m_bRetry, m_lAccess);
    Line(L"elapsed_ms", std::to_wstring(GetTickCount() - dwStart));
    EndCancel();
    Line(L"result", std::to_wstring(lResult));
    PrintErrorInfo(regist);
    if (m_bThenRetry) {
        lResult = regist.ExecRegistTerminal(m_iIndex, m_strPassword, m_lFlags, true, 0);
        Line(L"retry.result", std::to_wstring(lResult));
        PrintErrorInfo(regist, L"retry.");
    }
    return TestClientApp::EXIT_SENT;
}

int RegistCommand::RunNotify()
{
    RegistTerminal regist;
    regist.SetNotifyHook(this);
    StartCancel(regist);
    ErrInfo err;
    long lResult = regist.ExecErrorNotify(m_iIndex, m_strPassword, &err);
    EndCancel();
    Line(L"result", std::to_wstring(lResult));
    Line(L"ErrCode", std::to_wstring(err.ErrCode));
    Line(L"DetailCode", std::to_wstring(err.DetailCode));
    Line(L"ErrMsg", err.ErrMsg);
    Line(L"Publicher", std::to_wstring(err.Publicher));
    Line(L"ReloadProfile", Flag(err.ReloadProfile));
    PrintErrorInfo(regist);
    return TestClientApp::EXIT_SENT;
}

int RegistCommand::RunUpdate()
{
    ClientWindow window(m_strAnswer);
    RegistTerminal regist;
    regist.SetNotifyHook(this);
    regist.SetClientWindow(window.Handle());
    if (m_dwAnswerTimeoutMs) regist.SetQuestionTimeout(m_dwAnswerTimeoutMs);
    StartCancel(regist);
    DWORD dwStart = GetTickCount();
    long lResult = regist.ExecUpdate(m_bExisted);
    Line(L"elapsed_ms", std::to_wstring(GetTickCount() - dwStart));
    EndCancel();
    Line(L"result", std::to_wstring(lResult));
    PrintErrorInfo(regist);
    return TestClientApp::EXIT_SENT;
}
