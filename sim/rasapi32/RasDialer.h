#pragma once
// One dial: walks the connection through the states to RASCS_Connected (or the scripted failure),
// storing each state in the connection table and telling the caller's notifier. Asynchronous
// dials run on a thread of their own that holds a reference to this DLL until it ends; a dial
// without a notifier runs on the caller's thread. A hang-up ends the walk without a notification.
#include <windows.h>
#include <ras.h>
#include "RasDialScript.h"
#include "RasStore.h"

class RasDialer {
public:
    RasDialer(HRASCONN hConn, const RasDialScript &script, DWORD dwNotifierType, LPVOID pNotifier,
              ULONG_PTR uCallbackId);

    // Starts the thread; false (with the system error) when it cannot be started.
    static bool Start(RasDialer *pDialer, DWORD &dwError);
    // Walks every state; the dial's final error (0 connected).
    DWORD Run();

private:
    static DWORD WINAPI ThreadProc(LPVOID pParam);
    // Stores the state; false when the connection was hung up meanwhile.
    bool Enter(DWORD dwState, DWORD dwError);
    void Notify(DWORD dwState, DWORD dwError);

    RasStore m_store;
    HRASCONN m_hConn;
    RasDialScript m_script;
    DWORD m_dwNotifierType;
    LPVOID m_pNotifier;
    ULONG_PTR m_uCallbackId;
    bool m_bNotify;   // the callback asked for more notifications
};
