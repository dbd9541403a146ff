#include "Language.h"
#include "Log.h"
#include <vector>

namespace {
const wchar_t kJapaneseLibrary[] = L"StringTable_JP.dll";
}

Language::Language()
{
}

Language::~Language()
{
}

long Language::GetLanguage(long lType, HMODULE &hModule)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] lType is %ld", lType);
    if (!ReleaseLanguage(hModule)) {
        LOGWRITE(LOG_ERROR, L"Failure to free liblary");
        return -1;
    }
    long lResult = 0;
    switch (lType) {
    case LANGUAGE_DEFAULT:
        hModule = GetModuleHandleW(nullptr);   // the running program's own module: never fails
        break;
    case LANGUAGE_JAPANESE:
        lResult = LoadJapanese(hModule);
        break;
    default:
        LOGWRITE(LOG_ERROR, L"The language type is not defined.");
        lResult = -1;
        break;
    }
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] GetLanguage() return is [%ld]", lResult);
    return lResult;
}

bool Language::ReleaseLanguage(HMODULE &hModule)
{
    LOG_SCOPE();
    if (hModule == nullptr) return true;
    // The program's own module was never loaded by us; freeing it would drop the reference count
    // of the running executable.
    if (hModule != GetModuleHandleW(nullptr) && !FreeLibrary(hModule)) {
        LOG_API_ERROR(L"FreeLibrary", GetLastError());
        return false;
    }
    hModule = nullptr;
    return true;
}

DWORD Language::GetDefinitionFilePath(std::wstring &strPath)
{
    LOG_SCOPE();
    std::vector<wchar_t> vecBuffer(MAX_PATH);
    for (;;) {
        DWORD dwLen = GetModuleFileNameW(nullptr, &vecBuffer[0], (DWORD)vecBuffer.size());
        if (dwLen == 0) {
            DWORD dwError = GetLastError();
            LOG_API_ERROR(L"GetModuleFileNameW", dwError);
            return dwError;
        }
        if (dwLen < vecBuffer.size()) {
            strPath.assign(&vecBuffer[0], dwLen);
            break;
        }
        vecBuffer.resize(vecBuffer.size() * 2);   // truncated: a longer install path
    }
    strPath.erase(strPath.find_last_of(L'\\') + 1);   // npos + 1 == 0: no folder part at all
    strPath += kJapaneseLibrary;
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] definition file is %s", strPath.c_str());
    return ERROR_SUCCESS;
}

long Language::LoadJapanese(HMODULE &hModule)
{
    std::wstring strPath;
    DWORD dwError = GetDefinitionFilePath(strPath);
    if (dwError == ERROR_SUCCESS) {
        LOGWRITE(LOG_DEBUG, L"[API Call] LoadLibraryExW(%s, LOAD_LIBRARY_AS_DATAFILE)", strPath.c_str());
        hModule = LoadLibraryExW(strPath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        if (hModule == nullptr) {
            dwError = GetLastError();
            if (dwError == ERROR_SUCCESS) dwError = ERROR_MOD_NOT_FOUND;   // never report a failure as 0
        }
        if (dwError != ERROR_SUCCESS) LOG_API_ERROR(L"LoadLibraryExW", dwError);
    }
    if (dwError != ERROR_SUCCESS) {
        hModule = nullptr;
        LOGWRITE(LOG_ERROR, L"Failed to get the definition file [%s]", SystemErrorText(dwError).c_str());
        return (long)dwError;
    }
    return 0;
}
