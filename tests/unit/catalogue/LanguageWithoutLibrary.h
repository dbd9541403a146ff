#pragma once
// A Language whose install folder lacks "StringTable_JP.dll".
#include "Language.h"

class LanguageWithoutLibrary : public Language {
public:
    static std::wstring MissingLibraryPath();
    // What the system itself reports for loading that file (the code differs between versions).
    static DWORD MissingLibraryError();

protected:
    DWORD GetDefinitionFilePath(std::wstring &strPath) override;
};
