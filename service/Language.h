#pragma once
// Chooses the resource module that holds the message texts of a language: the program's own
// resources (default, English) or the Japanese library "StringTable_JP.dll", loaded as a data file
// so that none of its code ever runs inside the service.
#include <windows.h>
#include <string>

class Language {
public:
    enum LanguageType { LANGUAGE_DEFAULT = 0, LANGUAGE_JAPANESE = 1 };

    Language();
    virtual ~Language();
    Language(const Language &) = delete;
    Language &operator=(const Language &) = delete;

    // hModule in: a module of an earlier call (or null), released first. Out: the module of the
    // texts. 0 on success; -1 when the old module cannot be released or the type is not defined;
    // the system error when the Japanese library cannot be loaded (hModule is then null).
    long GetLanguage(long lType, HMODULE &hModule);
    // Releases a module that GetLanguage gave (the program's own module is never freed) and sets
    // the handle to null. False when the library cannot be freed.
    bool ReleaseLanguage(HMODULE &hModule);

protected:
    // Full path of the Japanese library: it sits beside the program in the install folder and is
    // never searched for along the DLL search path. 0, or the system error.
    virtual DWORD GetDefinitionFilePath(std::wstring &strPath);

private:
    long LoadJapanese(HMODULE &hModule);
};
