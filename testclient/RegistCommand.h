#pragma once
// "register INDEX PASSWORD [options]", "notify-error INDEX PASSWORD [options]" and
// "update module [options]": the registration server's exchanges through RegistTerminal in this
// process, with a hidden client window that answers the update question, every notice and the
// outcome printed (docs/testclient.md).
#include "NotifyHook.h"
#include <windows.h>
#include <string>
#include <vector>

class RegistTerminal;

class RegistCommand : public NotifyHook {
public:
    RegistCommand(const std::wstring &strCommand, const std::vector<std::wstring> &vecArgs);
    // 0 when the exchange ran (its result is printed), 2 for bad input, 3 when it could not start.
    int Run();
    void NotifyError(long lMsgCode, long lTitleCode, long lDispStatus, const std::wstring &strAddMsg) override;

private:
    bool ParseOptions(size_t nFirst);
    int RunRegister();
    int RunNotify();
    int RunUpdate();
    void PrintErrorInfo(RegistTerminal &regist, const std::wstring &strPrefix = std::wstring());
    void StartCancel(RegistTerminal &regist);
    void EndCancel();
    static DWORD WINAPI CancelThread(LPVOID pParam);

    std::wstring m_strCommand;
    std::vector<std::wstring> m_vecArgs;
    int m_iIndex = 0;
    std::wstring m_strPassword;
    bool m_bRetry = false;
    bool m_bThenRetry = false;
    bool m_bExisted = false;
    long m_lFlags = 1;
    long m_lAccess = 0;
    DWORD m_dwCancelAfterMs = INFINITE;
    int m_iKillAtStep = 0;
    std::wstring m_strAnswer = L"6";
    DWORD m_dwAnswerTimeoutMs = 0;
    RegistTerminal *m_pCancelTarget = nullptr;
    HANDLE m_hCancelThread = nullptr;
};
