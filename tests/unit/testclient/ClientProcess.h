#pragma once
#include "ScopedHandle.h"
#include <windows.h>
#include <string>

// A started client; one still running when the test ends (a failed check) is ended here.
class ClientProcess {
public:
    ClientProcess() = default;
    ~ClientProcess()
    {
        if (m_hProcess && WaitForSingleObject(m_hProcess.Get(), 0) == WAIT_TIMEOUT) {
            TerminateProcess(m_hProcess.Get(), 99);
            WaitForSingleObject(m_hProcess.Get(), 5000);
        }
    }
    bool Launch(std::wstring strCommand)
    {
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi = {};
        if (!CreateProcessW(nullptr, &strCommand[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
            return false;
        m_hProcess.Reset(pi.hProcess);
        m_hThread.Reset(pi.hThread);
        m_dwPid = pi.dwProcessId;
        return true;
    }
    // Its exit code, or -1 when it did not end within 30 s.
    int Finish()
    {
        if (WaitForSingleObject(m_hProcess.Get(), 30000) != WAIT_OBJECT_0) return -1;
        DWORD dwCode = 0;
        GetExitCodeProcess(m_hProcess.Get(), &dwCode);
        return static_cast<int>(dwCode);
    }
    DWORD Pid() const { return m_dwPid; }

private:
    ScopedHandle m_hProcess;
    ScopedHandle m_hThread;
    DWORD m_dwPid = 0;
};
