#include "HttpRequestInfo.h"
#include "Log.h"

void ReleaseResponseBuffer(HttpRequestInfo &request)
{
    if (request.hResponseBuffer != nullptr && LocalFree(request.hResponseBuffer) != nullptr)
        LOG_API_ERROR(L"LocalFree", GetLastError());
    request.hResponseBuffer = nullptr;
    request.lResponseLength = 0;
}
