#include "WinOSInformation.h"
#include "Log.h"
#include <shlobj.h>

namespace {
const wchar_t kProductFolder[] = L"NolvexConnect\\";
}

WinOSInformation::~WinOSInformation()
{
}

std::wstring WinOSInformation::GetProductFolder(int iCsidl, HANDLE hToken)
{
    wchar_t szPath[MAX_PATH] = {};
    LOGWRITE(LOG_DEBUG, L"[API Call] %s( %d, %ld )", L"SHGetFolderPathW", iCsidl, (long)(LONG_PTR)hToken);
    HRESULT hr = SHGetFolderPathW(nullptr, iCsidl, hToken, SHGFP_TYPE_CURRENT, szPath);
    if (FAILED(hr)) {
        LOG_API_ERROR(L"SHGetFolderPath", hr);
        return std::wstring();
    }
    std::wstring strPath(szPath);
    if (strPath.empty()) return strPath;
    if (strPath.back() != L'\\') strPath += L'\\';
    return strPath + kProductFolder;
}

std::wstring WinOSInformation::GetAppDataFolderPath(HANDLE hToken)
{
    LOG_SCOPE();
    std::wstring strPath = GetProductFolder(CSIDL_APPDATA, hToken);
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] GetAppDataFolderPath() return is [%s]", strPath.c_str());
    return strPath;
}

std::wstring WinOSInformation::GetAllUsersAppDataFolderPath()
{
    LOG_SCOPE();
    std::wstring strPath = GetProductFolder(CSIDL_COMMON_APPDATA, nullptr);
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] GetAllUsersAppDataFolderPath() return is [%s]", strPath.c_str());
    return strPath;
}

std::wstring WinOSInformation::GetModuleName()
{
    LOG_SCOPE();
    std::wstring strBuffer(MAX_PATH, L'\0');
    for (;;) {
        DWORD dwLen = GetModuleFileNameW(nullptr, &strBuffer[0], (DWORD)strBuffer.size());
        if (dwLen == 0) {
            LOG_API_ERROR(L"GetModuleFileNameW", GetLastError());
            return std::wstring();
        }
        if (dwLen < strBuffer.size()) {   // XP truncates without an error: a full buffer means "grow"
            strBuffer.resize(dwLen);
            break;
        }
        if (strBuffer.size() >= 32768) return std::wstring();
        strBuffer.resize(strBuffer.size() * 2);
    }
    size_t nSep = strBuffer.find_last_of(L"\\/");
    std::wstring strName = nSep == std::wstring::npos ? strBuffer : strBuffer.substr(nSep + 1);
    size_t nDot = strName.find_last_of(L'.');
    if (nDot != std::wstring::npos) strName.erase(nDot);
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] GetModuleName() return is [%s]", strName.c_str());
    return strName;
}

std::wstring WinOSInformation::GetSystemDriveName()
{
    LOG_SCOPE();
    wchar_t szDir[MAX_PATH] = {};
    UINT uiLen = GetSystemDirectoryW(szDir, MAX_PATH);
    if (uiLen == 0 || uiLen >= MAX_PATH) {
        LOG_API_ERROR(L"GetSystemDirectoryW", uiLen == 0 ? GetLastError() : ERROR_INSUFFICIENT_BUFFER);
        return std::wstring();
    }
    std::wstring strDir(szDir, uiLen);
    size_t nColon = strDir.find(L':');
    std::wstring strDrive = nColon == std::wstring::npos ? std::wstring() : strDir.substr(0, nColon + 1);
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] GetSystemDriveName() return is [%s]", strDrive.c_str());
    return strDrive;
}
