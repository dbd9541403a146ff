#pragma once
// A process a test starts; one still running when the owner goes (a failed check) is ended here,
// by its own handle.
#include "ScopedHandle.h"
#include <windows.h>
#include <string>

class ChildProcess {
public:
    static constexpr DWORD kFinishLimitMs = 30000;
    static constexpr UINT kEndedByTest = 99;

    ChildProcess() = default;
    ~ChildProcess() { End(); }
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    // Without a console: a console program started with a hidden console of its own gets a
    // console host under Wine, and one whose program is ended in its first milliseconds outlives
    // it, holding the test's output pipe open (ctest then waits for its end until the time-out).
    bool Launch(std::wstring strCommand)
    {
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi = {};
        if (!CreateProcessW(nullptr, &strCommand[0], nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr,
                            &si, &pi))
            return false;
        m_hProcess.Reset(pi.hProcess);
        m_hThread.Reset(pi.hThread);
        m_dwPid = pi.dwProcessId;
        return true;
    }
    // Its exit code, or -1 when it did not end within 30 s.
    int Finish()
    {
        if (WaitForSingleObject(m_hProcess.Get(), kFinishLimitMs) != WAIT_OBJECT_0) return -1;
        DWORD dwCode = 0;
        GetExitCodeProcess(m_hProcess.Get(), &dwCode);
        return static_cast<int>(dwCode);
    }
    // Ends it now (if it still runs) and waits for its end.
    void End()
    {
        if (m_hProcess && WaitForSingleObject(m_hProcess.Get(), 0) == WAIT_TIMEOUT) {
            TerminateProcess(m_hProcess.Get(), kEndedByTest);
            WaitForSingleObject(m_hProcess.Get(), kFinishLimitMs);
        }
    }
    bool IsRunning() const { return m_hProcess && WaitForSingleObject(m_hProcess.Get(), 0) == WAIT_TIMEOUT; }
    DWORD Pid() const { return m_dwPid; }

private:
    ScopedHandle m_hProcess;
    ScopedHandle m_hThread;
    DWORD m_dwPid = 0;
};
