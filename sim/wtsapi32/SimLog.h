#pragma once
// Failures inside the simulator go to the debugger output (WINEDEBUG=+debugstr shows them), in
// the product's "APIError" form. The simulator must not write into the host program's trace log:
// tests read that log and would see lines the product never wrote.
#include <windows.h>

class SimLog {
public:
    static void ApiError(const wchar_t *pszApi, DWORD dwError);
};
