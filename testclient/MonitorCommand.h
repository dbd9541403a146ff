#pragma once
// "monitor running | notify MESSAGE | update FOLDER": the library's side of the monitor service
// (Monitoring) run in this process, as the registration uses it (docs/testclient.md).
#include <string>
#include <vector>

class Monitoring;

class MonitorCommand {
public:
    MonitorCommand(const std::vector<std::wstring> &vecArgs, const std::wstring &strPipeName);
    // 0 when the service runs (running) or the message was received (notify, update), 3 otherwise,
    // 2 for bad input.
    int Run();

private:
    int Running(Monitoring &monitoring);
    int Sent(long lResult);

    std::vector<std::wstring> m_vecArgs;
    std::wstring m_strPipeName;
};
