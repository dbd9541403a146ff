#include "LaunchLog.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "ScopedHandle.h"

void LaunchLog::ApiError(const char *pszApiName, DWORD dwError)
{
    Write("APIError [%s] rc:[%ld] msg:[%s]", pszApiName, static_cast<long>(dwError),
          SystemErrorText(dwError).c_str());
}

void LaunchLog::Write(const char *pszFormat, ...)
{
    char szLine[2048];
    static const char szTag[] = "setuprun: ";
    memcpy(szLine, szTag, sizeof(szTag));
    va_list args;
    va_start(args, pszFormat);
    // _vsnprintf may leave the buffer unterminated when the text is cut: terminate it ourselves.
    size_t nRoom = sizeof(szLine) - sizeof(szTag) - 1;
    int iLen = _vsnprintf(szLine + sizeof(szTag) - 1, nRoom, pszFormat, args);
    va_end(args);
    size_t nEnd = (iLen < 0 || static_cast<size_t>(iLen) >= nRoom) ? nRoom : static_cast<size_t>(iLen);
    szLine[sizeof(szTag) - 1 + nEnd] = '\n';
    szLine[sizeof(szTag) + nEnd] = '\0';
    OutputDebugStringA(szLine);
}

std::string LaunchLog::SystemErrorText(DWORD dwError)
{
    char *pszBuffer = nullptr;
    DWORD dwLen = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, dwError, 0, reinterpret_cast<char *>(&pszBuffer), 0, nullptr);
    ScopedLocal hBuffer(pszBuffer);   // released on every way out
    if (dwLen == 0 || pszBuffer == nullptr) return std::string();
    std::string strText(pszBuffer, dwLen);
    while (!strText.empty() && (strText.back() == '\r' || strText.back() == '\n' || strText.back() == ' '))
        strText.pop_back();
    return strText;
}
