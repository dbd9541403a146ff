#pragma once
// HTTP_Connection over WinHTTP in asynchronous mode, driven by a worker of the adapter.
//
// Threads: the caller's threads call URLOpen, Cancel, GetStatus and WaitStatusChange (several may
// wait at once); the worker runs one request on a thread of the process's thread pool (a thread
// started per request costs more under Wine than the whole exchange on a loopback server). The
// worker works on a private copy of the request record and hands the outputs to the caller's
// record all at once, just before the final status, so that a caller never reads half-written
// outputs.
// Locks: m_csState guards the status, the change count, the history, the detached flag and the
// error fields (a leaf: nothing is logged or called while it is held).
// Waits: one manual-reset event for the adapter's life signals every status change; waiters
// wait on it together with the worker's done event, each wait bounded by the record's wait value.
// The worker waits for each WinHTTP call's completion together with the cancel event (WinHttpCall),
// so a cancel ends it at once, even on a server that stalls: it closes its request handle and
// leaves; an operation that WinHTTP cannot end at once completes later into the WinHttpCall,
// which outlives the worker. Should the worker still not end, the waiters do not wait for it:
// CANCEL_REPORT_MS after the cancel the adapter reports status 10 and result 18500 itself and
// detaches the record, and the worker, once it returns, ends without touching the record. The
// destructor joins the worker.
#include "CriticalSection.h"
#include "HTTP_Connection.h"
#include "ScopedHandle.h"
#include "WinHttpCall.h"
#include "WinHttpHandles.h"
#include <string>
#include <vector>

class ReplacingFile;
class ResponseBody;

class WinHTTPAdapter : public HTTP_Connection {
public:
    static constexpr DWORD PLATFORM_TIMEOUT_MS = 50000;
    static constexpr DWORD READ_BLOCK_BYTES = WinHttpCall::BUFFER_BYTES;
    // One WinHTTP call may take its resolve, connect, send and receive time-outs end to end.
    static constexpr DWORD CALL_LIMIT_MS = 4 * PLATFORM_TIMEOUT_MS;
    static constexpr DWORD CANCEL_REPORT_MS = 1500;
    static constexpr DWORD JOIN_LOG_INTERVAL_MS = 10000;
    static constexpr DWORD URL_PART_CHARS = 4096;
    static constexpr DWORD CONTENT_TYPE_BYTES = 2048;
    static constexpr DWORD DISPOSITION_BYTES = 4096;
    static constexpr DWORD REQUEST_FLAGS_HTTP = 0x144;
    static constexpr DWORD REQUEST_FLAGS_HTTPS = 0x800144;
    static constexpr long HTTP_OK = 200;
    static const wchar_t USER_AGENT[];

    WinHTTPAdapter();
    ~WinHTTPAdapter() override;
    WinHTTPAdapter(const WinHTTPAdapter &) = delete;
    WinHTTPAdapter &operator=(const WinHTTPAdapter &) = delete;

    // False when the status event cannot be made (the adapter then refuses every request).
    bool IsUsable() const { return m_hStatusEvent.IsValid() && m_hCancelEvent.IsValid() && m_hWorkerDone.IsValid(); }

    bool URLOpen(HttpRequestInfo *pRequest, const std::wstring &strDownloadFolder) override;
    void Cancel() override;
    long GetStatus() override;
    long WaitStatusChange() override;
    void GetProgress(long long &llReceived, long long &llTotal) override;

