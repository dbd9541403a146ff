#include "RasKeyValueFile.h"
#include "ScopedHandle.h"
#include "SimLog.h"
#include "SimText.h"
#include <cwchar>
#include <vector>

namespace {
const DWORD kMaxRecordBytes = 256 * 1024;

}  // namespace

DWORD RasKeyValueFile::ReadBytes(const std::wstring &strPath, std::string &strBytes)
{
    ScopedFileHandle hFile(CreateFileW(strPath.c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!hFile) {
        DWORD dwError = GetLastError();
        if (dwError == ERROR_PATH_NOT_FOUND) dwError = ERROR_FILE_NOT_FOUND;
        if (dwError != ERROR_FILE_NOT_FOUND) SimLog::ApiError(L"CreateFileW", dwError);
        return dwError;
    }
    std::vector<char> vecBytes(kMaxRecordBytes);
    DWORD dwRead = 0;
    if (!ReadFile(hFile.Get(), vecBytes.data(), kMaxRecordBytes, &dwRead, nullptr)) {
        DWORD dwError = GetLastError();
        SimLog::ApiError(L"ReadFile", dwError);
        return dwError;
    }
    strBytes.assign(vecBytes.data(), dwRead);
    return ERROR_SUCCESS;
}

namespace {
DWORD WriteAll(const std::wstring &strPath, const std::string &strBytes)
{
    ScopedFileHandle hFile(CreateFileW(strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!hFile) {
        DWORD dwError = GetLastError();
        SimLog::ApiError(L"CreateFileW", dwError);
        return dwError;
    }
    DWORD dwWritten = 0;
    if (!WriteFile(hFile.Get(), strBytes.data(), static_cast<DWORD>(strBytes.size()), &dwWritten, nullptr) ||
        dwWritten != strBytes.size()) {
        DWORD dwError = GetLastError();
        SimLog::ApiError(L"WriteFile", dwError);
        return dwError == ERROR_SUCCESS ? ERROR_WRITE_FAULT : dwError;
    }
    return ERROR_SUCCESS;
}
}  // namespace

DWORD RasKeyValueFile::Load(const std::wstring &strPath, RasRecord &record)
{
    std::string strBytes;
    DWORD dwError = ReadBytes(strPath, strBytes);
    if (dwError != ERROR_SUCCESS) return dwError;
    Parse(strBytes, record);
    return ERROR_SUCCESS;
}

DWORD RasKeyValueFile::Save(const std::wstring &strPath, const RasRecord &record)
{
    std::wstring strTemp = strPath + L"." + std::to_wstring(GetCurrentProcessId()) + L"." +
                           std::to_wstring(GetCurrentThreadId()) + L".tmp";
    DWORD dwError = WriteAll(strTemp, Format(record));
    if (dwError != ERROR_SUCCESS) return dwError;
    if (!MoveFileExW(strTemp.c_str(), strPath.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        dwError = GetLastError();
        SimLog::ApiError(L"MoveFileExW", dwError);
        if (!DeleteFileW(strTemp.c_str())) SimLog::ApiError(L"DeleteFileW", GetLastError());
        return dwError;
    }
    return ERROR_SUCCESS;
}

DWORD RasKeyValueFile::Remove(const std::wstring &strPath)
{
    if (DeleteFileW(strPath.c_str())) return ERROR_SUCCESS;
    DWORD dwError = GetLastError();
    if (dwError == ERROR_PATH_NOT_FOUND) dwError = ERROR_FILE_NOT_FOUND;
    if (dwError != ERROR_FILE_NOT_FOUND) SimLog::ApiError(L"DeleteFileW", dwError);
    return dwError;
}

std::string RasKeyValueFile::Format(const RasRecord &record)
{
    std::string strOut;
    for (const auto &item : record) strOut += item.first + "=" + SimText::ToUtf8(Escape(item.second)) + "\n";
    return strOut;
}

void RasKeyValueFile::Parse(const std::string &strUtf8, RasRecord &record)
{
    size_t nStart = 0;
    while (nStart < strUtf8.size()) {
        size_t nEnd = strUtf8.find('\n', nStart);
        if (nEnd == std::string::npos) nEnd = strUtf8.size();
        std::string strLine = strUtf8.substr(nStart, nEnd - nStart);
        nStart = nEnd + 1;
        if (!strLine.empty() && strLine.back() == '\r') strLine.pop_back();
        size_t nEq = strLine.find('=');
        if (strLine.empty() || strLine[0] == '#' || nEq == std::string::npos) continue;
        record[strLine.substr(0, nEq)] = Unescape(SimText::FromUtf8(strLine.substr(nEq + 1)));
    }
}

DWORD RasKeyValueFile::Number(const RasRecord &record, const char *pszKey, DWORD dwDefault)
{
    return static_cast<DWORD>(Number64(record, pszKey, dwDefault));
}

ULONGLONG RasKeyValueFile::Number64(const RasRecord &record, const char *pszKey, ULONGLONG ullDefault)
{
    auto it = record.find(pszKey);
    if (it == record.end() || it->second.empty()) return ullDefault;
    // Decimal, or hexadecimal with "0x" (option bits read better that way).
    return wcstoull(it->second.c_str(), nullptr, 0);
}

std::wstring RasKeyValueFile::Text(const RasRecord &record, const char *pszKey)
{
    auto it = record.find(pszKey);
    return it == record.end() ? std::wstring() : it->second;
}

std::wstring RasKeyValueFile::Escape(const std::wstring &str)
{
    std::wstring strOut;
    for (wchar_t c : str) {
        if (c == L'%') strOut += L"%25";
        else if (c == L'\r') strOut += L"%0D";
        else if (c == L'\n') strOut += L"%0A";
        else strOut += c;
    }
    return strOut;
}

std::wstring RasKeyValueFile::Unescape(const std::wstring &str)
{
    std::wstring strOut;
    for (size_t i = 0; i < str.size(); ++i) {
        if (str[i] == L'%' && i + 2 < str.size()) {
            std::wstring strCode = str.substr(i + 1, 2);
            if (strCode == L"25") { strOut += L'%'; i += 2; continue; }
            if (strCode == L"0D") { strOut += L'\r'; i += 2; continue; }
            if (strCode == L"0A") { strOut += L'\n'; i += 2; continue; }
        }
        strOut += str[i];
    }
    return strOut;
}
