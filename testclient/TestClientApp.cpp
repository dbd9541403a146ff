#include "TestClientApp.h"
#include "SettingsCommands.h"
#include "ConsoleOut.h"
#include "FolderCopy.h"
#include "Log.h"
#include "PipeClient.h"
#include "PipeMessage.h"
#include "ProxyCommand.h"
#include "RasCommand.h"
#include "HttpCommand.h"
#include "ProfileCommand.h"
#include "MonitorCommand.h"
#include "RegistCommand.h"
#include "CertifyCommand.h"
#include "ScopedHandle.h"

TestClientApp::TestClientApp(const ClientOptions &options) : m_options(options) {}

std::wstring TestClientApp::QuitEventName(DWORD dwProcessId)
{
    return L"Local\\NolvexTestClientQuit-" + std::to_wstring(dwProcessId);
}

int TestClientApp::Run()
{
    LOG_SCOPE();
    const std::wstring &strCommand = m_options.GetCommand();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] command is %s", strCommand.c_str());
    if (strCommand == L"start") return RunStart();
    if (strCommand == L"end") return SendText(PipeMessage::MonitorEnd(m_options.GetArg(0)));
    if (strCommand == L"loglevel") return SendText(PipeMessage::LogLevel(m_options.GetArg(0)));
    if (strCommand == L"update" && m_options.GetArg(0) == L"module")
        return RegistCommand(strCommand, m_options.GetArgs()).Run();
    if (strCommand == L"update") return RunUpdate();
    if (strCommand == L"register" || strCommand == L"notify-error")
        return RegistCommand(strCommand, m_options.GetArgs()).Run();
    if (strCommand == L"certify") return CertifyCommand(m_options.GetArgs()).Run();
    if (strCommand == L"rollback") return SendText(PipeMessage::RollBackUpdate(m_options.GetArg(0)));
    if (strCommand == L"raw") return SendBytes(PipeMessage::ToBytes(m_options.GetArg(0)));
    if (strCommand == L"hex") {
        std::string strBytes;
        if (!PipeMessage::FromHex(m_options.GetArg(0), strBytes)) {
            ConsoleOut::Err(L"NolvexConnect: hex: not a whole number of hex bytes: " + m_options.GetArg(0));
            return EXIT_USAGE;
        }
        return SendBytes(strBytes);
    }
    if (strCommand == L"random") {
        DWORD dwCount = 0, dwSeed = 0;
        ClientOptions::ParseNumber(m_options.GetArg(0), dwCount);   // checked when parsing
        ClientOptions::ParseNumber(m_options.GetArg(1), dwSeed);
        return SendBytes(PipeMessage::Random(dwCount, dwSeed));
    }
    if (strCommand == L"idle") return RunIdle();
    if (strCommand == L"files") return RunFiles();
    if (strCommand == L"quit") return RunQuit();
    if (strCommand == L"settings" || strCommand == L"ini" || strCommand == L"osinfo")
        return SettingsCommands(m_options.GetArgs()).Run(strCommand);
    if (strCommand == L"ras") return RasCommand(m_options.GetArgs()).Run();
    if (strCommand == L"http") return HttpCommand(m_options.GetArgs()).Run();
    if (strCommand == L"profile") return ProfileCommand(m_options.GetArgs()).Run();
    if (strCommand == L"proxy") return ProxyCommand(m_options.GetArgs()).Run();
    if (strCommand == L"monitor") return MonitorCommand(m_options.GetArgs(), m_options.GetPipeName()).Run();
    ConsoleOut::Err(L"NolvexConnect: unknown command " + strCommand);
    return EXIT_USAGE;
}

int TestClientApp::RunUpdate()
{
    // "self" names this process: the service accepts an update only from the client it names.
    std::wstring strPid = m_options.GetArg(0);
    if (strPid == L"self") strPid = std::to_wstring(GetCurrentProcessId());
    int iResult = SendText(PipeMessage::DoUpdate(strPid, m_options.GetArg(1)));
    if (iResult == EXIT_SENT && m_options.GetStayMs() != INFINITE) Sleep(m_options.GetStayMs());
    return iResult;
}

int TestClientApp::PipeFailure(const wchar_t *pszStep, DWORD dwError)
{
    ConsoleOut::Err(std::wstring(L"NolvexConnect: cannot ") + pszStep + L" " + m_options.GetPipeName() + L": error " +
                    std::to_wstring(dwError) + L" (" + SystemErrorText(dwError) + L")");
    return EXIT_PIPE;
}

int TestClientApp::SendText(const std::wstring &strMessage)
{
    // A longer message would be cut by the service's read; refuse it rather than send half.
    if (strMessage.size() > PipeMessage::kMaxChars) {
        ConsoleOut::Err(L"NolvexConnect: message of " + std::to_wstring(strMessage.size()) +
                        L" characters; the service reads at most 511 (use raw to send it anyway)");
        return EXIT_USAGE;
    }
    LOGWRITE(LOG_DEBUG, L"[InputInfo] message is %s", strMessage.c_str());
    int iResult = SendBytes(PipeMessage::ToBytes(strMessage));
    if (iResult == EXIT_SENT) ConsoleOut::Out(L"sent " + strMessage);
    return iResult;
}

