#pragma once
// A folder of its own below %TEMP% for one test, removed with everything in it at the end.
#include "ScopedHandle.h"
#include "TestFiles.h"
#include <windows.h>
#include <atomic>
#include <string>

class TempFolder {
public:
    explicit TempFolder(const wchar_t *pszTag)
    {
        static std::atomic<int> s_iCounter(0);
        wchar_t szTemp[MAX_PATH];
        GetTempPathW(MAX_PATH, szTemp);
        m_strPath = std::wstring(szTemp) + L"nc-" + pszTag + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                    std::to_wstring(++s_iCounter);
        CreateDirectoryW(m_strPath.c_str(), nullptr);
    }
    ~TempFolder() { RemoveTree(m_strPath); }
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    const std::wstring &Path() const { return m_strPath; }
    std::wstring operator/(const std::wstring &strName) const { return m_strPath + L"\\" + strName; }

    bool WriteFile(const std::wstring &strName, const std::string &strText) const
    {
        ScopedFileHandle hFile(CreateFileW((*this / strName).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD dw = 0;
        return hFile && ::WriteFile(hFile.Get(), strText.data(), static_cast<DWORD>(strText.size()), &dw, nullptr);
    }

private:
    std::wstring m_strPath;
};
