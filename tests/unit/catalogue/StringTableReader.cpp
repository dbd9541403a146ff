#include "StringTableReader.h"

std::map<unsigned, std::wstring> StringTableReader::ReadAll(HMODULE hModule)
{
    std::map<unsigned, std::wstring> mapTexts;
    EnumResourceNamesW(hModule, MAKEINTRESOURCEW(6) /* RT_STRING */, OnBlock, reinterpret_cast<LONG_PTR>(&mapTexts));
    return mapTexts;
}

BOOL CALLBACK StringTableReader::OnBlock(HMODULE hModule, LPCWSTR, LPWSTR pszName, LONG_PTR lParam)
{
    if (IS_INTRESOURCE(pszName))
        ReadBlock(hModule, (unsigned)(ULONG_PTR)pszName, *reinterpret_cast<std::map<unsigned, std::wstring> *>(lParam));
    return TRUE;
}

// Block n holds the ids (n - 1) * 16 to (n - 1) * 16 + 15, each a length-prefixed UTF-16 text;
// length 0 means the id is not in the table.
void StringTableReader::ReadBlock(HMODULE hModule, unsigned uBlock, std::map<unsigned, std::wstring> &mapTexts)
{
    HRSRC hInfo = FindResourceW(hModule, MAKEINTRESOURCEW(uBlock), MAKEINTRESOURCEW(6));
    HGLOBAL hData = hInfo ? LoadResource(hModule, hInfo) : nullptr;
    const WCHAR *p = hData ? static_cast<const WCHAR *>(LockResource(hData)) : nullptr;
    if (p == nullptr) return;
    const WCHAR *pEnd = p + SizeofResource(hModule, hInfo) / sizeof(WCHAR);
    for (unsigned i = 0; i < 16 && p < pEnd; ++i) {
        unsigned uLen = *p++;
        if (uLen > 0 && p + uLen <= pEnd) mapTexts[(uBlock - 1) * 16 + i] = std::wstring(p, uLen);
        p += uLen;
    }
}
