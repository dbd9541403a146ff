#include "WinHTTPAdapter.h"
#include "AttachmentName.h"
#include "ConvertString.h"
#include "HttpLogText.h"
#include "Log.h"
#include "MessageIds.h"
#include "ReplacingFile.h"
#include "ResponseBody.h"
#include <cwctype>
#include <new>
#include <vector>

const wchar_t WinHTTPAdapter::USER_AGENT[] = L"NolvexConnect1.0.0.0";

namespace {
const wchar_t kGet[] = L"GET";
const wchar_t kPost[] = L"POST";
const wchar_t kHttpVersion[] = L"HTTP/1.1";
const wchar_t kFormHeader[] = L"Content-Type: application/x-www-form-urlencoded";
const wchar_t kAcceptBinary[] = L"Application/binary";
const wchar_t kMessageModule[] = L"WININET.DLL";
// Asked for by name: not every WinHTTP knows the header's own info level.
const wchar_t kDispositionHeader[] = L"Content-Disposition";
// An attachment arrives under this suffix and takes its own name only once it is whole.
const wchar_t kPartSuffix[] = L".part";

std::wstring Upper(const std::wstring &str)
{
    std::wstring strUpper(str);
    for (wchar_t &c : strUpper) c = static_cast<wchar_t>(std::towupper(c));
    return strUpper;
}

DWORD ElapsedSince(DWORD dwStart)
{
    return GetTickCount() - dwStart;
}

// The notifications that come with every block of an answer. They are not traced: each trace call
// looks for the trace switch file, which costs more than reading the block.
bool IsBlockNotification(DWORD dwStatus)
{
    return dwStatus == WINHTTP_CALLBACK_STATUS_RECEIVING_RESPONSE || dwStatus == WINHTTP_CALLBACK_STATUS_RESPONSE_RECEIVED ||
           dwStatus == WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE || dwStatus == WINHTTP_CALLBACK_STATUS_READ_COMPLETE;
}
}   // namespace

WinHTTPAdapter::WinHTTPAdapter()
    : m_pRequest(nullptr), m_lCancel(0), m_lStatus(STATUS_IDLE), m_lLastError(0), m_lResultCode(0),
      m_dwWaitMs(HttpRequestInfo::DEFAULT_WAIT_MS), m_dwCancelTick(0), m_lChangeCount(0), m_lReportedCount(0),
      m_bDetached(false)
{
    m_hStatusEvent.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!m_hStatusEvent) LOG_API_ERROR(L"CreateEventW", GetLastError());
    m_hCancelEvent.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!m_hCancelEvent) LOG_API_ERROR(L"CreateEventW", GetLastError());
    m_hWorkerDone.Reset(CreateEventW(nullptr, TRUE, TRUE, nullptr));   // no worker yet
    if (!m_hWorkerDone) LOG_API_ERROR(L"CreateEventW", GetLastError());
}

WinHTTPAdapter::~WinHTTPAdapter()
{
    LOG_SCOPE();
    if (WorkerRunning()) Cancel();
    JoinWorker();
}

HTTP_Connection *CreateHTTPConnection()
{
    WinHTTPAdapter *pAdapter = new (std::nothrow) WinHTTPAdapter();
    if (pAdapter == nullptr) {
        LOGWRITE(LOG_ERROR, L"Failed to generate a WinHTTPAdapter class");
        return nullptr;
    }
    if (!pAdapter->IsUsable()) {
        delete pAdapter;
        return nullptr;
    }
    return pAdapter;
}

// ---- the caller's side ------------------------------------------------------------------------

bool WinHTTPAdapter::URLOpen(HttpRequestInfo *pRequest, const std::wstring &strDownloadFolder)
{
    LOG_SCOPE();
    if (pRequest == nullptr || !IsUsable()) {
        LOGWRITE(LOG_ERROR, L"Invalid Parameter");
        return false;
    }
    if (WorkerRunning()) {
        LOGWRITE(LOG_ERROR, L"A request is still running: a second one is refused");
        return false;
    }
    JoinWorker();
    pRequest->strMethod = Upper(pRequest->strMethod);
    LOGWRITE(LOG_DEBUG, L"[InputInfo] URL[%s] Method[%s] Folder[%s] Proxy[%d] Wait[%ld]",
             HttpLogText::MaskSecrets(pRequest->strURL).c_str(), pRequest->strMethod.c_str(),
             strDownloadFolder.c_str(), (int)pRequest->bProxyFlag, pRequest->lWaitValue);
    LOGWRITE(LOG_DEBUG, L"[InputInfo] User[%s] Password[%s] ProxyUser[%s] ProxyPassword[%s] Data[%s]",
             pRequest->strUserName.c_str(), HttpLogText::Braced(pRequest->strPassword).c_str(),
             pRequest->strProxyUserName.c_str(), HttpLogText::Braced(pRequest->strProxyPassword).c_str(),
             HttpLogText::MaskSecrets(pRequest->strData).c_str());
    PrepareWork(*pRequest);
    m_strDownloadFolder = strDownloadFolder;
    InterlockedExchange(&m_lCancel, 0);
    if (!ResetEvent(m_hCancelEvent.Get())) {
        LOG_API_ERROR(L"ResetEvent", GetLastError());
        return false;
    }
    {
        CriticalSection::Lock lock(m_csState);
        m_pRequest = pRequest;
        m_bDetached = false;
        m_vecHistory.clear();
        m_llProgressReceived = 0;
        m_llProgressTotal = 0;
    }
    SetStatus(STATUS_STARTED);
    return StartWorker();
}

