#include "Log.h"
#include <cstring>

std::wstring LogSourceName(const char *pszFile)
{
    // The build passes full paths; the log shows only the file name.
    const char *pszName = pszFile;
    for (const char *p = pszFile; *p; ++p) {
        if (*p == '/' || *p == '\\') pszName = p + 1;
    }
    return std::wstring(pszName, pszName + strlen(pszName));
}

std::wstring LogFunctionName(const char *pszPrettyFunction)
{
    // "long int Foo::Bar(const wchar_t*)" -> "Foo::Bar"; "int wWinMain(...)" -> "wWinMain".
    std::string str(pszPrettyFunction);
    size_t nParen = std::string::npos;
    int iDepth = 0;
    for (size_t i = 0; i < str.size(); ++i) {
        char c = str[i];
        if (c == '<') ++iDepth;
        else if (c == '>') --iDepth;
        else if (c == '(' && iDepth == 0) { nParen = i; break; }
    }
    if (nParen != std::string::npos) str.erase(nParen);
    size_t nBlank = std::string::npos;
    iDepth = 0;
    for (size_t i = str.size(); i-- > 0;) {
        char c = str[i];
        if (c == '>') ++iDepth;
        else if (c == '<') --iDepth;
        else if (c == ' ' && iDepth == 0) { nBlank = i; break; }
    }
    if (nBlank != std::string::npos) str.erase(0, nBlank + 1);
    while (!str.empty() && (str[0] == '*' || str[0] == '&')) str.erase(0, 1);
    // Helpers in unnamed namespaces read better without the compiler's "{anonymous}::".
    const std::string strAnonymous = "{anonymous}::";
    for (size_t nPos = str.find(strAnonymous); nPos != std::string::npos; nPos = str.find(strAnonymous)) {
        str.erase(nPos, strAnonymous.size());
    }
    return std::wstring(str.begin(), str.end());
}

std::wstring SystemErrorText(DWORD dwError)
{
    wchar_t *pszText = nullptr;
    DWORD dwLen = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, dwError, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                 reinterpret_cast<wchar_t *>(&pszText), 0, nullptr);
    std::wstring strText;
    if (dwLen != 0 && pszText != nullptr) strText.assign(pszText, dwLen);
    if (pszText != nullptr) LocalFree(pszText);
    while (!strText.empty() && (strText.back() == L'\r' || strText.back() == L'\n' || strText.back() == L' '))
        strText.pop_back();
    return strText;
}

LogSite::LogSite(const char *pszFile, const char *pszPrettyFunction)
    : strSource(LogSourceName(pszFile)), strFunction(LogFunctionName(pszPrettyFunction))
{
}

LogScope::LogScope(const LogSite &site, long lLine)
    : m_bActive(!TraceLog::IsWritingThread()), m_site(site), m_lLine(lLine)
{
    if (m_bActive) TraceLog::GetInstance().WriteAt(LOG_INFO, m_site, m_lLine, L"START");
}

LogScope::~LogScope()
{
    if (m_bActive) TraceLog::GetInstance().WriteAt(LOG_INFO, m_site, m_lLine, L"END");
}
