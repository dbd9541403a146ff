#pragma once
// Who wrote a pipe message: the sender's process id, the path of its executable and its user, the
// user both as a name (for the log) and as a duplicated impersonation token that later work can
// use to act as that user after the pipe is gone. Learned by the client worker while the client
// is still connected; handed to MonitorManage::MessageAnalysis with the message.
//
// The user comes from impersonating the pipe client (XP too). The process id and path need calls
// that XP lacks (GetNamedPipeClientProcessId, QueryFullProcessImageNameW), resolved at run time;
// without them the process stays unknown and the log says so.
#include "ScopedHandle.h"
#include <windows.h>
#include <string>

class PipeSender {
public:
    PipeSender() : m_dwProcessId(0) {}
    // A sender known beforehand (tests): its process, executable and a copy of the user's token.
    PipeSender(DWORD dwProcessId, const std::wstring &strImagePath, HANDLE hUserToken);
    PipeSender(const PipeSender &) = delete;
    PipeSender &operator=(const PipeSender &) = delete;

    // Learns what the system tells about the client of the connected instance. false only when the
    // worker must not go on: the impersonation could not be reverted.
    bool Identify(HANDLE hPipe);
    // Writes what is known at DEBUG level (and at INFO when the process is unknown).
    void Log() const;

    bool IsProcessKnown() const { return m_dwProcessId != 0; }
    DWORD GetProcessId() const { return m_dwProcessId; }
    const std::wstring &GetImagePath() const { return m_strImagePath; }
    const std::wstring &GetUserName() const { return m_strUserName; }
    // Impersonation token of the sender's user; null when it could not be had. Owned here.
    HANDLE GetUserToken() const { return m_hUserToken.Get(); }

    // "DOMAIN\name" of a token's user, or empty text.
    static std::wstring TokenUserName(HANDLE hToken);

private:
    void IdentifyProcess(HANDLE hPipe);
    void ReadImagePath();
    bool IdentifyUser(HANDLE hPipe);
    void TakeUserFromProcess();
    bool KeepImpersonationCopy(HANDLE hToken);

    DWORD m_dwProcessId;
    std::wstring m_strImagePath;
    std::wstring m_strUserName;
    ScopedHandle m_hUserToken;
};
