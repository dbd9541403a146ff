#include "MonitorStart.h"
#include "Log.h"
#include "ScopedHandle.h"
#include <tlhelp32.h>

namespace {
typedef HANDLE(WINAPI *CreateSnapshotFn)(DWORD, DWORD);
typedef BOOL(WINAPI *ProcessWalkFn)(HANDLE, LPPROCESSENTRY32W);

int WalkSnapshot(HANDLE hSnapshot, DWORD dwProcessId, ProcessWalkFn pfnFirst, ProcessWalkFn pfnNext)
{
    PROCESSENTRY32W pe = {};
    pe.dwSize = sizeof(pe);
    BOOL bEntry = pfnFirst(hSnapshot, &pe);
    while (bEntry) {
        if (pe.th32ProcessID == dwProcessId) {
            LOGWRITE(LOG_DEBUG, L"NolvexConnect ProcessID OK [%s]", pe.szExeFile);
            return 1;
        }
        LOGWRITE(LOG_DEBUG, L"NolvexConnect ProcessID does not exist [%s]", pe.szExeFile);
        bEntry = pfnNext(hSnapshot, &pe);
    }
    DWORD dwErr = GetLastError();
    if (dwErr == ERROR_NO_MORE_FILES) LOGWRITE(LOG_DEBUG, L"Next ProcessID does not exist");
    else LOG_API_ERROR(L"lpfProcess32Next", dwErr);
    return 0;
}
}  // namespace

int MonitorStart::ProcessCheck(DWORD dwProcessId)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] dwProcessID is %lu", dwProcessId);
    OSVERSIONINFOW osvi = {};
    osvi.dwOSVersionInfoSize = sizeof(osvi);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    BOOL bVersion = GetVersionExW(&osvi);
#pragma GCC diagnostic pop
    if (!bVersion) {
        LOG_API_ERROR(L"GetVersionEx", GetLastError());
        return 0;
    }
    ScopedModule hKernel(LoadLibraryW(L"Kernel32.DLL"));
    if (!hKernel) {
        LOG_API_ERROR(L"LoadLibraryW", GetLastError());
        return 0;
    }
    ScopedModule hVdm;
    if (osvi.dwPlatformId == VER_PLATFORM_WIN32_NT) {
        hVdm.Reset(LoadLibraryW(L"VDMDBG.DLL"));
        if (!hVdm) {
            LOG_API_ERROR(L"LoadLibraryW", GetLastError());
            return 0;
        }
    }
    CreateSnapshotFn pfnSnapshot =
        reinterpret_cast<CreateSnapshotFn>(GetProcAddress(hKernel.Get(), "CreateToolhelp32Snapshot"));
    ProcessWalkFn pfnFirst = reinterpret_cast<ProcessWalkFn>(GetProcAddress(hKernel.Get(), "Process32FirstW"));
    ProcessWalkFn pfnNext = reinterpret_cast<ProcessWalkFn>(GetProcAddress(hKernel.Get(), "Process32NextW"));
    if (pfnSnapshot == nullptr || pfnFirst == nullptr || pfnNext == nullptr) {
        LOG_API_ERROR(L"GetProcAddress", GetLastError());
        return 0;
    }
    ScopedFileHandle hSnapshot(pfnSnapshot(TH32CS_SNAPPROCESS, 0));
    if (!hSnapshot) {
        LOGWRITE(LOG_ERROR, L"lpfCreateToolhelp32Snapshot ERROR");
        return 0;
    }
    int iResult = WalkSnapshot(hSnapshot.Get(), dwProcessId, pfnFirst, pfnNext);
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] ProcessCheck() return %d", iResult);
    return iResult;
}

int MonitorStart::QueueUser(HANDLE hThread)
{
    LOG_SCOPE();
    if (hThread != nullptr && !QueueUserAPC(APCFunc, hThread, 0)) {
        LOG_API_ERROR(L"QueueUserAPC", GetLastError());
    }
    return 0;
}

void CALLBACK APCFunc(ULONG_PTR)
{
    LOG_SCOPE();
}