void WinHTTPAdapter::PrepareWork(HttpRequestInfo &request)
{
    ReleaseResponseBuffer(request);
    request.lHttpStatus = 0;
    request.lResult = 0;
    request.strResponseText.clear();
    request.lContentLength = 0;
    request.strDownloadedFile.clear();
    m_work = request;               // inputs; the outputs start empty
    m_work.hResponseBuffer = nullptr;
    m_dwWaitMs = request.lWaitValue > 0 ? static_cast<DWORD>(request.lWaitValue) : HttpRequestInfo::DEFAULT_WAIT_MS;
}

// The worker runs on a thread of the process's pool: the exchange may block for its time-outs,
// which the pool is told, so that it keeps other threads for other work.
bool WinHTTPAdapter::StartWorker()
{
    LOGWRITE(LOG_DEBUG, L"[API Call] QueueUserWorkItem");
    if (!ResetEvent(m_hWorkerDone.Get())) {
        m_pRequest->lResult = RecordError(L"ResetEvent");
        SetStatus(STATUS_ERROR);
        return false;
    }
    if (!QueueUserWorkItem(HttpRequestTh, this, WT_EXECUTELONGFUNCTION)) {
        m_pRequest->lResult = RecordError(L"QueueUserWorkItem");
        if (!SetEvent(m_hWorkerDone.Get())) LOG_API_ERROR(L"SetEvent", GetLastError());
        SetStatus(STATUS_ERROR);
        return false;
    }
    return true;
}

void WinHTTPAdapter::Cancel()
{
    LOG_SCOPE();
    {
        CriticalSection::Lock lock(m_csState);
        if (InterlockedExchange(&m_lCancel, 1) == 0) m_dwCancelTick = GetTickCount();
    }
    // The worker waits on this beside every WinHTTP call: it closes its request and ends.
    if (!SetEvent(m_hCancelEvent.Get())) LOG_API_ERROR(L"SetEvent", GetLastError());
    SignalChange();   // waiters look at the cancel at once
}

long WinHTTPAdapter::GetStatus()
{
    CriticalSection::Lock lock(m_csState);
    m_lReportedCount = m_lChangeCount;
    return m_lStatus;
}

long WinHTTPAdapter::WaitStatusChange()
{
    if (!WorkerRunning()) return FinalStatus();
    DWORD dwStart = GetTickCount();
    for (;;) {
        DWORD dwResetError = ERROR_SUCCESS;
        {
            CriticalSection::Lock lock(m_csState);
            if (m_lChangeCount != m_lReportedCount) {
                m_lReportedCount = m_lChangeCount;
                return m_lStatus;
            }
            // Only with nothing unseen: no change is lost.
            if (!ResetEvent(m_hStatusEvent.Get())) dwResetError = GetLastError();
        }
        if (dwResetError != ERROR_SUCCESS) {
            LOG_API_ERROR(L"ResetEvent", dwResetError);
            return GetStatus();
        }
        if (!WorkerRunning()) return FinalStatus();
        if (isCancel()) return WaitForCancelEnd();
        DWORD dwElapsed = ElapsedSince(dwStart);
        if (dwElapsed >= m_dwWaitMs) return GetStatus();
        HANDLE ahWait[] = {m_hStatusEvent.Get(), m_hWorkerDone.Get()};
        DWORD dwWait = WaitForMultipleObjects(2, ahWait, FALSE, m_dwWaitMs - dwElapsed);
        if (dwWait == WAIT_FAILED) {
            LOG_API_ERROR(L"WaitForMultipleObjects", GetLastError());
            return GetStatus();
        }
    }
}

// The cancelled worker normally ends at once; one stuck in a blocking call is left behind after
// CANCEL_REPORT_MS: the caller is told "cancelled" and the record no longer belongs to the worker.
long WinHTTPAdapter::WaitForCancelEnd()
{
    DWORD dwElapsed;
    {
        CriticalSection::Lock lock(m_csState);
        dwElapsed = ElapsedSince(m_dwCancelTick);
    }
    DWORD dwLeft = dwElapsed >= CANCEL_REPORT_MS ? 0 : CANCEL_REPORT_MS - dwElapsed;
    if (WaitForSingleObject(m_hWorkerDone.Get(), dwLeft) == WAIT_OBJECT_0) return FinalStatus();
    LOGWRITE(LOG_WARN, L"The worker has not ended %lu ms after the cancel: the request is reported canceled",
             CANCEL_REPORT_MS);
    {
        CriticalSection::Lock lock(m_csState);
        if (!m_bDetached && m_pRequest != nullptr) m_pRequest->lResult = MSG_CONNECTION_CANCELED;
        m_bDetached = true;
    }
    SetStatus(STATUS_CANCELED);
    return GetStatus();
}

