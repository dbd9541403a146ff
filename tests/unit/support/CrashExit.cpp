// Linked into every unit test program: an exception that no one handles, on any thread, ends the
// program at once with the exception's code as its exit code. Without it the outcome is left to
// the debugger that the prefix starts for a crash, and a crash that races the program's own exit
// can end it with the exit code of a passed run.
#include <windows.h>
#include <cstdio>

namespace {

LONG WINAPI ExitOnUnhandledException(EXCEPTION_POINTERS *pInfo)
{
    const EXCEPTION_RECORD *pRecord = pInfo != nullptr ? pInfo->ExceptionRecord : nullptr;
    DWORD dwCode = pRecord != nullptr ? pRecord->ExceptionCode : static_cast<DWORD>(EXCEPTION_NONCONTINUABLE_EXCEPTION);
    // No stream output here: the crash may have happened inside the C library with its locks held.
    char szLine[160];
    int iLength = snprintf(szLine, sizeof(szLine), "unhandled exception 0x%08lx at %p on thread %lu: the test program ends\r\n",
                           static_cast<unsigned long>(dwCode), pRecord != nullptr ? pRecord->ExceptionAddress : nullptr,
                           static_cast<unsigned long>(GetCurrentThreadId()));
    DWORD dwWritten = 0;
    if (iLength > 0) WriteFile(GetStdHandle(STD_ERROR_HANDLE), szLine, static_cast<DWORD>(iLength), &dwWritten, nullptr);
    TerminateProcess(GetCurrentProcess(), dwCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

struct UnhandledExceptionExit {
    UnhandledExceptionExit() { SetUnhandledExceptionFilter(ExitOnUnhandledException); }
};

const UnhandledExceptionExit g_unhandledExceptionExit;

}   // namespace
