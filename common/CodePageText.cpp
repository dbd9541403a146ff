#include "CodePageText.h"
#include "Log.h"
#include <vector>

std::string CodePageText::FromWide(UINT uiCodePage, const std::wstring &strText, bool *pbOk)
{
    if (pbOk) *pbOk = true;
    if (strText.empty()) return std::string();
    int iLen = WideCharToMultiByte(uiCodePage, 0, strText.c_str(), static_cast<int>(strText.size()),
                                   nullptr, 0, nullptr, nullptr);
    if (iLen <= 0) {
        LOG_API_ERROR(L"WideCharToMultiByte", GetLastError());
        if (pbOk) *pbOk = false;
        return std::string();
    }
    std::vector<char> buf(iLen);
    iLen = WideCharToMultiByte(uiCodePage, 0, strText.c_str(), static_cast<int>(strText.size()),
                               buf.data(), iLen, nullptr, nullptr);
    if (iLen <= 0) {
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
    int iLen = MultiByteToWideChar(uiCodePage, 0, strText.data(), static_cast<int>(strText.size()),
                                   nullptr, 0);
    if (iLen <= 0) {
        LOG_API_ERROR(L"MultiByteToWideChar", GetLastError());
        if (pbOk) *pbOk = false;
        return std::wstring();
    }
    std::vector<wchar_t> buf(iLen);
    iLen = MultiByteToWideChar(uiCodePage, 0, strText.data(), static_cast<int>(strText.size()),
                               buf.data(), iLen);
    if (iLen <= 0) {
        LOG_API_ERROR(L"MultiByteToWideChar", GetLastError());
        if (pbOk) *pbOk = false;
        return std::wstring();
    }
    return std::wstring(buf.data(), iLen);
}