long WinHTTPAdapter::FinalStatus()
{
    CriticalSection::Lock lock(m_csState);
    if (m_lStatus != STATUS_IDLE && m_lStatus != STATUS_CANCELED) m_lStatus = STATUS_IDLE;
    m_lReportedCount = m_lChangeCount;
    return m_lStatus;
}

bool WinHTTPAdapter::WorkerRunning() const
{
    return m_hWorkerDone && WaitForSingleObject(m_hWorkerDone.Get(), 0) == WAIT_TIMEOUT;
}

void WinHTTPAdapter::JoinWorker()
{
    while (m_hWorkerDone && WaitForSingleObject(m_hWorkerDone.Get(), JOIN_LOG_INTERVAL_MS) == WAIT_TIMEOUT)
        LOGWRITE(LOG_WARN, L"Waiting for the worker of a canceled request to leave its platform call");
}

long WinHTTPAdapter::GetLastErrorCode() const
{
    CriticalSection::Lock lock(m_csState);
    return m_lLastError;
}

std::wstring WinHTTPAdapter::GetLastErrorText() const
{
    CriticalSection::Lock lock(m_csState);
    return m_strLastErrorText;
}

long WinHTTPAdapter::GetResultCode() const
{
    CriticalSection::Lock lock(m_csState);
    return m_lResultCode;
}

std::vector<long> WinHTTPAdapter::GetStatusHistory() const
{
    CriticalSection::Lock lock(m_csState);
    return m_vecHistory;
}

// ---- status, cancel and the record ------------------------------------------------------------

void WinHTTPAdapter::SetStatus(long lStatus)
{
    bool bKnown = lStatus == STATUS_IDLE || (lStatus >= STATUS_STARTED && lStatus <= STATUS_READ_COMPLETE) ||
                  lStatus == STATUS_CANCELED || lStatus == STATUS_ERROR;
    {
        CriticalSection::Lock lock(m_csState);
        // Setting the value it already has (status 2 after every block) wakes nobody: a waiter is
        // woken for a change, not once per block.
        if (bKnown && lStatus == m_lStatus && !m_vecHistory.empty()) return;
        if (bKnown) {
            m_lStatus = lStatus;
            m_vecHistory.push_back(lStatus);
        }
        ++m_lChangeCount;
    }
    SignalChange();
}

void WinHTTPAdapter::SignalChange()
{
    if (!SetEvent(m_hStatusEvent.Get())) LOG_API_ERROR(L"SetEvent", GetLastError());
}

bool WinHTTPAdapter::isCancel() const
{
    return InterlockedCompareExchange(const_cast<volatile LONG *>(&m_lCancel), 0, 0) != 0;
}

void WinHTTPAdapter::PublishOutputs()
{
    CriticalSection::Lock lock(m_csState);
    if (m_bDetached || m_pRequest == nullptr) {
        ReleaseResponseBuffer(m_work);
        return;
    }
    m_pRequest->lHttpStatus = m_work.lHttpStatus;
    m_pRequest->lResult = m_work.lResult;
    m_pRequest->strResponseText.swap(m_work.strResponseText);
    m_pRequest->hResponseBuffer = m_work.hResponseBuffer;
    m_pRequest->lResponseLength = m_work.lResponseLength;
    m_pRequest->lContentLength = m_work.lContentLength;
    m_pRequest->strDownloadedFile = m_work.strDownloadedFile;
    m_work.hResponseBuffer = nullptr;
    m_work.strResponseText.clear();
}

// ---- error recording --------------------------------------------------------------------------

long WinHTTPAdapter::RecordError(const wchar_t *pszApi)
{
    return RecordErrorCode(pszApi, GetLastError());
}

long WinHTTPAdapter::RecordErrorCode(const wchar_t *pszApi, DWORD dwError)
{
    std::wstring strText = ErrorText(dwError);
    LOGWRITE(LOG_ERROR, L"APIError [%s] rc:[%ld] msg:[%s]", pszApi, (long)dwError, strText.c_str());
    CriticalSection::Lock lock(m_csState);
    m_lLastError = static_cast<long>(dwError);
    m_strLastErrorText = strText;
    m_lResultCode = MSG_HTTP_CONNECTION_ERROR;
    return m_lResultCode;
}

