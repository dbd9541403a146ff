#pragma once
// The completions of one WinHTTP request handle in asynchronous mode, waited for by the adapter's
// worker together with its cancel event.
//
// Lifetime: reference counted. The worker holds one reference; the request handle holds another
// from Attach until WinHTTP reports the handle closing (the last notification of a handle). A
// cancelled worker closes the request handle and leaves at once, even when WinHTTP still has an
// operation in progress (Wine ends a pending receive only when the server lets go or the receive
// time-out passes): that operation's late completion and the read buffer it fills belong to this
// object, which outlives the worker until the handle is really gone.
// Threads: Begin/Wait/Result run on the worker; Notify runs on whatever thread WinHTTP reports on
// (the worker itself for a call that completes at once, a WinHTTP thread otherwise). m_cs guards
// the completion fields. Only a completion that finds the worker asleep sets the event: under Wine
// every event operation is a round trip to the server, and most reads of a large answer complete
// inside the call, on the worker's own thread, or while the worker still looks (spins).
#include "CriticalSection.h"
#include "ScopedHandle.h"
#include "WinHttpHandles.h"
#include <string>

class WinHttpCall {
public:
    static constexpr DWORD BUFFER_BYTES = 4096;
    // Looks for a completion this often (spinning, then yielding) before sleeping on the event.
    static constexpr int SPIN_ROUNDS = 96;

    enum WaitResult { CALL_DONE, CALL_CANCELED, CALL_TIMED_OUT, CALL_BROKEN };

    // What a completed call reported: the notification, its byte count (bytes read or written,
    // bytes available) and, for a failure, the platform error.
    struct Completion {
        DWORD dwStatus;
        DWORD dwBytes;
        DWORD dwError;
    };

    static WinHttpCall *Create();
    void AddRef();
    void Release();

    // Makes this object the request handle's context (the handle then holds a reference).
    bool Attach(HINTERNET hRequest);
    DWORD_PTR Context() { return reinterpret_cast<DWORD_PTR>(this); }
    // What WinHTTP reads or fills while a call is in progress lives here, not with the worker.
    BYTE *Buffer() { return m_abBuffer; }
    void SetBody(const std::string &strBody) { m_strBody = strBody; }
    const std::string &Body() const { return m_strBody; }

    // Before each call: forget the previous completion.
    void Begin();
    // The completion of the call begun last, or the cancel event, or dwLimitMs.
    WaitResult Wait(HANDLE hCancel, DWORD dwLimitMs, Completion &completion);

    // The status callback's share: completions wake the worker; the handle's closing lets go.
    static void Notify(DWORD_PTR dwContext, DWORD dwStatus, const void *pInfo, DWORD dwInfoLength);

private:
    WinHttpCall();
    ~WinHttpCall() {}
    WinHttpCall(const WinHttpCall &) = delete;
    WinHttpCall &operator=(const WinHttpCall &) = delete;

    static bool IsCompletion(DWORD dwStatus);
    bool SpinForCompletion(Completion &completion);
    bool TakeCompletion(bool bWoken, Completion &completion);
    void Complete(DWORD dwStatus, const void *pInfo, DWORD dwInfoLength);
    void Store(DWORD dwStatus, const void *pInfo, DWORD dwInfoLength);

    volatile LONG m_lRefs;
    ScopedHandle m_hDone;   // manual reset: set by a completion on another thread, reset by a waiter
    CriticalSection m_cs;
    Completion m_completion;
    bool m_bDone;             // the call begun last has completed
    bool m_bSleeping;         // the worker waits on m_hDone for the call begun last
    bool m_bEventSet;         // a completion has set m_hDone since the last reset
    std::string m_strBody;
    BYTE m_abBuffer[BUFFER_BYTES];
};

// The worker's reference to a WinHttpCall.
struct WinHttpCallTraits {
    typedef WinHttpCall *Type;
    static Type Invalid() { return nullptr; }
    static void Close(Type p) { p->Release(); }
};
typedef ScopedGeneric<WinHttpCallTraits> ScopedWinHttpCall;
