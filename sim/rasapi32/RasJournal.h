#pragma once
// Records of "journal.txt": the call, who made it, its arguments and its result. Passwords and
// keys are never written, only "set" or "empty".
#include <windows.h>
#include <string>
#include "JsonLine.h"

class RasJournal {
public:
    explicit RasJournal(const std::wstring &strFolder);
    JsonLine NewRecord(const char *pszCall) const;
    void Record(JsonLine &line, DWORD dwResult) const;

    static std::wstring Secret(const wchar_t *pszSecret);
    static std::wstring Handle(HANDLE h);

private:
    std::wstring m_strFolder;
};