std::wstring WinHTTPAdapter::ErrorText(DWORD dwError)
{
    if (!m_hMessageModule) {
        m_hMessageModule.Reset(LoadLibraryExW(kMessageModule, nullptr, LOAD_LIBRARY_AS_DATAFILE));
        if (!m_hMessageModule) LOG_API_ERROR(L"LoadLibraryExW", GetLastError());
    }
    wchar_t *pszText = nullptr;
    DWORD dwLength = 0;
    if (m_hMessageModule) {
        dwLength = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  m_hMessageModule.Get(), dwError, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                  reinterpret_cast<wchar_t *>(&pszText), 0, nullptr);
    }
    ScopedLocal hText(pszText);
    if (dwLength == 0) return SystemErrorText(dwError);
    std::wstring strText(pszText, dwLength);
    while (!strText.empty() && (strText.back() == L'\n' || strText.back() == L'\r')) strText.pop_back();
    return strText;
}

// ---- the worker -------------------------------------------------------------------------------

DWORD WINAPI WinHTTPAdapter::HttpRequestTh(void *pParam)
{
    WinHTTPAdapter *pAdapter = static_cast<WinHTTPAdapter *>(pParam);
    HANDLE hDone = pAdapter->m_hWorkerDone.Get();
    pAdapter->HttpRequest();
    // The last touch of the adapter: once the event is set, the destructor may run.
    if (!SetEvent(hDone)) LOG_API_ERROR(L"SetEvent", GetLastError());
    return 0;
}

void CALLBACK WinHTTPAdapter::StatusFuncWinHTTP(HINTERNET hInternet, DWORD_PTR dwContext, DWORD dwStatus,
                                                LPVOID pInfo, DWORD dwInfoLength)
{
    if (!IsBlockNotification(dwStatus)) LOGWRITE(LOG_TRACE, L"WinHTTP notification 0x%08lx", (unsigned long)dwStatus);
    WinHttpCall::Notify(dwContext, dwStatus, pInfo, dwInfoLength);
}

long WinHTTPAdapter::HttpRequest()
{
    LOG_SCOPE();
    SetStatus(STATUS_STARTED);
    long lResult = RunExchange();
    if (isCancel()) lResult = MSG_CONNECTION_CANCELED;
    m_work.lResult = lResult;
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] Result[%ld] HTTPStatus[%ld] Length[%ld] ContentLength[%ld] File[%s]", lResult,
             m_work.lHttpStatus, m_work.lResponseLength, m_work.lContentLength, m_work.strDownloadedFile.c_str());
    PublishOutputs();
    SetStatus(isCancel() ? STATUS_CANCELED : STATUS_IDLE);
    return lResult;
}

long WinHTTPAdapter::RunExchange()
{
    if (m_work.strURL.empty()) {
        LOGWRITE(LOG_ERROR, L"Invalid Parameter");
        return MSG_HTTP_INVALID_PARAMETER;
    }
    std::wstring strHost, strPath;
    INTERNET_PORT nPort = 0;
    bool bSecure = false;
    long lResult = CrackURL(strHost, nPort, strPath, bSecure);
    if (lResult != 0) return lResult;
    m_call.Reset(WinHttpCall::Create());
    if (!m_call) return MSG_HTTP_CONNECTION_ERROR;
    ScopedWinHttp hSession;
    if ((lResult = OpenSession(hSession)) != 0) return lResult;
    if (isCancel()) return MSG_CONNECTION_CANCELED;
    if ((lResult = SetTimeouts(hSession.Get())) != 0) return lResult;
    if (isCancel()) return MSG_CONNECTION_CANCELED;
    ScopedWinHttp hConnect, hRequest;
    lResult = SendRequest(hSession.Get(), strHost, nPort, strPath, bSecure, hConnect, hRequest);
    if (lResult == 0) lResult = ReadResponse(hRequest.Get());
    // The request before its connection and session; an operation still in progress on it
    // completes into the call record, not into this worker.
    hRequest.Reset();
    m_call.Reset();
    return lResult;
}

long WinHTTPAdapter::CrackURL(std::wstring &strHost, INTERNET_PORT &nPort, std::wstring &strPath, bool &bSecure)
{
    std::vector<wchar_t> vecHost(URL_PART_CHARS), vecPath(URL_PART_CHARS), vecExtra(URL_PART_CHARS);
    URL_COMPONENTS parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.lpszHostName = vecHost.data();
    parts.dwHostNameLength = URL_PART_CHARS;
    parts.lpszUrlPath = vecPath.data();
    parts.dwUrlPathLength = URL_PART_CHARS;
    parts.lpszExtraInfo = vecExtra.data();
    parts.dwExtraInfoLength = URL_PART_CHARS;
    LOGWRITE(LOG_DEBUG, L"[API Call] WinHttpCrackUrl");
    if (!WinHttpCrackUrl(m_work.strURL.c_str(), static_cast<DWORD>(m_work.strURL.size()), 0, &parts)) {
        long lResult = RecordError(L"WinHttpCrackUrl");
        SetStatus(STATUS_ERROR);
        return lResult;
    }
    if (isCancel()) return MSG_CONNECTION_CANCELED;
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) {
        LOGWRITE(LOG_ERROR, L"Scheme must set HTTP or HTTPS");
        return MSG_HTTP_CONNECTION_ERROR;
    }
    strHost.assign(parts.lpszHostName, parts.dwHostNameLength);
    strPath.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    strPath.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    nPort = parts.nPort;
    bSecure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    return 0;
}

