#pragma once
// Who may ask for an update or a rollback: only the installed client. The sender recorded by the
// pipe worker must run NolvexConnect.exe of the install folder and, for DoUpdate, be the process
// the message names. Where the system cannot name the sender's process (XP), a sender whose token
// is the active console user's is accepted, and the log says the process could not be checked.
#include <windows.h>
#include <functional>
#include <string>

class PipeSender;

class UpdateRequester {
public:
    // What is known about the sender (from PipeSender; tests fill it themselves).
    struct Facts {
        bool bProcessKnown = false;
        DWORD dwProcessId = 0;
        std::wstring strImagePath;
        HANDLE hUserToken = nullptr;   // impersonation token of the sender, not owned
    };
    static Facts FromSender(const PipeSender &sender);

    // Whether the token's user is the active console session's user.
    typedef std::function<bool(HANDLE hToken)> ConsoleUserTest;

    explicit UpdateRequester(ConsoleUserTest pfnConsoleUser = ConsoleUserTest());

    // true when the sender may ask; false with a reason. dwNamedProcess: the process id of a
    // DoUpdate message; bCheckNamed false for a rollback (it names none).
    bool IsAllowed(const Facts &facts, const std::wstring &strInstallPath, bool bCheckNamed, DWORD dwNamedProcess,
                   std::wstring &strReason) const;

    // The default console-user test: the SID of WTSQueryUserToken(active console session).
    static bool TokenIsConsoleUser(HANDLE hToken);

private:
    static bool SamePath(const std::wstring &strLeft, const std::wstring &strRight);

    ConsoleUserTest m_pfnConsoleUser;
};
