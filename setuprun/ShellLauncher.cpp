#include "ShellLauncher.h"

#include <shellapi.h>

#include "LaunchLog.h"
#include "ScopedHandle.h"

ShellLauncher::ShellLauncher(DWORD dwOsMajorVersion) : m_pszVerb(VerbFor(dwOsMajorVersion)) {}

const char *ShellLauncher::VerbFor(DWORD dwOsMajorVersion)
{
    return dwOsMajorVersion == 5 ? nullptr : "runas";
}

bool ShellLauncher::RunAndWait(const char *pszFile, const char *pszParameters) const
{
    SHELLEXECUTEINFOA sei = {};
    sei.cbSize = sizeof(sei);
    sei.fMask = SEE_MASK_NOCLOSEPROCESS;
    sei.lpVerb = m_pszVerb;
    sei.lpFile = pszFile;
    sei.lpParameters = pszParameters;
    sei.nShow = SW_SHOWNORMAL;
    LaunchLog::Write("[API Call] ShellExecuteExA file:[%s] verb:[%s] parameters:[%s]", pszFile,
                     m_pszVerb ? m_pszVerb : "", pszParameters ? pszParameters : "");
    if (!ShellExecuteExA(&sei)) {
        // The shell's own error box may clear the last error; hInstApp still holds the SE_ERR_ code.
        DWORD dwError = GetLastError();
        if (dwError == ERROR_SUCCESS) dwError = static_cast<DWORD>(reinterpret_cast<INT_PTR>(sei.hInstApp));
        LaunchLog::ApiError("ShellExecuteExA", dwError);
        return false;
    }
    // The shell may hand the file to a running process (DDE) and give no handle: nothing to wait for.
    ScopedHandle hProcess(sei.hProcess);
    if (!hProcess) return true;
    if (WaitForSingleObject(hProcess.Get(), INFINITE) == WAIT_FAILED)
        LaunchLog::ApiError("WaitForSingleObject", GetLastError());
    return true;
}