long WinHTTPAdapter::OpenSession(ScopedWinHttp &hSession)
{
    DWORD dwAccess = m_work.bProxyFlag == 0 ? WINHTTP_ACCESS_TYPE_NO_PROXY : WINHTTP_ACCESS_TYPE_DEFAULT_PROXY;
    LOGWRITE(LOG_DEBUG, L"[API Call] WinHttpOpen access type %lu", dwAccess);
    hSession.Reset(WinHttpOpen(USER_AGENT, dwAccess, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC));
    if (!hSession) return RecordError(L"WinHttpOpen");
    if (isCancel()) return MSG_CONNECTION_CANCELED;
    if (WinHttpSetStatusCallback(hSession.Get(), StatusFuncWinHTTP, WINHTTP_CALLBACK_FLAG_ALL_NOTIFICATIONS, 0) ==
        WINHTTP_INVALID_STATUS_CALLBACK)
        return RecordError(L"WinHttpSetStatusCallback");
    return 0;
}

long WinHTTPAdapter::SetTimeouts(HINTERNET hSession)
{
    static const DWORD adwOptions[] = {WINHTTP_OPTION_CONNECT_TIMEOUT, WINHTTP_OPTION_RECEIVE_TIMEOUT,
                                       WINHTTP_OPTION_SEND_TIMEOUT, WINHTTP_OPTION_RESOLVE_TIMEOUT,
                                       WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT};
    for (DWORD dwOption : adwOptions) {
        DWORD dwValue = PLATFORM_TIMEOUT_MS;
        if (!WinHttpSetOption(hSession, dwOption, &dwValue, sizeof(dwValue))) return RecordError(L"WinHttpSetOption");
    }
    return 0;
}

long WinHTTPAdapter::SendRequest(HINTERNET hSession, const std::wstring &strHost, INTERNET_PORT nPort,
                                 const std::wstring &strPath, bool bSecure, ScopedWinHttp &hConnect,
                                 ScopedWinHttp &hRequest)
{
    bool bGet = m_work.strMethod == kGet;
    std::wstring strObject = strPath;
    m_strBody.clear();
    if (bGet && !m_work.strData.empty()) strObject += L"?" + m_work.strData;
    if (!bGet) ConvertString().UnicodetoUTF8(m_work.strData.c_str(), m_strBody);
    LOGWRITE(LOG_DEBUG, L"[API Call] WinHttpConnect host[%s] port[%u]", strHost.c_str(), (unsigned)nPort);
    hConnect.Reset(WinHttpConnect(hSession, strHost.c_str(), nPort, 0));
    if (!hConnect) return RecordError(L"WinHttpConnect");
    if (isCancel()) return MSG_CONNECTION_CANCELED;
    SetStatus(STATUS_CONNECTED);
    long lResult = OpenRequestHandle(hConnect.Get(), bGet ? kGet : kPost, strObject, bSecure, hRequest);
    if (lResult != 0) return lResult;
    if (isCancel()) return MSG_CONNECTION_CANCELED;
    if ((lResult = SetCredentials(hRequest.Get())) != 0) return lResult;
    if (isCancel()) return MSG_CONNECTION_CANCELED;
    return SendAndReceive(hRequest.Get(), bGet);
}

long WinHTTPAdapter::OpenRequestHandle(HINTERNET hConnect, const std::wstring &strVerb, const std::wstring &strObject,
                                       bool bSecure, ScopedWinHttp &hRequest)
{
    const wchar_t *apszAccept[] = {kAcceptBinary, nullptr};
    DWORD dwFlags = bSecure ? REQUEST_FLAGS_HTTPS : REQUEST_FLAGS_HTTP;
    LOGWRITE(LOG_DEBUG, L"[API Call] WinHttpOpenRequest verb[%s] object[%s] flags[0x%lx]", strVerb.c_str(),
             HttpLogText::MaskSecrets(strObject).c_str(), dwFlags);
    hRequest.Reset(WinHttpOpenRequest(hConnect, strVerb.c_str(), strObject.c_str(), kHttpVersion, WINHTTP_NO_REFERER,
                                      apszAccept, dwFlags));
    if (!hRequest) return RecordError(L"WinHttpOpenRequest");
    if (!m_call.Get()->Attach(hRequest.Get())) return RecordError(L"WinHttpSetOption");
    return 0;
}

