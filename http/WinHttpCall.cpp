#include "WinHttpCall.h"
#include "Log.h"
#include "SpinBackoff.h"
#include <new>

WinHttpCall::WinHttpCall() : m_lRefs(1), m_completion(), m_bDone(false), m_bSleeping(false), m_bEventSet(false)
{
    m_hDone.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

WinHttpCall *WinHttpCall::Create()
{
    WinHttpCall *pCall = new (std::nothrow) WinHttpCall();
    if (pCall == nullptr) {
        LOGWRITE(LOG_ERROR, L"Failed to allocate the completion record of a request");
        return nullptr;
    }
    if (!pCall->m_hDone) {
        LOG_API_ERROR(L"CreateEventW", GetLastError());
        pCall->Release();
        return nullptr;
    }
    return pCall;
}

void WinHttpCall::AddRef()
{
    InterlockedIncrement(&m_lRefs);
}

void WinHttpCall::Release()
{
    if (InterlockedDecrement(&m_lRefs) == 0) delete this;
}

bool WinHttpCall::Attach(HINTERNET hRequest)
{
    DWORD_PTR dwContext = Context();
    AddRef();   // before the handle can report anything with it
    if (!WinHttpSetOption(hRequest, WINHTTP_OPTION_CONTEXT_VALUE, &dwContext, sizeof(dwContext))) {
        Release();
        return false;
    }
    return true;
}

void WinHttpCall::Begin()
{
    CriticalSection::Lock lock(m_cs);
    m_completion = Completion();
    m_bDone = false;
    m_bSleeping = false;
}

WinHttpCall::WaitResult WinHttpCall::Wait(HANDLE hCancel, DWORD dwLimitMs, Completion &completion)
{
    DWORD dwStart = GetTickCount();
    HANDLE ahWait[] = {m_hDone.Get(), hCancel};
    if (SpinForCompletion(completion)) return CALL_DONE;
    bool bWoken = false;
    for (;;) {
        if (TakeCompletion(bWoken, completion)) return CALL_DONE;
        DWORD dwElapsed = GetTickCount() - dwStart;
        if (dwElapsed >= dwLimitMs) return CALL_TIMED_OUT;
        DWORD dwWait = WaitForMultipleObjects(2, ahWait, FALSE, dwLimitMs - dwElapsed);
        bWoken = dwWait == WAIT_OBJECT_0;   // a completion, or the late signal of an earlier one
        if (bWoken) continue;
        if (dwWait == WAIT_OBJECT_0 + 1) return CALL_CANCELED;
        if (dwWait == WAIT_TIMEOUT) return CALL_TIMED_OUT;
        LOG_API_ERROR(L"WaitForMultipleObjects", GetLastError());
        return CALL_BROKEN;
    }
}

// A completion on a WinHTTP thread usually follows within microseconds: looking a few times
// before sleeping spares the event round trips of both sides.
bool WinHttpCall::SpinForCompletion(Completion &completion)
{
    SpinBackoff backoff;
    while (backoff.Rounds() < SPIN_ROUNDS) {
        {
            CriticalSection::Lock lock(m_cs);
            if (m_bDone) {
                completion = m_completion;
                return true;
            }
        }
        backoff.Pause();
    }
    return false;
}

// Not done yet: the worker is about to sleep, so a completion must set the event; an event left set by an earlier completion is reset, so the next wait sleeps. A
// completion stores itself under the lock before it sets the event, so none is lost.
bool WinHttpCall::TakeCompletion(bool bWoken, Completion &completion)
{
    CriticalSection::Lock lock(m_cs);
    if (m_bDone) {
        completion = m_completion;
        return true;
    }
    m_bSleeping = true;
    if (m_bEventSet || bWoken) {
        m_bEventSet = false;
        if (!ResetEvent(m_hDone.Get())) LOG_API_ERROR(L"ResetEvent", GetLastError());
    }
    return false;
}

bool WinHttpCall::IsCompletion(DWORD dwStatus)
{
    switch (dwStatus) {
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
    case WINHTTP_CALLBACK_STATUS_WRITE_COMPLETE:
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
    case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
        return true;
    default:
        return false;
    }
}

void WinHttpCall::Notify(DWORD_PTR dwContext, DWORD dwStatus, const void *pInfo, DWORD dwInfoLength)
{
    // The session and connection handles carry no context; only request handles report here.
    WinHttpCall *pCall = reinterpret_cast<WinHttpCall *>(dwContext);
    if (pCall == nullptr) return;
    if (dwStatus == WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING) {
        pCall->Release();
        return;
    }
    if (IsCompletion(dwStatus)) pCall->Complete(dwStatus, pInfo, dwInfoLength);
}

void WinHttpCall::Complete(DWORD dwStatus, const void *pInfo, DWORD dwInfoLength)
{
    {
        CriticalSection::Lock lock(m_cs);
        Store(dwStatus, pInfo, dwInfoLength);
        if (!m_bSleeping) return;   // the worker looks itself (inside the call, or spinning)
        m_bEventSet = true;
    }
    // Outside the lock: the woken worker takes it at once.
    if (!SetEvent(m_hDone.Get())) LOG_API_ERROR(L"SetEvent", GetLastError());
}

void WinHttpCall::Store(DWORD dwStatus, const void *pInfo, DWORD dwInfoLength)
{
    m_completion.dwStatus = dwStatus;
    if (dwStatus == WINHTTP_CALLBACK_STATUS_REQUEST_ERROR && pInfo != nullptr)
        m_completion.dwError = static_cast<const WINHTTP_ASYNC_RESULT *>(pInfo)->dwError;
    else if ((dwStatus == WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE || dwStatus == WINHTTP_CALLBACK_STATUS_WRITE_COMPLETE) &&
             pInfo != nullptr && dwInfoLength >= sizeof(DWORD))
        m_completion.dwBytes = *static_cast<const DWORD *>(pInfo);
    else if (dwStatus == WINHTTP_CALLBACK_STATUS_READ_COMPLETE)
        m_completion.dwBytes = dwInfoLength;
    m_bDone = true;
}
