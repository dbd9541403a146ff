#include "SimLog.h"
#include <cwchar>
#include <string>

namespace {
// The simulator links nothing of the product (a second copy of its trace logger would live in
// the host process), so it asks for the system text itself.
std::wstring ErrorText(DWORD dwError)
{
    wchar_t szText[256] = L"";
    DWORD dwLen = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, dwError,
                                 MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), szText, 256, nullptr);
    std::wstring strText(szText, dwLen);
    while (!strText.empty() && (strText.back() == L'\r' || strText.back() == L'\n' || strText.back() == L' '))
        strText.pop_back();
    return strText;
}
}  // namespace

void SimLog::ApiError(const wchar_t *pszApi, DWORD dwError)
{
    wchar_t szLine[512];
    swprintf(szLine, sizeof(szLine) / sizeof(szLine[0]), L"wtsapi32 sim: APIError [%s] rc:[%ld] msg:[%s]\n",
             pszApi, static_cast<long>(dwError), ErrorText(dwError).c_str());
    OutputDebugStringW(szLine);
}
