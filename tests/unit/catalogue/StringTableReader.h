#pragma once
// Every string of a module's string tables, found through the tables themselves (the blocks of 16
// ids that RT_STRING holds), so that an id nobody asked for is seen too.
#include <windows.h>
#include <map>
#include <string>

class StringTableReader {
public:
    // id -> text of every entry present in the module's string tables.
    static std::map<unsigned, std::wstring> ReadAll(HMODULE hModule);

private:
    static BOOL CALLBACK OnBlock(HMODULE hModule, LPCWSTR pszType, LPWSTR pszName, LONG_PTR lParam);
    static void ReadBlock(HMODULE hModule, unsigned uBlock, std::map<unsigned, std::wstring> &mapTexts);
};
