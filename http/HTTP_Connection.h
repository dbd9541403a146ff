#pragma once
// The HTTP client of the connection library: one request at a time on a worker thread, watched
// through a transfer status and cancelled through Cancel. docs/http.md describes the contract.
#include "HttpRequestInfo.h"
#include <string>

class HTTP_Connection {
public:
    // Transfer status values.
    static constexpr long STATUS_IDLE = -1;
    static constexpr long STATUS_STARTED = 1;
    static constexpr long STATUS_RECEIVING = 2;
    static constexpr long STATUS_CONNECTED = 3;
    static constexpr long STATUS_RESPONSE = 4;
    static constexpr long STATUS_READ_COMPLETE = 5;
    static constexpr long STATUS_CANCELED = 10;
    static constexpr long STATUS_ERROR = 99;

    virtual ~HTTP_Connection();
    // Starts the request on a worker thread; the record must outlive the transfer.
    virtual bool URLOpen(HttpRequestInfo *pRequest, const std::wstring &strDownloadFolder) = 0;
    virtual void Cancel() = 0;
    virtual long GetStatus() = 0;
    // Blocks until the status changes (at most the record's wait value) and returns it.
    virtual long WaitStatusChange() = 0;
    // Bytes of the body received so far and the announced length (0 when unknown), readable while
    // the transfer runs (the record's outputs are written only at its end).
    virtual void GetProgress(long long &llReceived, long long &llTotal);
};

// A new WinHTTPAdapter, or null when it cannot be made; the caller deletes it.
HTTP_Connection *CreateHTTPConnection();
