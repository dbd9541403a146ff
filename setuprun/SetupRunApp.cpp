#include "SetupRunApp.h"

#include "ConfirmationPrompt.h"
#include "InstallCommandLine.h"
#include "LaunchLog.h"
#include "MainWindow.h"
#include "ShellLauncher.h"

namespace {

const char kLogFolder[] = "%APPDATA%\\NolvexConnectInstall";
// Both are looked up in the current folder only: a missing file must never lead the shell to
// start (and elevate) a namesake found on the search path.
const char kSetupProgram[] = ".\\setup.exe";
const char kExtraScript[] = ".\\extra.bat";
const DWORD kPathChars = 1024;

const int kExitEarly = 0;
const int kExitDone = 1;

}   // namespace

int SetupRunApp::Run(HINSTANCE hInstance)
{
    MainWindow window;
    if (!window.Create(hInstance)) return kExitEarly;

    std::string strLogFolder;
    if (!PrepareLogFolder(strLogFolder)) return kExitEarly;

    ShellLauncher launcher(ReadOsMajorVersion());
    std::string strParameters =
        InstallCommandLine::Build(strLogFolder, ReadLocalTime(), ReadCurrentFolder());
    // Neither a failed start, a declined elevation nor the installer's exit code stops the run.
    launcher.RunAndWait(kSetupProgram, strParameters.c_str());

    RunExtraIfConfirmed(launcher);
    return kExitDone;
}

bool SetupRunApp::PrepareLogFolder(std::string &strFolder)
{
    char szFolder[kPathChars];
    DWORD dwLen = ExpandEnvironmentStringsA(kLogFolder, szFolder, kPathChars);
    if (dwLen == 0) {
        LaunchLog::ApiError("ExpandEnvironmentStringsA", GetLastError());
        return false;
    }
    if (dwLen > kPathChars) {
        LaunchLog::ApiError("ExpandEnvironmentStringsA", ERROR_INSUFFICIENT_BUFFER);
        return false;
    }
    strFolder = szFolder;
    DWORD dwAttributes = GetFileAttributesA(szFolder);
    if (dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
    if (!CreateDirectoryA(szFolder, nullptr)) {
        LaunchLog::ApiError("CreateDirectoryA", GetLastError());
        return false;
    }
    return true;
}

DWORD SetupRunApp::ReadOsMajorVersion()
{
    OSVERSIONINFOA osvi = {};
    osvi.dwOSVersionInfoSize = sizeof(osvi);
    if (!GetVersionExA(&osvi)) {
        // Unknown version: ask for elevation, which is right on every system that knows it.
        LaunchLog::ApiError("GetVersionExA", GetLastError());
        return 6;
    }
    LaunchLog::Write("[OutputInfo] OS version %lu.%lu", osvi.dwMajorVersion, osvi.dwMinorVersion);
    return osvi.dwMajorVersion;
}

std::string SetupRunApp::ReadCurrentFolder()
{
    char szFolder[kPathChars];
    DWORD dwLen = GetCurrentDirectoryA(kPathChars, szFolder);
    if (dwLen == 0) {
        LaunchLog::ApiError("GetCurrentDirectoryA", GetLastError());
        return std::string();
    }
    if (dwLen >= kPathChars) {
        LaunchLog::ApiError("GetCurrentDirectoryA", ERROR_INSUFFICIENT_BUFFER);
        return std::string();
    }
    return std::string(szFolder, dwLen);
}

SYSTEMTIME SetupRunApp::ReadLocalTime()
{
    SYSTEMTIME stNow = {};
    GetLocalTime(&stNow);
    return stNow;
}

bool SetupRunApp::FileExists(const char *pszPath)
{
    DWORD dwAttributes = GetFileAttributesA(pszPath);
    return dwAttributes != INVALID_FILE_ATTRIBUTES && !(dwAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

void SetupRunApp::RunExtraIfConfirmed(const ShellLauncher &launcher)
{
    if (!FileExists(kExtraScript)) return;
    if (ConfirmationPrompt::Ask() == IDNO) return;
    launcher.RunAndWait(kExtraScript, nullptr);
}
