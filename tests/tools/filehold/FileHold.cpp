// Holds a file open without any sharing, as a program that locks it would, for the given number
// of seconds (the scenario tests end it earlier by its process id). Prints "held" once it holds.
// "read": others may still read it (but neither write, rename nor delete it), as a program that
// keeps a file it reads open.
//   nc_filehold <path> <seconds> [read]
#include <windows.h>
#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t **argv)
{
    if (argc != 3 && !(argc == 4 && lstrcmpW(argv[3], L"read") == 0)) {
        fwprintf(stderr, L"usage: nc_filehold <path> <seconds> [read]\n");
        return 2;
    }
    DWORD dwShare = argc == 4 ? FILE_SHARE_READ : 0;
    HANDLE hFile = CreateFileW(argv[1], GENERIC_READ, dwShare, nullptr, OPEN_EXISTING, 0, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) {
        fwprintf(stderr, L"nc_filehold: cannot open %ls: error %lu\n", argv[1], GetLastError());
        return 1;
    }
    wprintf(L"held\n");
    fflush(stdout);
    Sleep(static_cast<DWORD>(wcstoul(argv[2], nullptr, 10)) * 1000);
    CloseHandle(hFile);
    return 0;
}
