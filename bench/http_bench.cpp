// HTTP adapter cost: a registration-sized POST exchange and a 20 MB attachment download through
// WinHTTPAdapter, each beside two minimal direct WinHTTP loops doing the same exchange (same verb,
// headers, flags, user agent, proxy access type and read block size) in the same run, rounds
// alternated; the medians are reported:
//   - synchronous, on the calling thread: the plainest exchange there is;
//   - asynchronous, on a thread of the pool that the caller waits for: the least that an exchange
//     costs which a cancel can end under Wine (the adapter's design), without the adapter.
// The mock server comes from bench/http_bench.py:
//   http_bench <post URL> <download URL> <download folder>
#include "WinHTTPAdapter.h"
#include "WinHttpHandles.h"
#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

const int kPostRounds = 60;
const int kDownloadRounds = 9;
// A registration exchange sends about this much form data.
const size_t kPostBodyChars = 1200;

double Seconds(const LARGE_INTEGER &liStart, const LARGE_INTEGER &liEnd)
{
    LARGE_INTEGER liFreq;
    QueryPerformanceFrequency(&liFreq);
    return double(liEnd.QuadPart - liStart.QuadPart) / double(liFreq.QuadPart);
}

double Median(std::vector<double> vec)
{
    std::sort(vec.begin(), vec.end());
    return vec[vec.size() / 2];
}

double TimeOnce(const std::function<bool()> &fn, bool &bOk)
{
    LARGE_INTEGER liStart, liEnd;
    QueryPerformanceCounter(&liStart);
    bOk = fn() && bOk;
    QueryPerformanceCounter(&liEnd);
    return Seconds(liStart, liEnd);
}

std::wstring FormBody()
{
    std::wstring str = L"nolvexID=user01&standardPassword=pw&terminalInfo=";
    while (str.size() < kPostBodyChars) str += L"abcdefghij";
    return str;
}

bool AdapterExchange(const std::wstring &strURL, const std::wstring &strMethod, const std::wstring &strData,
                     const std::wstring &strFolder)
{
    WinHTTPAdapter adapter;
    HttpRequestInfo request;
    request.strURL = strURL;
    request.strMethod = strMethod;
    request.strData = strData;
    if (!adapter.URLOpen(&request, strFolder)) return false;
    long lStatus = adapter.GetStatus();
    while (lStatus != HTTP_Connection::STATUS_IDLE && lStatus != HTTP_Connection::STATUS_CANCELED)
        lStatus = adapter.WaitStatusChange();
    ReleaseResponseBuffer(request);
    return request.lResult == 0;
}

const wchar_t kFormHeader[] = L"Content-Type: application/x-www-form-urlencoded";

// The three handles of one direct exchange, closed request first.
struct DirectRequest {
    ScopedWinHttp hSession;
    ScopedWinHttp hConnect;
    ScopedWinHttp hRequest;
};

// Session, connection and request as the adapter makes them (no proxy). With a callback the
// session is asynchronous and reports to it.
bool OpenDirect(const std::wstring &strURL, bool bPost, WINHTTP_STATUS_CALLBACK pfnCallback, DirectRequest &direct)
{
    URL_COMPONENTS parts = {};
    wchar_t szHost[256] = {}, szPath[2048] = {};
    parts.dwStructSize = sizeof(parts);
    parts.lpszHostName = szHost;
    parts.dwHostNameLength = 256;
    parts.lpszUrlPath = szPath;
    parts.dwUrlPathLength = 2048;
    if (!WinHttpCrackUrl(strURL.c_str(), 0, 0, &parts)) return false;
    direct.hSession.Reset(WinHttpOpen(WinHTTPAdapter::USER_AGENT, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                      WINHTTP_NO_PROXY_BYPASS, pfnCallback ? WINHTTP_FLAG_ASYNC : 0));
    if (!direct.hSession) return false;
    if (pfnCallback && WinHttpSetStatusCallback(direct.hSession.Get(), pfnCallback, WINHTTP_CALLBACK_FLAG_ALL_NOTIFICATIONS,
                                                0) == WINHTTP_INVALID_STATUS_CALLBACK)
        return false;
    direct.hConnect.Reset(WinHttpConnect(direct.hSession.Get(), szHost, parts.nPort, 0));
    if (!direct.hConnect) return false;
    const wchar_t *apszAccept[] = {L"Application/binary", nullptr};
    direct.hRequest.Reset(WinHttpOpenRequest(direct.hConnect.Get(), bPost ? L"POST" : L"GET", szPath, L"HTTP/1.1",
                                             WINHTTP_NO_REFERER, apszAccept, WinHTTPAdapter::REQUEST_FLAGS_HTTP));
    return direct.hRequest.IsValid();
}

