#pragma once
// Lines for the person or the test that runs the client: UTF-8 on standard output or error,
// written with WriteFile so that redirected output (a test's pipe) gets the exact bytes.
#include <windows.h>
#include <string>

class ConsoleOut {
public:
    static void Out(const std::wstring &strLine);
    static void Err(const std::wstring &strLine);

private:
    static void Write(DWORD dwStdHandle, const std::wstring &strLine);
};
