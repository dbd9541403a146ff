#include "RasJournal.h"
#include "WtsJournal.h"
#include <cstring>
#include <cwchar>

RasJournal::RasJournal(const std::wstring &strFolder) : m_strFolder(strFolder) {}

JsonLine RasJournal::NewRecord(const char *pszCall) const
{
    return WtsJournal::NewRecord(pszCall);
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
