#include "RasJournal.h"
#include "WtsJournal.h"
#include <cstring>
#include <cwchar>

namespace {
std::wstring TimeStamp()
{
    SYSTEMTIME st;
    GetSystemTime(&st);
    wchar_t szStamp[32];
    swprintf(szStamp, 32, L"%04u-%02u-%02uT%02u:%02u:%02u.%03uZ", st.wYear, st.wMonth, st.wDay, st.wHour,
             st.wMinute, st.wSecond, st.wMilliseconds);
    return szStamp;
}

std::wstring ProcessName()
{
    wchar_t szPath[MAX_PATH];
    DWORD dwLen = GetModuleFileNameW(nullptr, szPath, MAX_PATH);
    if (dwLen == 0 || dwLen == MAX_PATH) return std::wstring();
    std::wstring strPath(szPath, dwLen);
    return strPath.substr(strPath.find_last_of(L"\\/") + 1);
}
}  // namespace

RasJournal::RasJournal(const std::wstring &strFolder) : m_strFolder(strFolder) {}

JsonLine RasJournal::NewRecord(const char *pszCall) const
{
    JsonLine line;
    line.Add("time", TimeStamp()).Add("pid", GetCurrentProcessId()).Add("process", ProcessName());
    line.Add("call", std::wstring(pszCall, pszCall + strlen(pszCall)));
    return line;
}

void RasJournal::Record(JsonLine &line, DWORD dwResult) const
{
    line.Add("result", dwResult);
    WtsJournal(m_strFolder).Append(line.Text());   // a failed write was reported; the call goes on
}

std::wstring RasJournal::Secret(const wchar_t *pszSecret)
{
    return (pszSecret != nullptr && *pszSecret != L'\0') ? L"set" : L"empty";
}

std::wstring RasJournal::Handle(HANDLE h)
{
    wchar_t szText[24];
    swprintf(szText, 24, L"0x%08I64x", static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(h)));
    return szText;
}