int TestClientApp::SendBytes(const std::string &strBytes)
{
    LOG_SCOPE();
    PipeClient client(m_options.GetPipeName(), m_options.GetTimeoutMs(), m_options.GetMissingFails());
    DWORD dwError = client.Open();
    if (dwError != ERROR_SUCCESS) return PipeFailure(L"open", dwError);
    dwError = client.Write(strBytes);
    if (dwError != ERROR_SUCCESS) return PipeFailure(L"write to", dwError);
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] %lu bytes sent", static_cast<unsigned long>(strBytes.size()));
    return EXIT_SENT;
}

int TestClientApp::RunStart()
{
    LOG_SCOPE();
    DWORD dwOwnPid = GetCurrentProcessId();
    // The quit event exists before the MonitorStart goes out, so a quick "quit" is never lost.
    ScopedHandle hQuit(CreateEventW(nullptr, TRUE, FALSE, QuitEventName(dwOwnPid).c_str()));
    if (!hQuit) {
        LOG_API_ERROR(L"CreateEventW", GetLastError());
        ConsoleOut::Err(L"NolvexConnect: cannot create " + QuitEventName(dwOwnPid));
        return EXIT_FAILED;
    }
    ConsoleOut::Out(L"pid=" + std::to_wstring(dwOwnPid));
    DWORD dwAnnounced = m_options.GetAnnouncedPid() != 0 ? m_options.GetAnnouncedPid() : dwOwnPid;
    const std::wstring &strFolder = m_options.GetArg(0);
    int iResult = SendText(PipeMessage::MonitorStart(dwAnnounced, strFolder, m_options.GetArg(1), m_options.GetArg(2)));
    if (iResult != EXIT_SENT) return iResult;

    DWORD dwWait = WaitForSingleObject(hQuit.Get(), m_options.GetStayMs());
    if (dwWait == WAIT_FAILED) LOG_API_ERROR(L"WaitForSingleObject", GetLastError());
    LOGWRITE(LOG_INFO, L"[OutputInfo] stay ended (%s)", dwWait == WAIT_OBJECT_0 ? L"quit event" : L"time");
    if (m_options.GetStartEnd() == ClientOptions::END_ABRUPT) {
        ConsoleOut::Out(L"ending abruptly");
        // No destructors, no MonitorEnd: what the service sees when the client crashes.
        TerminateProcess(GetCurrentProcess(), EXIT_ABRUPT);
        LOG_API_ERROR(L"TerminateProcess", GetLastError());
        return EXIT_FAILED;
    }
    return SendText(PipeMessage::MonitorEnd(strFolder));
}

int TestClientApp::RunIdle()
{
    LOG_SCOPE();
    DWORD dwSeconds = 0;
    ClientOptions::ParseNumber(m_options.GetArg(0), dwSeconds);   // checked when parsing
    PipeClient client(m_options.GetPipeName(), m_options.GetTimeoutMs(), m_options.GetMissingFails());
    DWORD dwError = client.Open();
    if (dwError != ERROR_SUCCESS) return PipeFailure(L"open", dwError);
    ConsoleOut::Out(L"connected, idle for " + std::to_wstring(dwSeconds) + L" s");
    Sleep(dwSeconds * 1000);
    return EXIT_SENT;
}

int TestClientApp::RunFiles()
{
    LOG_SCOPE();
    size_t nFiles = 0;
    DWORD dwError = FolderCopy::CopyTree(m_options.GetArg(1), m_options.GetArg(0), &nFiles);
    if (dwError != ERROR_SUCCESS) {
        ConsoleOut::Err(L"NolvexConnect: files: error " + std::to_wstring(dwError) + L" (" + SystemErrorText(dwError) +
                        L") after " + std::to_wstring(nFiles) + L" files");
        return EXIT_FAILED;
    }
    ConsoleOut::Out(L"copied " + std::to_wstring(nFiles) + L" files to " + m_options.GetArg(0));
    return EXIT_SENT;
}

int TestClientApp::RunQuit()
{
    LOG_SCOPE();
    DWORD dwPid = 0;
    ClientOptions::ParseNumber(m_options.GetArg(0), dwPid);   // checked when parsing
    std::wstring strName = QuitEventName(dwPid);
    ScopedHandle hQuit(OpenEventW(EVENT_MODIFY_STATE, FALSE, strName.c_str()));
    if (!hQuit) {
        DWORD dwError = GetLastError();
        LOG_API_ERROR(L"OpenEventW", dwError);
        ConsoleOut::Err(L"NolvexConnect: no client waits on " + strName + L": error " + std::to_wstring(dwError));
        return EXIT_FAILED;
    }
    if (!SetEvent(hQuit.Get())) {
        LOG_API_ERROR(L"SetEvent", GetLastError());
        return EXIT_FAILED;
    }
    ConsoleOut::Out(L"quit sent to " + std::to_wstring(dwPid));
    return EXIT_SENT;
}