// Where a direct exchange puts the answer: the file when one is named, else memory.
class BodySink {
public:
    explicit BodySink(const std::wstring &strFile)
    {
        if (!strFile.empty()) m_hFile.Reset(CreateFileW(strFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    }
    void Take(const BYTE *pbBlock, DWORD dwBytes)
    {
        DWORD dwWritten = 0;
        if (m_hFile) WriteFile(m_hFile.Get(), pbBlock, dwBytes, &dwWritten, nullptr);
        else m_strKept.append(reinterpret_cast<const char *>(pbBlock), dwBytes);
    }

private:
    ScopedFileHandle m_hFile;
    std::string m_strKept;
};

// The same exchange written straight against WinHTTP on the calling thread.
bool DirectExchange(const std::wstring &strURL, bool bPost, const std::string &strBody, const std::wstring &strFile)
{
    DirectRequest direct;
    if (!OpenDirect(strURL, bPost, nullptr, direct)) return false;
    HINTERNET hRequest = direct.hRequest.Get();
    if (!WinHttpSendRequest(hRequest, bPost ? kFormHeader : WINHTTP_NO_ADDITIONAL_HEADERS,
                            bPost ? (DWORD)wcslen(kFormHeader) : 0, WINHTTP_NO_REQUEST_DATA, 0, (DWORD)strBody.size(), 1))
        return false;
    DWORD dwWritten = 0;
    if (bPost && !WinHttpWriteData(hRequest, strBody.data(), (DWORD)strBody.size(), &dwWritten)) return false;
    if (!WinHttpReceiveResponse(hRequest, nullptr)) return false;
    BodySink sink(strFile);
    BYTE abBlock[WinHTTPAdapter::READ_BLOCK_BYTES];
    DWORD dwRead = 0;
    while (WinHttpReadData(hRequest, abBlock, sizeof(abBlock), &dwRead) && dwRead > 0) sink.Take(abBlock, dwRead);
    return true;
}

// The same exchange in WinHTTP's asynchronous mode: each call's completion comes through the
// status callback, which wakes the loop through one auto-reset event.
struct AsyncLoop {
    HANDLE hEvent;
    DWORD dwStatus;
    DWORD dwBytes;
};

void CALLBACK AsyncCallback(HINTERNET, DWORD_PTR dwContext, DWORD dwStatus, LPVOID pInfo, DWORD dwLength)
{
    AsyncLoop *pLoop = reinterpret_cast<AsyncLoop *>(dwContext);
    switch (dwStatus) {
    case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
        pLoop->dwBytes = *static_cast<DWORD *>(pInfo);
        break;
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
    case WINHTTP_CALLBACK_STATUS_WRITE_COMPLETE:
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
        pLoop->dwBytes = dwLength;
        break;
    default:
        return;
    }
    pLoop->dwStatus = dwStatus;
    SetEvent(pLoop->hEvent);
}

bool AwaitAsync(AsyncLoop &loop, BOOL bStarted)
{
    return bStarted && WaitForSingleObject(loop.hEvent, INFINITE) == WAIT_OBJECT_0 &&
           loop.dwStatus != WINHTTP_CALLBACK_STATUS_REQUEST_ERROR;
}

bool DirectAsyncExchange(const std::wstring &strURL, bool bPost, const std::string &strBody, const std::wstring &strFile)
{
    ScopedHandle hEvent(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    AsyncLoop loop = {hEvent.Get(), 0, 0};
    DirectRequest direct;
    if (!hEvent || !OpenDirect(strURL, bPost, AsyncCallback, direct)) return false;
    HINTERNET hRequest = direct.hRequest.Get();
    DWORD_PTR dwContext = reinterpret_cast<DWORD_PTR>(&loop);
    if (!AwaitAsync(loop, WinHttpSendRequest(hRequest, bPost ? kFormHeader : WINHTTP_NO_ADDITIONAL_HEADERS,
                                             bPost ? (DWORD)wcslen(kFormHeader) : 0, WINHTTP_NO_REQUEST_DATA, 0,
                                             (DWORD)strBody.size(), dwContext)))
        return false;
    if (bPost && !AwaitAsync(loop, WinHttpWriteData(hRequest, strBody.data(), (DWORD)strBody.size(), nullptr)))
        return false;
    if (!AwaitAsync(loop, WinHttpReceiveResponse(hRequest, nullptr))) return false;
    BodySink sink(strFile);
    std::vector<BYTE> vecBlock(WinHTTPAdapter::READ_BLOCK_BYTES);
    for (;;) {
        if (!AwaitAsync(loop, WinHttpQueryDataAvailable(hRequest, nullptr))) return false;
        if (loop.dwBytes == 0) break;
        DWORD dwWanted = loop.dwBytes < vecBlock.size() ? loop.dwBytes : (DWORD)vecBlock.size();
        if (!AwaitAsync(loop, WinHttpReadData(hRequest, vecBlock.data(), dwWanted, nullptr))) return false;
        sink.Take(vecBlock.data(), loop.dwBytes);
    }
    // The handles are closed (by DirectRequest) before the loop's event goes: their closing
    // notifications are ignored by the callback.
    return true;
}

// Runs one exchange on a thread of the pool, as the adapter runs its worker, and waits for it.
struct PoolRun {
    std::function<bool()> fn;
    HANDLE hDone;
    bool bOk;
};

DWORD WINAPI PoolThread(void *pParam)
{
    PoolRun *pRun = static_cast<PoolRun *>(pParam);
    pRun->bOk = pRun->fn();
    SetEvent(pRun->hDone);
    return 0;
}

bool OnPoolThread(const std::function<bool()> &fn)
{
    ScopedHandle hDone(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    PoolRun run = {fn, hDone.Get(), false};
    if (!hDone || !QueueUserWorkItem(PoolThread, &run, WT_EXECUTELONGFUNCTION)) return false;
    return WaitForSingleObject(hDone.Get(), INFINITE) == WAIT_OBJECT_0 && run.bOk;
}

void Report(const char *pszName, const std::vector<double> &vecAdapter, const std::vector<double> &vecDirect,
            const std::vector<double> &vecAsync, bool bOk)
{
    double dAdapter = Median(vecAdapter), dDirect = Median(vecDirect), dAsync = Median(vecAsync);
    printf("%-18s adapter %8.2f ms | direct synchronous %8.2f ms, ratio %.2f | direct asynchronous on the pool "
           "%8.2f ms, ratio %.2f%s\n",
           pszName, dAdapter * 1000.0, dDirect * 1000.0, dAdapter / dDirect, dAsync * 1000.0, dAdapter / dAsync,
           bOk ? "" : "   (SOME EXCHANGES FAILED)");
}

}   // namespace

int wmain(int argc, wchar_t **argv)
{
    if (argc != 4) {
        fprintf(stderr, "usage: http_bench <post URL> <download URL> <download folder>\n");
        return 2;
    }
    std::wstring strPostURL = argv[1], strDownloadURL = argv[2], strFolder = argv[3];
    std::wstring strData = FormBody();
    std::string strBody(strData.begin(), strData.end());
    std::vector<double> vecAdapter, vecDirect, vecAsync;
    bool bOk = true;
    for (int i = 0; i < kPostRounds; ++i) {   // alternated, so that all see the same machine load
        vecAdapter.push_back(TimeOnce([&]() { return AdapterExchange(strPostURL, L"POST", strData, L""); }, bOk));
        vecDirect.push_back(TimeOnce([&]() { return DirectExchange(strPostURL, true, strBody, L""); }, bOk));
        vecAsync.push_back(TimeOnce([&]() { return OnPoolThread([&]() { return DirectAsyncExchange(strPostURL, true, strBody, L""); }); }, bOk));
    }
    Report("registration POST", vecAdapter, vecDirect, vecAsync, bOk);
    vecAdapter.clear();
    vecDirect.clear();
    vecAsync.clear();
    std::wstring strDirectFile = strFolder + L"\\direct.bin";
    for (int i = 0; i < kDownloadRounds; ++i) {
        vecAdapter.push_back(TimeOnce([&]() { return AdapterExchange(strDownloadURL, L"GET", L"", strFolder); }, bOk));
        vecDirect.push_back(TimeOnce([&]() { return DirectExchange(strDownloadURL, false, std::string(), strDirectFile); }, bOk));
        vecAsync.push_back(TimeOnce([&]() { return OnPoolThread([&]() { return DirectAsyncExchange(strDownloadURL, false, std::string(), strDirectFile); }); }, bOk));
    }
    Report("20 MB attachment", vecAdapter, vecDirect, vecAsync, bOk);
    return bOk ? 0 : 1;
}
