#include "SimJournal.h"
#include <windows.h>

void SimJournal::Append(const std::string &strLine)
{
    CreateDirectoryW(L"C:\\nolvex-sim", nullptr);
    CreateDirectoryW(L"C:\\nolvex-sim\\sevenzip", nullptr);
    HANDLE hFile = CreateFileW(L"C:\\nolvex-sim\\sevenzip\\journal.txt", FILE_APPEND_DATA,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) return;
    std::string strText = strLine + "\r\n";
    DWORD dwWritten = 0;
    WriteFile(hFile, strText.data(), static_cast<DWORD>(strText.size()), &dwWritten, nullptr);
    CloseHandle(hFile);
}