// Credentials go on the request handle: the session handle does not take them everywhere.
long WinHTTPAdapter::SetCredentials(HINTERNET hRequest)
{
    long lResult = 0;
    if (!m_work.strUserName.empty()) {
        LOGWRITE(LOG_DEBUG, L"[InputInfo] server credentials for [%s] password[%s]", m_work.strUserName.c_str(),
                 HttpLogText::Braced(m_work.strPassword).c_str());
        if ((lResult = SetOptionText(hRequest, WINHTTP_OPTION_PASSWORD, L"WINHTTP_OPTION_PASSWORD", m_work.strPassword)) != 0 ||
            (lResult = SetOptionText(hRequest, WINHTTP_OPTION_USERNAME, L"WINHTTP_OPTION_USERNAME", m_work.strUserName)) != 0)
            return lResult;
    }
    if (!m_work.strProxyUserName.empty()) {
        LOGWRITE(LOG_DEBUG, L"[InputInfo] proxy credentials for [%s] password[%s]", m_work.strProxyUserName.c_str(),
                 HttpLogText::Braced(m_work.strProxyPassword).c_str());
        if ((lResult = SetOptionText(hRequest, WINHTTP_OPTION_PROXY_USERNAME, L"WINHTTP_OPTION_PROXY_USERNAME",
                                     m_work.strProxyUserName)) != 0 ||
            (lResult = SetOptionText(hRequest, WINHTTP_OPTION_PROXY_PASSWORD, L"WINHTTP_OPTION_PROXY_PASSWORD",
                                     m_work.strProxyPassword)) != 0)
            return lResult;
    }
    return 0;
}

long WinHTTPAdapter::SetOptionText(HINTERNET hRequest, DWORD dwOption, const wchar_t *pszName, const std::wstring &strValue)
{
    LOGWRITE(LOG_DEBUG, L"[API Call] WinHttpSetOption %s", pszName);
    if (!WinHttpSetOption(hRequest, dwOption, const_cast<wchar_t *>(strValue.c_str()), static_cast<DWORD>(strValue.size())))
        return RecordError(L"WinHttpSetOption");
    return 0;
}

long WinHTTPAdapter::SendAndReceive(HINTERNET hRequest, bool bGet)
{
    const wchar_t *pszHeader = bGet ? WINHTTP_NO_ADDITIONAL_HEADERS : kFormHeader;
    DWORD dwHeaderLength = bGet ? 0 : static_cast<DWORD>(wcslen(kFormHeader));
    DWORD dwBodyLength = static_cast<DWORD>(m_strBody.size());
    DWORD dwBytes = 0;
    LOGWRITE(LOG_DEBUG, L"[API Call] WinHttpSendRequest body bytes[%lu] data[%s]", dwBodyLength,
             HttpLogText::MaskSecrets(m_work.strData).c_str());
    m_call.Get()->Begin();
    if (!WinHttpSendRequest(hRequest, pszHeader, dwHeaderLength, WINHTTP_NO_REQUEST_DATA, 0, dwBodyLength,
                            m_call.Get()->Context()))
        return RecordError(L"WinHttpSendRequest");
    long lResult = AwaitCall(L"WinHttpSendRequest", WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE, dwBytes);
    if (lResult != 0) return lResult;
    if (!bGet && dwBodyLength > 0) {
        m_call.Get()->SetBody(m_strBody);   // read by WinHTTP until the write completes
        m_call.Get()->Begin();
        if (!WinHttpWriteData(hRequest, m_call.Get()->Body().data(), dwBodyLength, nullptr)) return RecordError(L"WinHttpWriteData");
        if ((lResult = AwaitCall(L"WinHttpWriteData", WINHTTP_CALLBACK_STATUS_WRITE_COMPLETE, dwBytes)) != 0) return lResult;
    }
    LOGWRITE(LOG_DEBUG, L"[API Call] WinHttpReceiveResponse");
    m_call.Get()->Begin();
    if (!WinHttpReceiveResponse(hRequest, nullptr)) return RecordError(L"WinHttpReceiveResponse");
    if ((lResult = AwaitCall(L"WinHttpReceiveResponse", WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE, dwBytes)) != 0)
        return lResult;
    SetStatus(STATUS_RESPONSE);
    return CheckStatusCode(hRequest);
}

// The completion of the call begun last: 0, the cancel (18500), or the call's failure recorded.
long WinHTTPAdapter::AwaitCall(const wchar_t *pszApi, DWORD dwExpected, DWORD &dwBytes)
{
    WinHttpCall::Completion completion = {};
    switch (m_call.Get()->Wait(m_hCancelEvent.Get(), CALL_LIMIT_MS, completion)) {
    case WinHttpCall::CALL_DONE:
        break;
    case WinHttpCall::CALL_CANCELED:
        LOGWRITE(LOG_DEBUG, L"[API Return] %s left for the cancel", pszApi);
        return MSG_CONNECTION_CANCELED;
    case WinHttpCall::CALL_TIMED_OUT:
        return RecordErrorCode(pszApi, ERROR_WINHTTP_TIMEOUT);
    default:
        return RecordErrorCode(pszApi, ERROR_WINHTTP_INTERNAL_ERROR);
    }
    if (completion.dwStatus == WINHTTP_CALLBACK_STATUS_REQUEST_ERROR) return RecordErrorCode(pszApi, completion.dwError);
    if (completion.dwStatus != dwExpected) {
        LOGWRITE(LOG_ERROR, L"%s completed with notification 0x%08lx", pszApi, (unsigned long)completion.dwStatus);
        return RecordErrorCode(pszApi, ERROR_WINHTTP_INTERNAL_ERROR);
    }
    dwBytes = completion.dwBytes;
    return 0;
}

