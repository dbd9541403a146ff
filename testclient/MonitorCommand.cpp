#include "MonitorCommand.h"
#include "ConsoleOut.h"
#include "Monitoring.h"
#include "TestClientApp.h"

MonitorCommand::MonitorCommand(const std::vector<std::wstring> &vecArgs, const std::wstring &strPipeName)
    : m_vecArgs(vecArgs), m_strPipeName(strPipeName)
{
}

int MonitorCommand::Run()
{
    std::wstring strSub = m_vecArgs.empty() ? std::wstring() : m_vecArgs[0];
    Monitoring::Seams seams;
    seams.strPipeName = m_strPipeName;
    Monitoring monitoring(seams);
    if (strSub == L"running" && m_vecArgs.size() == 1) return Running(monitoring);
    if (strSub == L"notify" && m_vecArgs.size() == 2) return Sent(monitoring.NotificationExec(m_vecArgs[1]));
    if (strSub == L"update" && m_vecArgs.size() == 2) return Sent(monitoring.SetUpdateNotification(m_vecArgs[1]));
    ConsoleOut::Err(L"NolvexConnect: monitor: running | notify MESSAGE | update FOLDER");
    return TestClientApp::EXIT_USAGE;
}

int MonitorCommand::Running(Monitoring &monitoring)
{
    bool bRunning = monitoring.IsServiceRunning();
    ConsoleOut::Out(std::wstring(L"running=") + (bRunning ? L"1" : L"0"));
    return bRunning ? TestClientApp::EXIT_SENT : TestClientApp::EXIT_FAILED;
}

int MonitorCommand::Sent(long lResult)
{
    ConsoleOut::Out(L"result=" + std::to_wstring(lResult));
    return lResult == 0 ? TestClientApp::EXIT_SENT : TestClientApp::EXIT_FAILED;
}
