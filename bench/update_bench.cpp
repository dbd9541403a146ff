// The whole module update of an install folder of 2,000 files and 200 MB (staging, verification,
// backup, copy), beside Wine's (or Windows') xcopy of the same trees in the same run.
//   update_bench [files] [megabytes]
// The difference folder holds a quarter of the files (half of them new, half replacing install
// files), signed with the development key (nc_updatesign and the key files beside this program).
// Prints each step's time, the whole update's time and its ratio to one xcopy of the install tree
// plus one of the difference tree.
#include "FolderMirror.h"
#include "MonitorUpdate.h"
#include "ScopedHandle.h"
#include "StagingCopy.h"
#include "UpdateManifest.h"
#include <windows.h>
#include <shlobj.h>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {
const DWORD kDefaultFiles = 2000;
const DWORD kDefaultMegabytes = 200;
const DWORD kFilesPerFolder = 100;
const DWORD kDiffShare = 4;           // one file in four is in the difference folder
const DWORD kToolWaitMs = 600000;

typedef std::chrono::steady_clock Clock;

double Seconds(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::wstring ProgramFolder()
{
    wchar_t szPath[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, szPath, MAX_PATH);
    std::wstring strPath = szPath;
    return strPath.substr(0, strPath.rfind(L'\\') + 1);
}

bool WriteFileBytes(const std::wstring &strPath, const std::vector<char> &vecData, DWORD dwSize)
{
    ScopedFileHandle hFile(CreateFileW(strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD dwWritten = 0;
    return hFile && WriteFile(hFile.Get(), vecData.data(), dwSize, &dwWritten, nullptr) && dwWritten == dwSize;
}

std::string ReadFileBytes(const std::wstring &strPath)
{
    ScopedFileHandle hFile(CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!hFile) return std::string();
    DWORD dwSize = GetFileSize(hFile.Get(), nullptr);
    std::string strData(dwSize, '\0');
    DWORD dwRead = 0;
    if (dwSize && !ReadFile(hFile.Get(), &strData[0], dwSize, &dwRead, nullptr)) return std::string();
    return strData;
}

// File i of a tree: folder i / kFilesPerFolder.
std::wstring TreeFile(const std::wstring &strRoot, DWORD i, const wchar_t *pszPrefix)
{
    return strRoot + L"\\dir" + std::to_wstring(i / kFilesPerFolder) + L"\\" + pszPrefix + std::to_wstring(i) + L".bin";
}

bool MakeTrees(const std::wstring &strIns, const std::wstring &strDiff, DWORD dwFiles, DWORD dwMegabytes)
{
    const DWORD dwSize = (DWORD)((unsigned long long)dwMegabytes * 1024 * 1024 / dwFiles);
    std::vector<char> vecData(dwSize);
    CreateDirectoryW(strIns.c_str(), nullptr);
    CreateDirectoryW(strDiff.c_str(), nullptr);
    for (DWORD i = 0; i < dwFiles; ++i) {
        for (DWORD j = 0; j < dwSize; j += 512) vecData[j] = (char)(i + j);
        if (i % kFilesPerFolder == 0) {
            CreateDirectoryW((strIns + L"\\dir" + std::to_wstring(i / kFilesPerFolder)).c_str(), nullptr);
            CreateDirectoryW((strDiff + L"\\dir" + std::to_wstring(i / kFilesPerFolder)).c_str(), nullptr);
        }
        if (!WriteFileBytes(TreeFile(strIns, i, L"f"), vecData, dwSize)) return false;
        if (i % kDiffShare != 0) continue;
        vecData[0] = (char)~vecData[0];
        // Half of the difference replaces install files, half is new.
        const wchar_t *pszName = (i / kDiffShare) % 2 ? L"f" : L"n";
        if (!WriteFileBytes(TreeFile(strDiff, i, pszName), vecData, dwSize)) return false;
    }
    return true;
}

// Runs a program to its end: its exit code, or -1.
long RunProgram(std::wstring strCommand)
{
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, &strCommand[0], nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr, &si, &pi))
        return -1;
    ScopedHandle hProcess(pi.hProcess), hThread(pi.hThread);
    if (WaitForSingleObject(pi.hProcess, kToolWaitMs) != WAIT_OBJECT_0) {
        TerminateProcess(pi.hProcess, 1);
        WaitForSingleObject(pi.hProcess, kToolWaitMs);
        return -1;
    }
    DWORD dwCode = 0;
    GetExitCodeProcess(pi.hProcess, &dwCode);
    return (long)dwCode;
}

double TimeXcopy(const std::wstring &strFrom, const std::wstring &strTo)
{
    FolderMirror::RemoveTree(strTo);
    Clock::time_point start = Clock::now();
    long lCode = RunProgram(L"xcopy.exe \"" + strFrom + L"\" \"" + strTo + L"\" /E /I /Y /Q");
    double dSeconds = Seconds(start);
    if (lCode != 0) wprintf(L"xcopy of %ls ended with %ld\n", strFrom.c_str(), lCode);
    return dSeconds;
}

struct Steps {
    double dStage = 0, dVerify = 0, dBackup = 0, dCopy = 0;
    double Sum() const { return dStage + dVerify + dBackup + dCopy; }
};
}  // namespace

