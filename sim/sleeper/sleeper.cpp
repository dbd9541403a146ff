// Keeps the test prefix's service manager alive: Wine ends it, and every service, when the last
// ordinary process of the prefix ends. Sleeps for the given number of seconds (default 3600).
#include <windows.h>
#include <cwchar>

int wmain(int argc, wchar_t **argv)
{
    DWORD dwSeconds = 3600;
    if (argc > 1) dwSeconds = static_cast<DWORD>(wcstoul(argv[1], nullptr, 10));
    Sleep(dwSeconds * 1000);
    return 0;
}
