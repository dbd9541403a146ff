#include "PipeSender.h"
#include "Log.h"
#include "PipeImpersonation.h"
#include "TokenIdentity.h"
#include <vector>

namespace {
typedef BOOL(WINAPI *ClientProcessIdFn)(HANDLE, PULONG);
typedef BOOL(WINAPI *ImageNameFn)(HANDLE, DWORD, LPWSTR, PDWORD);

const DWORD kQueryLimitedInformation = 0x1000;   // PROCESS_QUERY_LIMITED_INFORMATION (Vista)
const DWORD kImagePathChars = 32768;
const DWORD kTokenAccess = TOKEN_QUERY | TOKEN_DUPLICATE | TOKEN_IMPERSONATE;

FARPROC Kernel32Proc(const char *pszName)
{
    HMODULE hKernel = GetModuleHandleW(L"kernel32.dll");
    return hKernel != nullptr ? GetProcAddress(hKernel, pszName) : nullptr;
}

}  // namespace

PipeSender::PipeSender(DWORD dwProcessId, const std::wstring &strImagePath, HANDLE hUserToken)
    : m_dwProcessId(dwProcessId), m_strImagePath(strImagePath)
{
    if (hUserToken != nullptr && KeepImpersonationCopy(hUserToken)) m_strUserName = TokenUserName(m_hUserToken.Get());
}

bool PipeSender::Identify(HANDLE hPipe)
{
    LOG_SCOPE();
    IdentifyProcess(hPipe);
    if (!IdentifyUser(hPipe)) return false;
    if (!m_hUserToken && IsProcessKnown()) TakeUserFromProcess();
    if (m_hUserToken) m_strUserName = TokenUserName(m_hUserToken.Get());
    return true;
}

void PipeSender::IdentifyProcess(HANDLE hPipe)
{
    ClientProcessIdFn pfnClientId =
        reinterpret_cast<ClientProcessIdFn>(Kernel32Proc("GetNamedPipeClientProcessId"));
    if (pfnClientId == nullptr) return;   // XP: Log() says the process is unknown
    ULONG ulProcessId = 0;
    if (!pfnClientId(hPipe, &ulProcessId)) {
        LOG_API_ERROR(L"GetNamedPipeClientProcessId", GetLastError());
        return;
    }
    m_dwProcessId = ulProcessId;
    ReadImagePath();
}

void PipeSender::ReadImagePath()
{
    ImageNameFn pfnImageName = reinterpret_cast<ImageNameFn>(Kernel32Proc("QueryFullProcessImageNameW"));
    if (pfnImageName == nullptr) return;
    ScopedHandle hProcess(OpenProcess(kQueryLimitedInformation, FALSE, m_dwProcessId));
    if (!hProcess) {
        LOG_API_ERROR(L"OpenProcess", GetLastError());
        return;
    }
    std::vector<wchar_t> vecPath(kImagePathChars, L'\0');
    DWORD dwChars = kImagePathChars;
    if (!pfnImageName(hProcess.Get(), 0, vecPath.data(), &dwChars)) {
        LOG_API_ERROR(L"QueryFullProcessImageNameW", GetLastError());
        return;
    }
    m_strImagePath.assign(vecPath.data(), dwChars);
}

bool PipeSender::IdentifyUser(HANDLE hPipe)
{
    PipeImpersonation impersonation(hPipe);
    if (!impersonation.IsActive()) return true;
    ScopedHandle hThreadToken;
    if (!OpenThreadToken(GetCurrentThread(), kTokenAccess, TRUE, hThreadToken.Receive())) {
        DWORD dwErr = GetLastError();
        hThreadToken.Reset();
        LOG_API_ERROR(L"OpenThreadToken", dwErr);
    }
    // Back to the service's own account before anything else runs on this thread.
    if (!impersonation.Revert()) return false;
    if (hThreadToken) KeepImpersonationCopy(hThreadToken.Get());
    return true;
}

void PipeSender::TakeUserFromProcess()
{
    LOGWRITE(LOG_INFO, L"The pipe client's user is taken from its process %lu.", m_dwProcessId);
    ScopedHandle hProcess(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, m_dwProcessId));
    if (!hProcess) {
        LOG_API_ERROR(L"OpenProcess", GetLastError());
        return;
    }
    ScopedHandle hProcessToken;
    if (!OpenProcessToken(hProcess.Get(), kTokenAccess, hProcessToken.Receive())) {
        LOG_API_ERROR(L"OpenProcessToken", GetLastError());
        hProcessToken.Reset();
        return;
    }
    KeepImpersonationCopy(hProcessToken.Get());
}

bool PipeSender::KeepImpersonationCopy(HANDLE hToken)
{
    if (!DuplicateTokenEx(hToken, kTokenAccess, nullptr, SecurityImpersonation, TokenImpersonation,
                          m_hUserToken.Receive())) {
        LOG_API_ERROR(L"DuplicateTokenEx", GetLastError());
        m_hUserToken.Reset();
        return false;
    }
    return true;
}

std::wstring PipeSender::TokenUserName(HANDLE hToken)
{
    TokenIdentity user;
    return user.FromToken(hToken) ? user.AccountName() : std::wstring();
}

void PipeSender::Log() const
{
    if (IsProcessKnown()) {
        LOGWRITE(LOG_DEBUG, L"[InputInfo] Sender process id is %lu", m_dwProcessId);
        LOGWRITE(LOG_DEBUG, L"[InputInfo] Sender image is [%s]", m_strImagePath.c_str());
    } else {
        LOGWRITE(LOG_INFO, L"The sender's process cannot be identified on this system.");
    }
    LOGWRITE(LOG_DEBUG, L"[InputInfo] Sender user is [%s] (token %s)", m_strUserName.c_str(),
             m_hUserToken ? L"kept" : L"none");
}
