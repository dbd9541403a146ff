#include "SimText.h"

std::string SimText::ToUtf8(const std::wstring &str) { return Narrow(CP_UTF8, str); }
std::wstring SimText::FromUtf8(const std::string &str) { return Widen(CP_UTF8, str); }
std::string SimText::ToAnsi(const std::wstring &str) { return Narrow(CP_ACP, str); }
std::wstring SimText::FromAnsi(const std::string &str) { return Widen(CP_ACP, str); }

std::string SimText::Narrow(UINT uiCodePage, const std::wstring &str)
{
    if (str.empty()) return std::string();
    int iLen = WideCharToMultiByte(uiCodePage, 0, str.data(), static_cast<int>(str.size()), nullptr, 0,
                                   nullptr, nullptr);
    if (iLen <= 0) return std::string();
    std::string strOut(static_cast<size_t>(iLen), '\0');
    WideCharToMultiByte(uiCodePage, 0, str.data(), static_cast<int>(str.size()), &strOut[0], iLen,
                        nullptr, nullptr);
    return strOut;
}

std::wstring SimText::Widen(UINT uiCodePage, const std::string &str)
{
    if (str.empty()) return std::wstring();
    int iLen = MultiByteToWideChar(uiCodePage, 0, str.data(), static_cast<int>(str.size()), nullptr, 0);
    if (iLen <= 0) return std::wstring();
    std::wstring strOut(static_cast<size_t>(iLen), L'\0');
    MultiByteToWideChar(uiCodePage, 0, str.data(), static_cast<int>(str.size()), &strOut[0], iLen);
    return strOut;
}

std::wstring SimText::Trim(const std::wstring &str)
{
    size_t nFirst = str.find_first_not_of(L" \t\r\n");
    if (nFirst == std::wstring::npos) return std::wstring();
    size_t nLast = str.find_last_not_of(L" \t\r\n");
    return str.substr(nFirst, nLast - nFirst + 1);
}

std::vector<std::pair<std::wstring, std::wstring>> SimText::ScenarioPairs(const std::wstring &strText)
{
    std::vector<std::pair<std::wstring, std::wstring>> vecPairs;
    size_t nStart = 0;
    while (nStart <= strText.size()) {
        size_t nEnd = strText.find(L'\n', nStart);
        if (nEnd == std::wstring::npos) nEnd = strText.size();
        std::wstring strLine = Trim(strText.substr(nStart, nEnd - nStart));
        nStart = nEnd + 1;
        if (strLine.empty() || strLine[0] == L'#' || strLine[0] == L';' || strLine[0] == L'[') continue;
        size_t nEq = strLine.find(L'=');
        if (nEq == std::wstring::npos) continue;
        vecPairs.emplace_back(Trim(strLine.substr(0, nEq)), Trim(strLine.substr(nEq + 1)));
    }
    return vecPairs;
}
