#pragma once
// Diagnostics of the install launcher. The launcher stands alone and writes no trace log file of
// its own, so its lines go to the debugger output (DebugView on Windows, WINEDEBUG=+debugstr under
// Wine); a failed system call uses the product's error line "APIError [%s] rc:[%ld] msg:[%s]".
#include <windows.h>
#include <string>

#ifdef UNICODE
#error "setuprun is an ANSI program: build it without UNICODE/_UNICODE"
#endif

class LaunchLog {
public:
    static void ApiError(const char *pszApiName, DWORD dwError);
    static void Write(const char *pszFormat, ...) __attribute__((format(printf, 1, 2)));
    // System text for an error code, trailing line breaks removed; empty if there is none.
    static std::string SystemErrorText(DWORD dwError);
};