long WinHTTPAdapter::CheckStatusCode(HINTERNET hRequest)
{
    DWORD dwCode = 0;
    DWORD dwLength = sizeof(dwCode);
    if (!WrapWinHttpQueryHeaders(hRequest, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, &dwCode, dwLength)) {
        SetStatus(STATUS_ERROR);
        return MSG_HTTP_NO_STATUS;
    }
    m_work.lHttpStatus = static_cast<long>(dwCode);
    if (m_work.lHttpStatus != HTTP_OK) {
        LOGWRITE(LOG_ERROR, L"HTTP Status Code is not OK. HTTPStatusCode[%ld]", m_work.lHttpStatus);
        return MSG_HTTP_CONNECTION_ERROR;
    }
    if (isCancel()) return MSG_CONNECTION_CANCELED;
    return 0;
}

bool WinHTTPAdapter::WrapWinHttpQueryHeaders(HINTERNET hRequest, DWORD dwInfoLevel, void *pBuffer, DWORD &dwLength)
{
    if (WinHttpQueryHeaders(hRequest, dwInfoLevel, WINHTTP_HEADER_NAME_BY_INDEX, pBuffer, &dwLength, WINHTTP_NO_HEADER_INDEX))
        return true;
    RecordError(L"WinHttpQueryHeaders");
    return false;
}

// A header as text, at most dwMaxBytes; dwError is 0 or the error of the query.
bool WinHTTPAdapter::QueryHeaderText(HINTERNET hRequest, DWORD dwInfoLevel, const wchar_t *pszName, DWORD dwMaxBytes,
                                     std::wstring &strValue, DWORD &dwError)
{
    std::vector<wchar_t> vecBuffer(dwMaxBytes / sizeof(wchar_t));
    DWORD dwLength = dwMaxBytes;
    strValue.clear();
    dwError = 0;
    if (!WinHttpQueryHeaders(hRequest, dwInfoLevel, pszName, vecBuffer.data(), &dwLength, WINHTTP_NO_HEADER_INDEX)) {
        dwError = GetLastError();
        return false;
    }
    strValue.assign(vecBuffer.data(), dwLength / sizeof(wchar_t));
    return true;
}

long WinHTTPAdapter::ReadResponse(HINTERNET hRequest)
{
    LOG_SCOPE();
    SetStatus(STATUS_RECEIVING);
    DWORD dwContentLength = 0;
    DWORD dwLength = sizeof(dwContentLength);
    if (WinHttpQueryHeaders(hRequest, WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                            &dwContentLength, &dwLength, WINHTTP_NO_HEADER_INDEX))
        m_work.lContentLength = static_cast<long>(dwContentLength);
    SetProgress(0, dwContentLength);
    std::wstring strType;
    DWORD dwError = 0;
    if (!QueryHeaderText(hRequest, WINHTTP_QUERY_CONTENT_TYPE, WINHTTP_HEADER_NAME_BY_INDEX, CONTENT_TYPE_BYTES, strType, dwError)) {
        if (dwError != ERROR_WINHTTP_HEADER_NOT_FOUND) return RecordErrorCode(L"WinHttpQueryHeaders", dwError);
        LOGWRITE(LOG_DEBUG, L"The answer has no Content-Type");
    }
    ReplacingFile file;
    bool bToFile = false;
    long lResult = ChooseAttachment(hRequest, file, bToFile);
    if (lResult != 0) return lResult;
    ResponseBody body;
    DWORD dwTotal = 0;
    if ((lResult = ReadBody(hRequest, file, bToFile, body, dwTotal)) != 0) return lResult;
    return FinishBody(file, bToFile, body, dwTotal);
}

// With a download folder: an attachment with a plain file name is written to the folder; one with
// any other name is refused; an answer that is no attachment is kept in memory as usual.
long WinHTTPAdapter::ChooseAttachment(HINTERNET hRequest, ReplacingFile &file, bool &bToFile)
{
    bToFile = false;
    if (m_strDownloadFolder.empty()) return 0;
    std::wstring strDisposition;
    DWORD dwError = 0;
    if (!QueryHeaderText(hRequest, WINHTTP_QUERY_CUSTOM, kDispositionHeader, DISPOSITION_BYTES, strDisposition, dwError)) {
        if (dwError == ERROR_WINHTTP_HEADER_NOT_FOUND) {
            LOGWRITE(LOG_DEBUG, L"The answer is no attachment (no Content-Disposition)");
            return 0;
        }
        RecordErrorCode(L"WinHttpQueryHeaders", dwError);
        return MSG_HTTP_NO_HEADER;
    }
    std::wstring strName = AttachmentName::FromHeader(strDisposition);
    if (!AttachmentName::IsAttachment(strDisposition)) {
        LOGWRITE(LOG_DEBUG, L"The answer is no attachment: Content-Disposition[%s]", strDisposition.c_str());
        return 0;
    }
    std::wstring strReason;
    if (!AttachmentName::IsPlainFileName(strName, strReason)) {
        LOGWRITE(LOG_ERROR, L"Attachment name refused [%s]: %s", strName.c_str(), strReason.c_str());
        return MSG_HTTP_NO_DOWNLOAD_NAME;
    }
    std::wstring strPath = AttachmentName::JoinFolder(m_strDownloadFolder, strName);
    if (!file.Open(strPath, strPath + kPartSuffix)) LOGWRITE(LOG_ERROR, L"File Write Error[%s]", strPath.c_str());
    bToFile = true;
    return 0;
}

