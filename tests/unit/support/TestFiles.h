#pragma once
// File helpers shared by the test programs: a fresh folder per test, UTF-16LE log files read back.
#include <windows.h>
#include <string>
#include <vector>

// A new empty folder below the temporary folder, removed with everything in it on destruction.
class TestFolder {
public:
    TestFolder();
    ~TestFolder();
    TestFolder(const TestFolder &) = delete;
    TestFolder &operator=(const TestFolder &) = delete;
    // Ends with a backslash.
    const std::wstring &Path() const { return m_strPath; }
    // The same without the last backslash.
    std::wstring WithoutSlash() const { return m_strPath.substr(0, m_strPath.size() - 1); }
    // A path inside the folder.
    std::wstring operator/(const std::wstring &strName) const { return m_strPath + strName; }

private:
    std::wstring m_strPath;
};

void RemoveTree(const std::wstring &strFolder);
std::string ReadBytes(const std::wstring &strPath);
// The file as UTF-16LE text split at "\r\n" (a last empty piece is dropped).
std::vector<std::wstring> ReadLogLines(const std::wstring &strPath);
// Creates or replaces the file with exactly these bytes; false when that fails.
bool WriteBytes(const std::wstring &strPath, const std::string &strBytes);
bool SetCreationAndWriteTime(const std::wstring &strPath, const SYSTEMTIME &stUTC);
bool PathExists(const std::wstring &strPath);
// Folder of the running test program, ending with a backslash.
std::wstring ProgramFolder();
SYSTEMTIME MakeTime(int iYear, int iMonth, int iDay, int iHour, int iMinute, int iSecond, int iMs);
