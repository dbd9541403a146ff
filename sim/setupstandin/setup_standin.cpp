// Stands in for the product's "setup.exe" in the launcher's tests. It records, as UTF-8 lines in
// "<own name>.journal" beside itself:
//   cmdline=<GetCommandLineW()>
//   cwd=<current folder>
//   elevation=<TokenElevationType: 1 default, 2 full (elevated), 3 limited; 0 unknown>
//   ended            (written last, after the optional delay)
// and exits with the code given in "<own name>.ini" ([standin] ExitCode=, DelayMs=).
#include <windows.h>

#include <string>

namespace {

std::wstring OwnPathWithout(const wchar_t *pszNewExtension)
{
    wchar_t szPath[MAX_PATH];
    DWORD dwLen = GetModuleFileNameW(nullptr, szPath, MAX_PATH);
    if (dwLen == 0 || dwLen >= MAX_PATH) return std::wstring();
    std::wstring strPath(szPath, dwLen);
    size_t nDot = strPath.find_last_of(L'.');
    if (nDot != std::wstring::npos && nDot > strPath.find_last_of(L'\\')) strPath.erase(nDot);
    return strPath + pszNewExtension;
}

std::string ToUtf8(const std::wstring &strText)
{
    if (strText.empty()) return std::string();
    int iLen = WideCharToMultiByte(CP_UTF8, 0, strText.c_str(), (int)strText.size(), nullptr, 0, nullptr, nullptr);
    if (iLen <= 0) return std::string();
    std::string strOut(iLen, '\0');
    WideCharToMultiByte(CP_UTF8, 0, strText.c_str(), (int)strText.size(), &strOut[0], iLen, nullptr, nullptr);
    return strOut;
}

bool AppendLine(const std::wstring &strFile, const std::wstring &strLine)
{
    HANDLE hFile = CreateFileW(strFile.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) return false;
    std::string strBytes = ToUtf8(strLine) + "\n";
    DWORD dwWritten = 0;
    BOOL bOk = WriteFile(hFile, strBytes.data(), (DWORD)strBytes.size(), &dwWritten, nullptr);
    CloseHandle(hFile);
    return bOk && dwWritten == strBytes.size();
}

int ElevationType()
{
    HANDLE hToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &hToken)) return 0;
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD dwLen = 0;
    BOOL bOk = GetTokenInformation(hToken, TokenElevationType, &type, sizeof(type), &dwLen);
    CloseHandle(hToken);
    return bOk ? static_cast<int>(type) : 0;
}

std::wstring CurrentFolder()
{
    wchar_t szFolder[1024];
    DWORD dwLen = GetCurrentDirectoryW(1024, szFolder);
    return (dwLen == 0 || dwLen >= 1024) ? std::wstring() : std::wstring(szFolder, dwLen);
}

}   // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    std::wstring strJournal = OwnPathWithout(L".journal");
    std::wstring strIni = OwnPathWithout(L".ini");
    AppendLine(strJournal, L"cmdline=" + std::wstring(GetCommandLineW()));
    AppendLine(strJournal, L"cwd=" + CurrentFolder());
    AppendLine(strJournal, L"elevation=" + std::to_wstring(ElevationType()));
    UINT uiDelay = GetPrivateProfileIntW(L"standin", L"DelayMs", 0, strIni.c_str());
    if (uiDelay > 0) Sleep(uiDelay);
    AppendLine(strJournal, L"ended");
    return static_cast<int>(GetPrivateProfileIntW(L"standin", L"ExitCode", 0, strIni.c_str()));
}
