#include "SimLog.h"
#include "Log.h"
#include <cwchar>

void SimLog::ApiError(const wchar_t *pszApi, DWORD dwError)
{
    wchar_t szLine[512];
    swprintf(szLine, sizeof(szLine) / sizeof(szLine[0]), L"wtsapi32 sim: APIError [%s] rc:[%ld] msg:[%s]\n",
             pszApi, static_cast<long>(dwError), SystemErrorText(dwError).c_str());
    OutputDebugStringW(szLine);
}
