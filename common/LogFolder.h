#pragma once
// The folder work of the trace log (make the folder, look for the trace switch, list and remove
// old files) in plain Windows calls that never log: the logger must not call what calls it back.
#include <windows.h>
#include <string>
#include <vector>

class LogFolder {
public:
    struct Entry {
        std::wstring strPath;
        ULONGLONG ullCreatedUTC;    // for ordering
        SYSTEMTIME stCreatedLocal;  // for the dates
    };

    // Creates the folder after its missing parents; 0, or the error (a file standing where a
    // folder should be gives ERROR_ALREADY_EXISTS).
    static DWORD Make(const std::wstring &strFolder);
    static bool Exists(const std::wstring &strPath);
    // The files (not folders) of strFolder (with its backslash) that match the pattern.
    static std::vector<Entry> List(const std::wstring &strFolder, const std::wstring &strPattern);
    // 0, or the error.
    static DWORD Remove(const std::wstring &strPath);

private:
    static DWORD MakeOne(const std::wstring &strFolder);
    static Entry EntryOf(const std::wstring &strFolder, const WIN32_FIND_DATAW &fd);
};
