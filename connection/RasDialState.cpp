#include "RasDialState.h"
#include "Log.h"

namespace {
class Locked {
public:
    explicit Locked(CRITICAL_SECTION &cs) : m_cs(cs) { EnterCriticalSection(&m_cs); }
    ~Locked() { LeaveCriticalSection(&m_cs); }
    Locked(const Locked &) = delete;
    Locked &operator=(const Locked &) = delete;

private:
    CRITICAL_SECTION &m_cs;
};

void CloseEvent(HANDLE &hEvent)
{
    if (hEvent == nullptr) return;
    if (!CloseHandle(hEvent)) LOG_API_ERROR(L"CloseHandle", GetLastError());
    hEvent = nullptr;
}

void Signal(HANDLE hEvent, const wchar_t *pszName)
{
    if (hEvent == nullptr) return;
    if (!SetEvent(hEvent)) LOG_API_ERROR(L"SetEvent", GetLastError());
    else LOGWRITE(LOG_DEBUG, L"%s -> Signal", pszName);
}
}  // namespace

RasDialState &RasDialState::Instance()
{
    static RasDialState s_state;
    return s_state;
}

RasDialState::RasDialState()
    : m_bClaimed(false), m_hConn(nullptr), m_dwError(0), m_bConnected(false), m_hDialEvent(nullptr), m_hFuncEvent(nullptr)
{
    InitializeCriticalSection(&m_lock);
}

RasDialState::~RasDialState()
{
    CloseEvents();
    DeleteCriticalSection(&m_lock);
}

bool RasDialState::Claim()
{
    Locked guard(m_lock);
    if (m_bClaimed) return false;
    m_bClaimed = true;
    return true;
}

void RasDialState::Release()
{
    Locked guard(m_lock);
    m_bClaimed = false;
}

bool RasDialState::IsClaimed()
{
    Locked guard(m_lock);
    return m_bClaimed;
}

bool RasDialState::CreateEvents(DWORD &dwError)
{
    Locked guard(m_lock);
    if (m_hDialEvent != nullptr || m_hFuncEvent != nullptr) {
        LOGWRITE(LOG_WARN, L"Synchronization event has not been cleared");
        CloseEvent(m_hDialEvent);
        CloseEvent(m_hFuncEvent);
    }
    m_hDialEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (m_hDialEvent != nullptr) m_hFuncEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (m_hDialEvent == nullptr || m_hFuncEvent == nullptr) {
        dwError = GetLastError();
        LOG_API_ERROR(L"CreateEvent", dwError);
        CloseEvent(m_hDialEvent);
        return false;
    }
    return true;
}

void RasDialState::CloseEvents()
{
    Locked guard(m_lock);
    CloseEvent(m_hDialEvent);
    CloseEvent(m_hFuncEvent);
}

DWORD RasDialState::WaitDial(DWORD dwLimitMs)
{
    HANDLE hWait = nullptr;
    {
        // A duplicate of its own: the event may be closed and signalled by others only under the
        // lock, and the wait must not hold it.
        Locked guard(m_lock);
        if (m_hDialEvent == nullptr ||
            !DuplicateHandle(GetCurrentProcess(), m_hDialEvent, GetCurrentProcess(), &hWait, SYNCHRONIZE, FALSE, 0)) {
            LOG_API_ERROR(L"DuplicateHandle", GetLastError());
            return WAIT_FAILED;
        }
    }
    DWORD dwWait = WaitForSingleObject(hWait, dwLimitMs);
    if (dwWait == WAIT_FAILED) LOG_API_ERROR(L"WaitForSingleObject", GetLastError());
    if (!CloseHandle(hWait)) LOG_API_ERROR(L"CloseHandle", GetLastError());
    return dwWait;
}

bool RasDialState::SignalDial()
{
    Locked guard(m_lock);
    if (m_hDialEvent == nullptr) return false;
    Signal(m_hDialEvent, L"DialEvent");
    Signal(m_hFuncEvent, L"FuncEvent");
    return true;
}

bool RasDialState::IsDialSignalled()
{
    Locked guard(m_lock);
    return m_hDialEvent == nullptr || WaitForSingleObject(m_hDialEvent, 0) == WAIT_OBJECT_0;
}

void RasDialState::SignalFunc()
{
    Locked guard(m_lock);
    Signal(m_hFuncEvent, L"FuncEvent");
}

void RasDialState::Reset()
{
    Locked guard(m_lock);
    m_hConn = nullptr;
    m_dwError = 0;
    m_bConnected = false;
}

HRASCONN RasDialState::Handle()
{
    Locked guard(m_lock);
    return m_hConn;
}

void RasDialState::SetHandle(HRASCONN hConn)
{
    Locked guard(m_lock);
    m_hConn = hConn;
}

DWORD RasDialState::Error()
{
    Locked guard(m_lock);
    return m_dwError;
}

void RasDialState::SetError(DWORD dwError)
{
    Locked guard(m_lock);
    m_dwError = dwError;
}

bool RasDialState::IsConnected()
{
    Locked guard(m_lock);
    return m_bConnected;
}

void RasDialState::SetConnected()
{
    Locked guard(m_lock);
    m_bConnected = true;
}
