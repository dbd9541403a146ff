#pragma once
// A simulator folder of its own for one test (NOLVEX_SIM_DIR), with the RAS simulator's scenario,
// journal and phonebook files. Header only: the simulator's tests and the adapter's share it.
#include "ScopedHandle.h"
#include "TestFiles.h"
#include <windows.h>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

class RasSimFolder {
public:
    RasSimFolder()
    {
        static int s_iCounter = 0;
        wchar_t szTemp[MAX_PATH];
        GetTempPathW(MAX_PATH, szTemp);
        m_strRoot = std::wstring(szTemp) + L"nc-simras-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                    std::to_wstring(++s_iCounter);
        m_strFolder = m_strRoot + L"\\rasapi32";
        CreateDirectoryW(m_strRoot.c_str(), nullptr);
        CreateDirectoryW(m_strFolder.c_str(), nullptr);
        SetEnvironmentVariableW(L"NOLVEX_SIM_DIR", m_strRoot.c_str());
    }
    ~RasSimFolder()
    {
        SetEnvironmentVariableW(L"NOLVEX_SIM_DIR", nullptr);
        RemoveTree(m_strRoot);
    }
    RasSimFolder(const RasSimFolder &) = delete;
    RasSimFolder &operator=(const RasSimFolder &) = delete;

    const std::wstring &Folder() const { return m_strFolder; }

    void Scenario(const std::string &strText) const { WriteBytes(m_strFolder + L"\\scenario.ini", strText); }

    std::vector<std::string> JournalLines() const
    {
        std::vector<std::string> vecLines;
        std::wstring strPath = m_strFolder + L"\\journal.txt";
        if (!PathExists(strPath)) return vecLines;
        std::string strAll = ReadBytes(strPath);
        size_t nStart = 0;
        for (size_t nEnd; (nEnd = strAll.find('\n', nStart)) != std::string::npos; nStart = nEnd + 1)
            vecLines.push_back(strAll.substr(nStart, nEnd - nStart));
        return vecLines;
    }

    // Journal lines of one call ("RasDialW", "notify" ...).
    std::vector<std::string> Calls(const std::string &strCall) const
    {
        std::vector<std::string> vecOut;
        for (const std::string &strLine : JournalLines()) {
            if (strLine.find("\"call\":\"" + strCall + "\"") != std::string::npos) vecOut.push_back(strLine);
        }
        return vecOut;
    }

    // A record file of a phonebook entry: kind "entry", "dial" or "cred"; phonebook "system" or
    // the path's id (":", "\\", "/" as "_", lower case). Empty when the file does not exist.
    std::map<std::string, std::string> Record(const std::wstring &strPhonebookId, const std::wstring &strEntry,
                                              const std::wstring &strKind) const
    {
        std::map<std::string, std::string> record;
        std::wstring strPath = m_strFolder + L"\\phonebooks\\" + strPhonebookId + L"\\" + strEntry + L"." + strKind;
        if (!PathExists(strPath)) return record;
        std::string strAll = ReadBytes(strPath);
        size_t nStart = 0;
        for (size_t nEnd; (nEnd = strAll.find('\n', nStart)) != std::string::npos; nStart = nEnd + 1) {
            std::string strLine = strAll.substr(nStart, nEnd - nStart);
            size_t nEq = strLine.find('=');
            if (nEq != std::string::npos) record[strLine.substr(0, nEq)] = strLine.substr(nEq + 1);
        }
        return record;
    }

    static std::wstring PhonebookId(const std::wstring &strPath)
    {
        std::wstring strId;
        for (wchar_t c : strPath) strId += (c == L':' || c == L'\\' || c == L'/') ? L'_' : towlower(c);
        return strId;
    }

private:
    std::wstring m_strRoot;
    std::wstring m_strFolder;
};
