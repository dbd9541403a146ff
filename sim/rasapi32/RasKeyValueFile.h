#pragma once
// The simulator's record files: UTF-8 "key=value" lines, one file per phonebook entry, dial
// parameter set, credential set or live connection. Values keep every character: "%", CR and LF
// are written as "%25", "%0D" and "%0A". A file is replaced whole (written beside, then moved over
// it), so a reader in another process never sees half of it.
#include <windows.h>
#include <map>
#include <string>

typedef std::map<std::string, std::wstring> RasRecord;

class RasKeyValueFile {
public:
    // ERROR_SUCCESS, ERROR_FILE_NOT_FOUND when there is no such file, or the system's error.
    static DWORD Load(const std::wstring &strPath, RasRecord &record);
    static DWORD Save(const std::wstring &strPath, const RasRecord &record);
    static DWORD Remove(const std::wstring &strPath);
    // The file's bytes; ERROR_FILE_NOT_FOUND when there is none.
    static DWORD ReadBytes(const std::wstring &strPath, std::string &strBytes);

    static std::string Format(const RasRecord &record);
    static void Parse(const std::string &strUtf8, RasRecord &record);

    static DWORD Number(const RasRecord &record, const char *pszKey, DWORD dwDefault = 0);
    static ULONGLONG Number64(const RasRecord &record, const char *pszKey, ULONGLONG ullDefault = 0);
    static std::wstring Text(const RasRecord &record, const char *pszKey);

private:
    static std::wstring Escape(const std::wstring &str);
    static std::wstring Unescape(const std::wstring &str);
};
