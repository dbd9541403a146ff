#include "ConvertString.h"
#include "Log.h"
#include <cstdlib>

int ConvertString::UnicodetoUTF8(const wchar_t *pszText, std::string &strOut)
{
    LOG_SCOPE();
    strOut.clear();
    if (pszText == nullptr) return 0;
    int iSize = WideCharToMultiByte(CP_UTF8, 0, pszText, -1, nullptr, 0, nullptr, nullptr);
    if (iSize <= 0) {
        LOG_API_ERROR(L"WideCharToMultiByte", GetLastError());
        return 0;
    }
    strOut.resize(iSize);
    if (WideCharToMultiByte(CP_UTF8, 0, pszText, -1, &strOut[0], iSize, nullptr, nullptr) <= 0) {
        LOG_API_ERROR(L"WideCharToMultiByte", GetLastError());
        strOut.clear();
        return 0;
    }
    strOut.resize(iSize - 1);   // the terminating zero is counted, not kept
    return iSize;
}

int ConvertString::UTF8toUNICODE(const char *pszText, std::wstring &strOut)
{
    LOG_SCOPE();
    strOut.clear();
    if (pszText == nullptr) return 0;
    int iSize = MultiByteToWideChar(CP_UTF8, 0, pszText, -1, nullptr, 0);
    if (iSize <= 0) {
        LOG_API_ERROR(L"MultiByteToWideChar", GetLastError());
        return 0;
    }
    strOut.resize(iSize);
    if (MultiByteToWideChar(CP_UTF8, 0, pszText, -1, &strOut[0], iSize) <= 0) {
        LOG_API_ERROR(L"MultiByteToWideChar", GetLastError());
        strOut.clear();
        return 0;
    }
    strOut.resize(iSize - 1);
    return iSize;
}

bool ConvertString::IsStrictNumber(const std::wstring &strText, size_t &nDot)
{
    nDot = std::wstring::npos;
    if (strText.empty()) return false;
    for (size_t i = 0; i < strText.size(); ++i) {
        wchar_t c = strText[i];
        if (c >= L'0' && c <= L'9') continue;
        if (c != L'.' || i == 0 || nDot != std::wstring::npos) return false;
        nDot = i;
    }
    return true;
}

long ConvertString::StringToInteger(const std::wstring &strText)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] text is %s", strText.c_str());
    size_t nDot;
    long lValue = -1;
    if (IsStrictNumber(strText, nDot)) lValue = _wtol(strText.substr(0, nDot).c_str());
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] StringToInteger() return is [%ld]", lValue);
    return lValue;
}
