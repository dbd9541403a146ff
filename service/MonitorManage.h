#pragma once
// Parses one pipe message and runs the requested action on the calling client worker's thread.
// A MonitorManage lives for one message only. Shared between workers: g_hStartThread (its own
// lock), g_dwProcessID and g_iLogLevel (single words, read and written whole). g_dwProcessID only
// tells the log which client came last: each watch keeps its own process.
#include <windows.h>
#include <memory>
#include <string>

class ClientProcess;
class MonitorStart;
class PipeSender;
class MonitorUpdate;
class MonitorEnd;
struct UserSetting;

extern volatile LONG g_dwProcessID;
extern volatile LONG g_iLogLevel;

class MonitorManage {
public:
    MonitorManage();
    virtual ~MonitorManage();
    MonitorManage(const MonitorManage &) = delete;
    MonitorManage &operator=(const MonitorManage &) = delete;

    // sender: who wrote the message (PipeSender.h); the analysis uses it while it runs.
    virtual long MessageAnalysis(const std::wstring &strMessage, HANDLE hThread, const PipeSender &sender);
    // The same for a message of an unknown sender.
    long MessageAnalysis(const std::wstring &strMessage, HANDLE hThread);
    long Init();
    // Replaces the update object that Init made (tests: an install folder of their own).
    void UseUpdate(std::unique_ptr<MonitorUpdate> pUpdate);

    // User name of the active console session, or empty text.
    std::wstring GetAccessUserName();
    // The same, with every trace line at debug level (used by the start-up poll).
    std::wstring GetAccessUserNameLogLvlDbg();

    // How long one alertable wait of a watch lasts.
    static const DWORD WATCH_INTERVAL_MS = 60000;

    // How a watch ended.
    enum WatchEnd { WATCH_WOKEN, WATCH_CLIENT_GONE, WATCH_STOPPED };

private:
    long OnLogLevel(const std::wstring &strFields);
    long OnMonitorStart(const std::wstring &strUser, const std::wstring &strFields, HANDLE hThread);
    long OnMonitorEnd(const std::wstring &strUser, const std::wstring &strFields);
    long OnDoUpdate(const std::wstring &strFields);
    long OnRollBackUpdate();
    WatchEnd WatchClient(ClientProcess *pProcess);
    bool ClientStillRuns(ClientProcess *pProcess);
    // After the client's end: WATCH_WOKEN when a MonitorEnd for the user came with it (it only
    // looked like a crash), WATCH_STOPPED on a stop request, else WATCH_CLIENT_GONE.
    WatchEnd SettleClientEnd(const std::wstring &strUser, HANDLE hThread, bool bRegistered);
    // false when a stop request ended the wait.
    bool WaitForProcessEnd(DWORD dwProcessId);
    // Whether the sender is the installed client (and, when bCheckNamed, the process named).
    bool SenderMayUpdate(const wchar_t *pszMessage, bool bCheckNamed, DWORD dwNamedProcess);
    long EndHandling(bool bWoken);
    bool RestoreAfterAbruptEnd(UserSetting *pSetting);
    long DisconnectByType(const std::wstring &strConnectType, int iConnectIndex);
    std::wstring QueryActiveUserName(int iLevel);

    std::unique_ptr<MonitorStart> m_clMonitorStart;
    std::unique_ptr<MonitorUpdate> m_clMonitorUpdate;
    std::unique_ptr<MonitorEnd> m_clMonitorEnd;
    std::wstring m_strText;
    std::wstring m_strUserFolderPath;
    std::wstring m_strDiffFolderPath;
    std::wstring m_strLanguage;
    const PipeSender *m_pSender;   // valid while MessageAnalysis runs
};
