// HTTP adapter cost: a registration-sized POST exchange and a 20 MB attachment download through
// WinHTTPAdapter, each beside a minimal direct WinHTTP loop doing the same exchange (same verb,
// headers, flags, user agent, proxy access type and read block size; synchronous, on the calling
// thread) in the same run, rounds alternated; the medians are reported. The mock server comes from
// bench/http_bench.py:
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

// The same exchange written straight against WinHTTP on the calling thread.
bool DirectExchange(const std::wstring &strURL, bool bPost, const std::string &strBody, const std::wstring &strFile)
{
    URL_COMPONENTS parts = {};
    wchar_t szHost[256] = {}, szPath[2048] = {};
    parts.dwStructSize = sizeof(parts);
    parts.lpszHostName = szHost;
    parts.dwHostNameLength = 256;
    parts.lpszUrlPath = szPath;
    parts.dwUrlPathLength = 2048;
    if (!WinHttpCrackUrl(strURL.c_str(), 0, 0, &parts)) return false;
    ScopedWinHttp hSession(WinHttpOpen(WinHTTPAdapter::USER_AGENT, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    ScopedWinHttp hConnect(hSession ? WinHttpConnect(hSession.Get(), szHost, parts.nPort, 0) : nullptr);
    const wchar_t *apszAccept[] = {L"Application/binary", nullptr};
    ScopedWinHttp hRequest(hConnect ? WinHttpOpenRequest(hConnect.Get(), bPost ? L"POST" : L"GET", szPath, L"HTTP/1.1",
                                                         WINHTTP_NO_REFERER, apszAccept, WinHTTPAdapter::REQUEST_FLAGS_HTTP)
                                    : nullptr);
    if (!hRequest) return false;
    const wchar_t kForm[] = L"Content-Type: application/x-www-form-urlencoded";
    if (!WinHttpSendRequest(hRequest.Get(), bPost ? kForm : WINHTTP_NO_ADDITIONAL_HEADERS, bPost ? (DWORD)wcslen(kForm) : 0,
                            WINHTTP_NO_REQUEST_DATA, 0, (DWORD)strBody.size(), 1))
        return false;
    DWORD dwWritten = 0;
    if (bPost && !WinHttpWriteData(hRequest.Get(), strBody.data(), (DWORD)strBody.size(), &dwWritten)) return false;
    if (!WinHttpReceiveResponse(hRequest.Get(), nullptr)) return false;
    ScopedFileHandle hFile;
    if (!strFile.empty()) hFile.Reset(CreateFileW(strFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    std::string strKept;
    BYTE abBlock[WinHTTPAdapter::READ_BLOCK_BYTES];
    DWORD dwRead = 0;
    while (WinHttpReadData(hRequest.Get(), abBlock, sizeof(abBlock), &dwRead) && dwRead > 0) {
        if (hFile) WriteFile(hFile.Get(), abBlock, dwRead, &dwWritten, nullptr);
        else strKept.append(reinterpret_cast<char *>(abBlock), dwRead);
    }
    return true;
}

void Report(const char *pszName, const std::vector<double> &vecAdapter, const std::vector<double> &vecDirect, bool bOk)
{
    double dAdapter = Median(vecAdapter), dDirect = Median(vecDirect);
    printf("%-22s adapter %8.2f ms   direct WinHTTP %8.2f ms   ratio %.2f%s\n", pszName, dAdapter * 1000.0,
           dDirect * 1000.0, dAdapter / dDirect, bOk ? "" : "   (SOME EXCHANGES FAILED)");
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
    std::vector<double> vecAdapter, vecDirect;
    bool bOk = true;
    for (int i = 0; i < kPostRounds; ++i) {   // alternated, so that both see the same machine load
        vecAdapter.push_back(TimeOnce([&]() { return AdapterExchange(strPostURL, L"POST", strData, L""); }, bOk));
        vecDirect.push_back(TimeOnce([&]() { return DirectExchange(strPostURL, true, strBody, L""); }, bOk));
    }
    Report("registration POST", vecAdapter, vecDirect, bOk);
    vecAdapter.clear();
    vecDirect.clear();
    std::wstring strDirectFile = strFolder + L"\\direct.bin";
    for (int i = 0; i < kDownloadRounds; ++i) {
        vecAdapter.push_back(TimeOnce([&]() { return AdapterExchange(strDownloadURL, L"GET", L"", strFolder); }, bOk));
        vecDirect.push_back(TimeOnce([&]() { return DirectExchange(strDownloadURL, false, std::string(), strDirectFile); }, bOk));
    }
    Report("20 MB attachment", vecAdapter, vecDirect, bOk);
    return bOk ? 0 : 1;
}
