#include "CodePageText.h"
#include "Log.h"
#include <vector>

std::string CodePageText::FromWide(UINT uiCodePage, const std::wstring &strText, bool *pbOk)
{
    if (pbOk) *pbOk = true;
    if (strText.empty()) return std::string();
    const int iChars = static_cast<int>(strText.size());
    int iLen = WideCharToMultiByte(uiCodePage, 0, strText.c_str(), iChars, nullptr, 0, nullptr, nullptr);
    std::vector<char> buf(iLen > 0 ? iLen : 1);
    if (iLen <= 0 ||
        WideCharToMultiByte(uiCodePage, 0, strText.c_str(), iChars, buf.data(), iLen, nullptr, nullptr) != iLen) {
        LOG_API_ERROR(L"WideCharToMultiByte", GetLastError());
        if (pbOk) *pbOk = false;
        return std::string();
    }
    return std::string(buf.data(), iLen);
}

std::wstring CodePageText::ToWide(UINT uiCodePage, const std::string &strText, bool *pbOk)
{
    if (pbOk) *pbOk = true;
    if (strText.empty()) return std::wstring();
    const int iBytes = static_cast<int>(strText.size());
    int iLen = MultiByteToWideChar(uiCodePage, 0, strText.data(), iBytes, nullptr, 0);
    std::vector<wchar_t> buf(iLen > 0 ? iLen : 1);
    if (iLen <= 0 || MultiByteToWideChar(uiCodePage, 0, strText.data(), iBytes, buf.data(), iLen) != iLen) {
        LOG_API_ERROR(L"MultiByteToWideChar", GetLastError());
        if (pbOk) *pbOk = false;
        return std::wstring();
    }
    return std::wstring(buf.data(), iLen);
}
