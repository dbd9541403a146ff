#pragma once
// "journal.txt" of the simulator folder: one UTF-8 line per recorded call, appended under a file
// lock so that lines of several processes (service, test client, tests) never interleave.
#include "JsonLine.h"
#include <windows.h>
#include <string>

class WtsJournal {
public:
    explicit WtsJournal(const std::wstring &strFolder);
    // Appends the line and a "\n"; false (reported through SimLog) when the file cannot be written.
    bool Append(const std::string &strLine) const;

    static bool EnsureFolder(const std::wstring &strFolder);
    // Where a simulator keeps its files: NOLVEX_SIM_DIR (a test seam: parallel tests use folders
    // of their own), else C:\nolvex-sim; then the simulator's name.
    static std::wstring SimulatorFolder(const wchar_t *pszSimulator);
    // A record of one call, begun with the fields every journal line has: time (UTC), process id
    // and program name, and the call's name.
    static JsonLine NewRecord(const char *pszCall);

private:
    bool WriteLocked(HANDLE hFile, const std::string &strRecord) const;

    std::wstring m_strFolder;
};
