#include "ConsoleOut.h"

void ConsoleOut::Out(const std::wstring &strLine) { Write(STD_OUTPUT_HANDLE, strLine); }
void ConsoleOut::Err(const std::wstring &strLine) { Write(STD_ERROR_HANDLE, strLine); }

void ConsoleOut::Write(DWORD dwStdHandle, const std::wstring &strLine)
{
    HANDLE hOut = GetStdHandle(dwStdHandle);
    if (hOut == nullptr || hOut == INVALID_HANDLE_VALUE) return;   // started without a console
    std::wstring str = strLine + L"\r\n";
    int iLen = WideCharToMultiByte(CP_UTF8, 0, str.c_str(), static_cast<int>(str.size()), nullptr, 0, nullptr, nullptr);
    if (iLen <= 0) return;
    std::string strBytes(static_cast<size_t>(iLen), '\0');
    WideCharToMultiByte(CP_UTF8, 0, str.c_str(), static_cast<int>(str.size()), &strBytes[0], iLen, nullptr, nullptr);
    DWORD dwWritten = 0;
    WriteFile(hOut, strBytes.data(), static_cast<DWORD>(strBytes.size()), &dwWritten, nullptr);
}
