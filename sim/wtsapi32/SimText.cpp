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