// Asks for what has arrived, then reads no more than that: a read never waits on the network, so
// only the asking waits, and the cancel ends that wait.
long WinHTTPAdapter::ReadBody(HINTERNET hRequest, ReplacingFile &file, bool bToFile, ResponseBody &body, DWORD &dwTotal)
{
    for (;;) {
        DWORD dwAvailable = 0, dwRead = 0;
        long lResult = QueryAvailable(hRequest, dwAvailable);
        if (lResult == 0 && dwAvailable > 0)
            lResult = ReadBlock(hRequest, dwAvailable < READ_BLOCK_BYTES ? dwAvailable : READ_BLOCK_BYTES, dwRead);
        if (lResult != 0) {
            if (lResult != MSG_CONNECTION_CANCELED) SetStatus(STATUS_ERROR);
            return lResult;
        }
        SetStatus(STATUS_RECEIVING);
        if (dwRead == 0) return 0;
        dwTotal += dwRead;
        SetProgress(dwTotal, static_cast<DWORD>(m_work.lContentLength));
        const BYTE *pbBlock = m_call.Get()->Buffer();
        if (bToFile) {
            if (file.IsOpen() && !file.Write(pbBlock, dwRead)) {
                LOGWRITE(LOG_ERROR, L"File Write Error[%s]", file.GetPath().c_str());
                file.Abandon();
            }
        } else {
            bool bOverCap = false;
            if (!body.Append(pbBlock, dwRead, bOverCap)) {
                if (bOverCap) LOGWRITE(LOG_ERROR, L"The answer is larger than %lu bytes", ResponseBody::MAX_TEXT_BYTES);
                return MSG_HTTP_CONNECTION_ERROR;
            }
        }
        if (isCancel()) return MSG_CONNECTION_CANCELED;
    }
}

long WinHTTPAdapter::QueryAvailable(HINTERNET hRequest, DWORD &dwAvailable)
{
    m_call.Get()->Begin();
    if (!WinHttpQueryDataAvailable(hRequest, nullptr)) return RecordError(L"WinHttpQueryDataAvailable");
    return AwaitCall(L"WinHttpQueryDataAvailable", WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE, dwAvailable);
}

long WinHTTPAdapter::ReadBlock(HINTERNET hRequest, DWORD dwWanted, DWORD &dwRead)
{
    m_call.Get()->Begin();
    if (!WinHttpReadData(hRequest, m_call.Get()->Buffer(), dwWanted, nullptr)) return RecordError(L"WinHttpReadData");
    return AwaitCall(L"WinHttpReadData", WINHTTP_CALLBACK_STATUS_READ_COMPLETE, dwRead);
}

long WinHTTPAdapter::FinishBody(ReplacingFile &file, bool bToFile, ResponseBody &body, DWORD dwTotal)
{
    // A connection that closes before the announced length is a broken answer, not a short one.
    if (m_work.lContentLength > 0 && dwTotal < static_cast<DWORD>(m_work.lContentLength)) {
        LOGWRITE(LOG_ERROR, L"The answer ended after %lu of %ld bytes", dwTotal, m_work.lContentLength);
        m_work.lResponseLength = static_cast<long>(dwTotal);
        return MSG_HTTP_CONNECTION_ERROR;
    }
    if (bToFile) {
        if (file.IsOpen() && file.Commit(ReplacingFile::KEEP_CACHED)) m_work.strDownloadedFile = file.GetPath();
        else LOGWRITE(LOG_ERROR, L"File Write Error[%s]", file.GetPath().c_str());
    } else if (body.Size() > 0) {
        ConvertString().UTF8toUNICODE(body.Data(), m_work.strResponseText);
        m_work.hResponseBuffer = body.Detach();
    }
    m_work.lResponseLength = static_cast<long>(dwTotal);
    SetStatus(STATUS_READ_COMPLETE);
    if (m_work.lContentLength == 0 && dwTotal > 0) m_work.lContentLength = m_work.lResponseLength;
    return 0;
}

void WinHTTPAdapter::SetProgress(DWORD dwReceived, DWORD dwTotal)
{
    CriticalSection::Lock lock(m_csState);
    m_llProgressReceived = dwReceived;
    m_llProgressTotal = dwTotal;
}

void WinHTTPAdapter::GetProgress(long long &llReceived, long long &llTotal)
{
    CriticalSection::Lock lock(m_csState);
    llReceived = m_llProgressReceived;
    llTotal = m_llProgressTotal;
}