int wmain(int argc, wchar_t **argv)
{
    DWORD dwFiles = argc > 1 ? wcstoul(argv[1], nullptr, 10) : kDefaultFiles;
    DWORD dwMegabytes = argc > 2 ? wcstoul(argv[2], nullptr, 10) : kDefaultMegabytes;
    wchar_t szAppData[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, szAppData))) return 1;
    wchar_t szTemp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, szTemp);
    const std::wstring strWork = std::wstring(szTemp) + L"nc_update_bench";
    const std::wstring strIns = strWork + L"\\NolvexConnect";
    const std::wstring strUserRoot = std::wstring(szAppData) + L"\\NolvexConnect";
    const std::wstring strDiff = strUserRoot + L"\\bench-diff";
    FolderMirror::RemoveTree(strWork);
    FolderMirror::RemoveTree(strDiff);
    CreateDirectoryW(strWork.c_str(), nullptr);
    CreateDirectoryW(strUserRoot.c_str(), nullptr);

    wprintf(L"update_bench: %lu files, %lu MB in the install folder; a quarter of the files in the update\n",
            dwFiles, dwMegabytes);
    if (!MakeTrees(strIns, strDiff, dwFiles, dwMegabytes)) {
        wprintf(L"the trees could not be written\n");
        return 1;
    }
    const std::wstring strTools = ProgramFolder();
    if (RunProgram(L"\"" + strTools + L"nc_updatesign.exe\" sign \"" + strTools + L"dev-update-private.blob\" \"" +
                   strDiff + L"\"") != 0) {
        wprintf(L"the update could not be signed\n");
        return 1;
    }
    const std::string strKey = ReadFileBytes(strTools + L"dev-update-public.blob");
    MonitorUpdate::Seams seams;
    seams.strInstallPath = strIns + L"\\";
    seams.pbPublicKey = reinterpret_cast<const BYTE *>(strKey.data());
    seams.dwPublicKeySize = (DWORD)strKey.size();
    ScopedHandle hProcessToken, hToken;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, hProcessToken.Receive()) ||
        !DuplicateTokenEx(hProcessToken.Get(), TOKEN_QUERY | TOKEN_IMPERSONATE | TOKEN_DUPLICATE, nullptr,
                          SecurityImpersonation, TokenImpersonation, hToken.Receive()))
        return 1;

    // The steps one by one, on a copy of the difference folder.
    const std::wstring strPristine = strWork + L"\\diff-pristine";
    FolderMirror copier{std::wstring()};
    copier.Mirror(strDiff, strPristine);
    const std::wstring strInsPristine = strWork + L"\\ins-pristine";
    copier.Mirror(strIns, strInsPristine);
    Steps steps;
    {
        MonitorUpdate update(seams);
        const std::wstring strStaging = strIns + MonitorUpdate::STAGING_SUFFIX;
        std::wstring strReason;
        Clock::time_point start = Clock::now();
        StagingCopy(hToken.Get()).Copy(strDiff, strStaging, strReason);
        steps.dStage = Seconds(start);
        start = Clock::now();
        bool bVerified = UpdateManifest(UpdateSignature(seams.pbPublicKey, seams.dwPublicKeySize)).Verify(strStaging, strReason);
        steps.dVerify = Seconds(start);
        start = Clock::now();
        long lBackup = update.BackupCopy();
        steps.dBackup = Seconds(start);
        start = Clock::now();
        long lCopy = update.DiffFileCopy(strStaging);
        steps.dCopy = Seconds(start);
        FolderMirror::RemoveTree(strStaging);
        if (!bVerified || lBackup != 0 || lCopy != 0) wprintf(L"a step failed: %ls %ld %ld\n", strReason.c_str(), lBackup, lCopy);
    }
    // The whole update as the service runs it (the client start at its end fails here: there is
    // no client in the bench's install folder; everything before it is timed).
    copier.Mirror(strInsPristine, strIns);
    FolderMirror::RemoveTree(strIns + MonitorUpdate::BACKUP_SUFFIX);
    copier.Mirror(strPristine, strDiff);
    double dWhole = 0;
    {
        MonitorUpdate update(seams);
        update.SetRequester(hToken.Get());
        Clock::time_point start = Clock::now();
        update.UpdateMainProc(strDiff);
        dWhole = Seconds(start);
    }
    double dXcopyIns = TimeXcopy(strInsPristine, strWork + L"\\xcopy-ins");
    double dXcopyDiff = TimeXcopy(strPristine, strWork + L"\\xcopy-diff");
    double dXcopy = dXcopyIns + dXcopyDiff;

    wprintf(L"staging (read as the user)   %8.2f s\n", steps.dStage);
    wprintf(L"verification (SHA-256, RSA)  %8.2f s\n", steps.dVerify);
    wprintf(L"backup (fresh, then swapped) %8.2f s\n", steps.dBackup);
    wprintf(L"deletions and copy           %8.2f s\n", steps.dCopy);
    wprintf(L"sum of the steps             %8.2f s\n", steps.Sum());
    wprintf(L"whole update (UpdateMainProc)%8.2f s\n", dWhole);
    wprintf(L"xcopy install tree           %8.2f s\n", dXcopyIns);
    wprintf(L"xcopy difference tree        %8.2f s\n", dXcopyDiff);
    wprintf(L"ratio whole / (xcopy install + xcopy difference) = %.2f\n", dXcopy > 0 ? dWhole / dXcopy : 0.0);
    FolderMirror::RemoveTree(strWork);
    FolderMirror::RemoveTree(strDiff);
    return 0;
}
