#include "HttpRequestInfo.h"

void ReleaseResponseBuffer(HttpRequestInfo &request)
{
    if (request.hResponseBuffer != nullptr) LocalFree(request.hResponseBuffer);
    request.hResponseBuffer = nullptr;
    request.lResponseLength = 0;
}
