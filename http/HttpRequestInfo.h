#pragma once
// The request record: the caller fills the inputs, URLOpen starts the exchange, and the outputs
// are valid once the transfer status reads -1 (they are written all at once, just before it).
#include <windows.h>
#include <string>

struct HttpRequestInfo {
    // Every caller waits at most this long for one status change.
    static constexpr long DEFAULT_WAIT_MS = 15000;

    std::wstring strURL;             // http or https
    std::wstring strMethod;          // upper-cased in place; "GET" selects GET, anything else POST
    std::wstring strUserName;        // server credentials, set when not empty
    std::wstring strPassword;
    std::wstring strProxyUserName;   // proxy credentials, set when not empty
    std::wstring strProxyPassword;
    std::wstring strData;            // GET: the query behind "?"; POST: the form body
    BYTE bProxyFlag = 0;             // 0: no proxy; other: the platform's default proxy
    long lWaitValue = DEFAULT_WAIT_MS;

    long lHttpStatus = 0;
    long lResult = 0;
    std::wstring strResponseText;
    // The body's bytes and one zero byte (LocalAlloc, movable, zeroed). The adapter frees it when
    // the record is used again; after the last request the caller frees it (ReleaseResponseBuffer).
    HLOCAL hResponseBuffer = nullptr;
    long lResponseLength = 0;
    long lContentLength = 0;
    std::wstring strDownloadedFile;
};

// Frees the record's response buffer and forgets it.
void ReleaseResponseBuffer(HttpRequestInfo &request);
