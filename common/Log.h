#pragma once
// The one way code writes to the trace log: the macros supply source file, "Class::Method" and line.
#include "TraceLog.h"
#include <string>

std::wstring LogSourceName(const char *pszFile);
std::wstring LogFunctionName(const char *pszPrettyFunction);
// System text for an error code (language neutral), trailing line breaks removed.
std::wstring SystemErrorText(DWORD dwError);

// Inside the logger's own work (what it calls may log too) the line would be dropped anyway:
// nothing is built then. The source and function names of a call site are worked out once, on
// its first call (a function-local static of the statement expression; __PRETTY_FUNCTION__ there
// still names the enclosing function).
#define LOGWRITE(level, ...)                                                                      \
    (TraceLog::IsWritingThread()                                                                  \
         ? 0L                                                                                     \
         : __extension__({                                                                        \
               static const LogSite logSite_(__FILE__, __PRETTY_FUNCTION__);                      \
               TraceLog::GetInstance().WriteAt((level), logSite_, __LINE__, __VA_ARGS__);         \
           }))

// "APIError [%s] rc:[%ld] msg:[%s]" for a failed system call.
#define LOG_API_ERROR(apiName, errorCode)                                                         \
    do {                                                                                          \
        DWORD dwLogErr_ = (DWORD)(errorCode);                                                     \
        LOGWRITE(LOG_ERROR, L"APIError [%s] rc:[%ld] msg:[%s]", (apiName), (long)dwLogErr_,       \
                 SystemErrorText(dwLogErr_).c_str());                                             \
    } while (0)

// A handle or pointer for a log line, printed with "0x%08I64x": the same eight digits as "0x%08x"
// in the 32-bit build, and the whole value in the 64-bit build (never squeezed into 32 bits).
inline unsigned long long LogHandleValue(const void *pValue)
{
    return static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(pValue));
}

// Writes "START" now and "END" on every way out of the enclosing scope.
class LogScope {
public:
    LogScope(const LogSite &site, long lLine);
    ~LogScope();
    LogScope(const LogScope &) = delete;
    LogScope &operator=(const LogScope &) = delete;

private:
    bool m_bActive;
    const LogSite &m_site;
    long m_lLine;
};

#define LOG_SCOPE()                                                                               \
    static const LogSite logScopeSite_(__FILE__, __PRETTY_FUNCTION__);                            \
    LogScope logScope_(logScopeSite_, __LINE__)