    // Diagnostics: the last platform error, its text and the result code of the last failure,
    // and every status set since the last URLOpen (in order).
    long GetLastErrorCode() const;
    std::wstring GetLastErrorText() const;
    long GetResultCode() const;
    std::vector<long> GetStatusHistory() const;

private:
    static DWORD WINAPI HttpRequestTh(void *pParam);
    static void CALLBACK StatusFuncWinHTTP(HINTERNET hInternet, DWORD_PTR dwContext, DWORD dwStatus,
                                           LPVOID pInfo, DWORD dwInfoLength);
    bool StartWorker();
    void PrepareWork(HttpRequestInfo &request);
    long HttpRequest();
    long RunExchange();
    long CrackURL(std::wstring &strHost, INTERNET_PORT &nPort, std::wstring &strPath, bool &bSecure);
    long OpenSession(ScopedWinHttp &hSession);
    long SetTimeouts(HINTERNET hSession);
    long SendRequest(HINTERNET hSession, const std::wstring &strHost, INTERNET_PORT nPort,
                     const std::wstring &strPath, bool bSecure, ScopedWinHttp &hConnect, ScopedWinHttp &hRequest);
    long OpenRequestHandle(HINTERNET hConnect, const std::wstring &strVerb, const std::wstring &strObject,
                           bool bSecure, ScopedWinHttp &hRequest);
    long SetCredentials(HINTERNET hRequest);
    long SetOptionText(HINTERNET hRequest, DWORD dwOption, const wchar_t *pszName, const std::wstring &strValue);
    long SendAndReceive(HINTERNET hRequest, bool bGet);
    long AwaitCall(const wchar_t *pszApi, DWORD dwExpected, DWORD &dwBytes);
    long QueryAvailable(HINTERNET hRequest, DWORD &dwAvailable);
    long ReadBlock(HINTERNET hRequest, DWORD dwWanted, DWORD &dwRead);
    long CheckStatusCode(HINTERNET hRequest);
    long ReadResponse(HINTERNET hRequest);
    long ChooseAttachment(HINTERNET hRequest, ReplacingFile &file, bool &bToFile);
    long ReadBody(HINTERNET hRequest, ReplacingFile &file, bool bToFile, ResponseBody &body, DWORD &dwTotal);
    long FinishBody(ReplacingFile &file, bool bToFile, ResponseBody &body, DWORD dwTotal);
    void SetProgress(DWORD dwReceived, DWORD dwTotal);
    bool QueryHeaderText(HINTERNET hRequest, DWORD dwInfoLevel, const wchar_t *pszName, DWORD dwMaxBytes,
                         std::wstring &strValue, DWORD &dwError);
    bool WrapWinHttpQueryHeaders(HINTERNET hRequest, DWORD dwInfoLevel, void *pBuffer, DWORD &dwLength);
    long RecordError(const wchar_t *pszApi);
    long RecordErrorCode(const wchar_t *pszApi, DWORD dwError);
    std::wstring ErrorText(DWORD dwError);

    void SetStatus(long lStatus);
    void SignalChange();
    bool isCancel() const;
    bool WorkerRunning() const;
    long FinalStatus();
    long WaitForCancelEnd();
    void PublishOutputs();
    void JoinWorker();

    // Fields in the designed order, then what the mended behaviour needs.
    HttpRequestInfo *m_pRequest;
    volatile LONG m_lCancel;
    long m_lStatus;
    std::wstring m_strDownloadFolder;
    ScopedHandle m_hStatusEvent;
    ScopedHandle m_hWorkerDone;   // the worker: manual reset, set while none runs
    std::string m_strBody;
    ScopedModule m_hMessageModule;
    long m_lLastError;
    std::wstring m_strLastErrorText;
    long m_lResultCode;

    HttpRequestInfo m_work;
    DWORD m_dwWaitMs;
    DWORD m_dwCancelTick;
    long m_lChangeCount;
    long m_lReportedCount;
    bool m_bDetached;
    std::vector<long> m_vecHistory;
    ScopedHandle m_hCancelEvent;   // manual reset: set by Cancel, reset by URLOpen
    ScopedWinHttpCall m_call;      // the running request's completions (worker only)
    mutable CriticalSection m_csState;
    long long m_llProgressReceived = 0;   // guarded by m_csState
    long long m_llProgressTotal = 0;
};
