#include "TestFiles.h"
#include <atomic>

namespace {
std::atomic<long> g_lFolderCount(0);
}

TestFolder::TestFolder()
{
    wchar_t szTemp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, szTemp);
    wchar_t szName[64];
    _snwprintf(szName, 63, L"nc_test_%lu_%ld\\", GetCurrentProcessId(), ++g_lFolderCount);
    m_strPath = std::wstring(szTemp) + szName;
    RemoveTree(m_strPath);
    CreateDirectoryW(m_strPath.c_str(), nullptr);
}

TestFolder::~TestFolder()
{
    RemoveTree(m_strPath);
}

void RemoveTree(const std::wstring &strFolder)
{
    std::wstring strBase = strFolder;
    if (!strBase.empty() && strBase.back() != L'\\') strBase += L'\\';
    WIN32_FIND_DATAW fd;
    HANDLE hFind = FindFirstFileW((strBase + L"*").c_str(), &fd);
    if (hFind != INVALID_HANDLE_VALUE) {
        do {
            std::wstring strName = fd.cFileName;
            if (strName == L"." || strName == L"..") continue;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(strBase + strName);
            else {
                // A read-only file would stay, and with it the folder that a later test of the
                // same process id finds again.
                if (fd.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
                    SetFileAttributesW((strBase + strName).c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW((strBase + strName).c_str());
            }
        } while (FindNextFileW(hFind, &fd));
        FindClose(hFind);
    }
    RemoveDirectoryW(strBase.c_str());
}

std::string ReadBytes(const std::wstring &strPath)
{
    std::string str;
    HANDLE h = CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return str;
    char buf[65536];
    DWORD dwRead = 0;
    while (ReadFile(h, buf, sizeof(buf), &dwRead, nullptr) && dwRead > 0) str.append(buf, dwRead);
    CloseHandle(h);
    return str;
}

std::vector<std::wstring> ReadLogLines(const std::wstring &strPath)
{
    std::string strBytes = ReadBytes(strPath);
    std::wstring strText(strBytes.size() / 2, L'\0');
    if (!strText.empty()) memcpy(&strText[0], strBytes.data(), strText.size() * 2);
    std::vector<std::wstring> vecLines;
    size_t nStart = 0;
    for (;;) {
        size_t nEnd = strText.find(L"\r\n", nStart);
        if (nEnd == std::wstring::npos) {
            if (nStart < strText.size()) vecLines.push_back(strText.substr(nStart));
            break;
        }
        vecLines.push_back(strText.substr(nStart, nEnd - nStart));
        nStart = nEnd + 2;
    }
    return vecLines;
}

bool WriteBytes(const std::wstring &strPath, const std::string &strBytes)
{
    HANDLE h = CreateFileW(strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD dwWritten = 0;
    bool bWritten = WriteFile(h, strBytes.data(), (DWORD)strBytes.size(), &dwWritten, nullptr) &&
                    dwWritten == strBytes.size();
    CloseHandle(h);
    return bWritten;
}

bool SetCreationAndWriteTime(const std::wstring &strPath, const SYSTEMTIME &stUTC)
{
    HANDLE h = CreateFileW(strPath.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    FILETIME ft;
    BOOL bOk = SystemTimeToFileTime(&stUTC, &ft) && SetFileTime(h, &ft, nullptr, &ft);
    CloseHandle(h);
    return bOk != FALSE;
}

bool PathExists(const std::wstring &strPath)
{
    return GetFileAttributesW(strPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring ProgramFolder()
{
    wchar_t szPath[MAX_PATH + 1] = {};
    GetModuleFileNameW(nullptr, szPath, MAX_PATH);
    std::wstring str(szPath);
    return str.substr(0, str.find_last_of(L'\\') + 1);
}

SYSTEMTIME MakeTime(int iYear, int iMonth, int iDay, int iHour, int iMinute, int iSecond, int iMs)
{
    SYSTEMTIME st = {};
    st.wYear = (WORD)iYear;
    st.wMonth = (WORD)iMonth;
    st.wDay = (WORD)iDay;
    st.wHour = (WORD)iHour;
    st.wMinute = (WORD)iMinute;
    st.wSecond = (WORD)iSecond;
    st.wMilliseconds = (WORD)iMs;
    return st;
}
