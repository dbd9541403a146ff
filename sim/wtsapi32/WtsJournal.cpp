#include "WtsJournal.h"
#include "ScopedHandle.h"
#include "SimLog.h"
#include <cstring>
#include <cwchar>

namespace {
// The lock covers one byte far beyond any real journal size, so that it never blocks readers of
// the text itself (Windows locks are mandatory for the bytes they cover).
const DWORD kLockOffsetHigh = 0x7FFFFFFF;

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

JsonLine WtsJournal::NewRecord(const char *pszCall)
{
    JsonLine line;
    line.Add("time", TimeStamp()).Add("pid", GetCurrentProcessId()).Add("process", ProcessName());
    line.Add("call", std::wstring(pszCall, pszCall + strlen(pszCall)));
    return line;
}

WtsJournal::WtsJournal(const std::wstring &strFolder) : m_strFolder(strFolder) {}

bool WtsJournal::EnsureFolder(const std::wstring &strFolder)
{
    // Creates each missing level ("C:\nolvex-sim", then "C:\nolvex-sim\wtsapi32").
    for (size_t nPos = strFolder.find(L'\\', 3); ; nPos = strFolder.find(L'\\', nPos + 1)) {
        std::wstring strLevel = strFolder.substr(0, nPos);
        if (!CreateDirectoryW(strLevel.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
            SimLog::ApiError(L"CreateDirectoryW", GetLastError());
            return false;
        }
        if (nPos == std::wstring::npos) return true;
    }
}

bool WtsJournal::Append(const std::string &strLine) const
{
    if (!EnsureFolder(m_strFolder)) return false;
    std::wstring strPath = m_strFolder + L"\\journal.txt";
    ScopedFileHandle hFile(CreateFileW(strPath.c_str(), GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!hFile) {
        SimLog::ApiError(L"CreateFileW", GetLastError());
        return false;
    }
    return WriteLocked(hFile.Get(), strLine + "\n");
}

bool WtsJournal::WriteLocked(HANDLE hFile, const std::string &strRecord) const
{
    OVERLAPPED ovLock = {};
    ovLock.OffsetHigh = kLockOffsetHigh;
    if (!LockFileEx(hFile, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &ovLock)) {
        SimLog::ApiError(L"LockFileEx", GetLastError());
        return false;
    }
    bool bOk = true;
    LARGE_INTEGER liZero = {};
    DWORD dwWritten = 0;
    if (!SetFilePointerEx(hFile, liZero, nullptr, FILE_END)) {
        SimLog::ApiError(L"SetFilePointerEx", GetLastError());
        bOk = false;
    } else if (!WriteFile(hFile, strRecord.data(), static_cast<DWORD>(strRecord.size()), &dwWritten, nullptr) ||
               dwWritten != strRecord.size()) {
        SimLog::ApiError(L"WriteFile", GetLastError());
        bOk = false;
    }
    if (!UnlockFileEx(hFile, 0, 1, 0, &ovLock)) SimLog::ApiError(L"UnlockFileEx", GetLastError());
    return bOk;
}

std::wstring WtsJournal::SimulatorFolder(const wchar_t *pszSimulator)
{
    wchar_t szRoot[MAX_PATH];
    DWORD dwLen = GetEnvironmentVariableW(L"NOLVEX_SIM_DIR", szRoot, MAX_PATH);
    std::wstring strRoot = (dwLen > 0 && dwLen < MAX_PATH) ? std::wstring(szRoot, dwLen) : L"C:\\nolvex-sim";
    while (!strRoot.empty() && (strRoot.back() == L'\\' || strRoot.back() == L'/')) strRoot.pop_back();
    return strRoot + L"\\" + pszSimulator;
}
