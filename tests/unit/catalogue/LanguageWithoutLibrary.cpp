#include "LanguageWithoutLibrary.h"
#include "TestData.h"

std::wstring LanguageWithoutLibrary::MissingLibraryPath()
{
    return TestData::ProgramFolder() + L"no-such-folder\\StringTable_JP.dll";
}

DWORD LanguageWithoutLibrary::MissingLibraryError()
{
    HMODULE hModule = LoadLibraryExW(MissingLibraryPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    DWORD dwError = GetLastError();
    if (hModule != nullptr) FreeLibrary(hModule);
    return hModule != nullptr ? ERROR_SUCCESS : dwError;
}

DWORD LanguageWithoutLibrary::GetDefinitionFilePath(std::wstring &strPath)
{
    strPath = MissingLibraryPath();
    return ERROR_SUCCESS;
}
