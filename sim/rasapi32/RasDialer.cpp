#include "RasDialer.h"
#include "RasConnectionTable.h"
#include "RasJournal.h"
#include "RasLock.h"
#include "ScopedHandle.h"
#include "SimLog.h"
#include <raserror.h>
#include <memory>

namespace {
// The states of a dial, in order, as Windows reports them for a modem or a VPN line.
const RASCONNSTATE kStates[] = {RASCS_OpenPort,      RASCS_PortOpened,          RASCS_ConnectDevice,
                                RASCS_DeviceConnected, RASCS_AllDevicesConnected, RASCS_Authenticate,
                                RASCS_AuthNotify,    RASCS_AuthAck,             RASCS_Authenticated};
const UINT kRasDialEvent = 0xCCCD;   // WM_RASDIALEVENT
const DWORD kSubEntry = 1;
enum NotifierType { kDialFunc = 0, kDialFunc1 = 1, kDialFunc2 = 2 };
}  // namespace

RasDialer::RasDialer(HRASCONN hConn, const RasDialScript &script, DWORD dwNotifierType, LPVOID pNotifier,
                     ULONG_PTR uCallbackId)
    : m_hConn(hConn), m_script(script), m_dwNotifierType(dwNotifierType), m_pNotifier(pNotifier),
      m_uCallbackId(uCallbackId), m_bNotify(pNotifier != nullptr)
{
}

bool RasDialer::Start(RasDialer *pDialer, DWORD &dwError)
{
    std::unique_ptr<RasDialer> owner(pDialer);
    HMODULE hSelf = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(&RasDialer::ThreadProc), &hSelf)) {
        dwError = GetLastError();
        SimLog::ApiError(L"GetModuleHandleExW", dwError);
        return false;
    }
    ScopedHandle hThread(CreateThread(nullptr, 0, &RasDialer::ThreadProc, pDialer, 0, nullptr));
    if (!hThread) {
        dwError = GetLastError();
        SimLog::ApiError(L"CreateThread", dwError);
        FreeLibrary(hSelf);
        return false;
    }
    owner.release();   // the thread deletes it
    return true;
}

DWORD WINAPI RasDialer::ThreadProc(LPVOID pParam)
{
    std::unique_ptr<RasDialer> dialer(static_cast<RasDialer *>(pParam));
    dialer->Run();
    HMODULE hSelf = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&RasDialer::ThreadProc), &hSelf);
    dialer.reset();
    FreeLibraryAndExitThread(hSelf, 0);
}

DWORD RasDialer::Run()
{
    for (RASCONNSTATE state : kStates) {
        bool bFails = m_script.dwFailError != 0 && m_script.dwFailState == static_cast<DWORD>(state);
        if (!Enter(state, bFails ? m_script.dwFailError : 0)) return ERROR_USER_DISCONNECTION;
        Notify(state, bFails ? m_script.dwFailError : 0);
        if (bFails) return m_script.dwFailError;
        if (m_script.bNeverFinish && state == RASCS_Authenticate) return ERROR_SUCCESS;
        Sleep(m_script.dwStepMs);
    }
    Sleep(m_script.dwConnectAfterMs);
    if (!Enter(RASCS_Connected, 0)) return ERROR_USER_DISCONNECTION;
    Notify(RASCS_Connected, 0);
    return ERROR_SUCCESS;
}

bool RasDialer::Enter(DWORD dwState, DWORD dwError)
{
    RasLock lock;
    RasConnectionTable table(m_store);
    RasConnection conn;
    if (table.Find(m_hConn, conn) != ERROR_SUCCESS || conn.bHangingUp) return false;
    conn.dwState = dwState;
    conn.dwError = dwError;
    if (dwState == RASCS_Connected) {
        conn.ullConnectedMs = RasConnectionTable::NowMs();
        conn.dwDropAfterMs = m_script.dwDropAfterMs;
    }
    table.Save(conn);   // a failed write was reported; the dial goes on as Windows' would
    return true;
}

void RasDialer::Notify(DWORD dwState, DWORD dwError)
{
    if (!m_bNotify) return;
    RASCONNSTATE state = static_cast<RASCONNSTATE>(dwState);
    DWORD dwReturn = 1;
    if (m_dwNotifierType == kDialFunc2) {
        dwReturn = reinterpret_cast<RASDIALFUNC2>(m_pNotifier)(m_uCallbackId, kSubEntry, m_hConn, kRasDialEvent,
                                                               state, dwError, 0);
        // A zero return asks for no further notification; the dial itself goes on.
        m_bNotify = dwReturn != 0;
    } else if (m_dwNotifierType == kDialFunc1) {
        reinterpret_cast<RASDIALFUNC1>(m_pNotifier)(m_hConn, kRasDialEvent, state, dwError, 0);
    } else {
        reinterpret_cast<RASDIALFUNC>(m_pNotifier)(kRasDialEvent, state, dwError);
    }
    RasJournal journal(m_store.Folder());
    JsonLine line = journal.NewRecord("notify");
    line.Add("handle", RasJournal::Handle(m_hConn)).Add("notifier", m_dwNotifierType).Add("state", dwState);
    line.Add("error", dwError).Add("callback_return", dwReturn);
    journal.Record(line, ERROR_SUCCESS);
}
