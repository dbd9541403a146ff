// Test and demo tool: what Wine's sc.exe lacks. Prints one result line per call.
//   svcctl status NAME            -> "state=4 checkpoint=1 waithint=0 accepted=0x85 type=16"
//   svcctl config NAME            -> "type=16 start=3 error=1 account=LocalSystem path=..."
//   svcctl start NAME [ms]        -> starts and waits until running (or the time is up)
//   svcctl stop NAME [ms]         -> requests stop and waits until stopped
//   svcctl control NAME CODE      -> sends a control code
//   svcctl watch NAME MS          -> "state=3 checkpoint=5 waithint=50000" for every change of the
//                                    status, read every 20 ms, until stopped or MS have passed
//   svcctl pipeacl PIPE           -> the DACL of a pipe as SDDL
//   svcctl pipesend PIPE MS TEXT  -> connects, stays silent for MS, then writes TEXT (UTF-16LE,
//                                    no terminator) in one write: a client that is slow to speak
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <cstdio>
#include <cwchar>
#include <string>

namespace {
SC_HANDLE OpenService(const wchar_t *pszName, DWORD dwAccess)
{
    SC_HANDLE hScm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (hScm == nullptr) return nullptr;
    SC_HANDLE hService = OpenServiceW(hScm, pszName, dwAccess);
    CloseServiceHandle(hScm);
    return hService;
}

int Fail(const char *pszWhat)
{
    std::printf("error %s rc=%lu\n", pszWhat, GetLastError());
    return 1;
}

bool Query(SC_HANDLE hService, SERVICE_STATUS *pStatus)
{
    return QueryServiceStatus(hService, pStatus) != FALSE;
}

int WaitFor(SC_HANDLE hService, DWORD dwState, DWORD dwMs)
{
    SERVICE_STATUS st = {};
    DWORD dwStart = GetTickCount();
    while (Query(hService, &st) && st.dwCurrentState != dwState && GetTickCount() - dwStart < dwMs) Sleep(100);
    std::printf("state=%lu\n", st.dwCurrentState);
    return st.dwCurrentState == dwState ? 0 : 1;
}

int Status(const wchar_t *pszName)
{
    SC_HANDLE h = OpenService(pszName, SERVICE_QUERY_STATUS);
    if (h == nullptr) return Fail("OpenService");
    SERVICE_STATUS st = {};
    int iRc = Query(h, &st) ? 0 : Fail("QueryServiceStatus");
    if (iRc == 0) {
        std::printf("state=%lu checkpoint=%lu waithint=%lu accepted=0x%lx type=%lu\n", st.dwCurrentState,
                    st.dwCheckPoint, st.dwWaitHint, st.dwControlsAccepted, st.dwServiceType);
    }
    CloseServiceHandle(h);
    return iRc;
}

int Config(const wchar_t *pszName)
{
    SC_HANDLE h = OpenService(pszName, SERVICE_QUERY_CONFIG);
    if (h == nullptr) return Fail("OpenService");
    BYTE abBuf[8192];
    DWORD dwNeeded = 0;
    QUERY_SERVICE_CONFIGW *pCfg = reinterpret_cast<QUERY_SERVICE_CONFIGW *>(abBuf);
    int iRc = QueryServiceConfigW(h, pCfg, sizeof(abBuf), &dwNeeded) ? 0 : Fail("QueryServiceConfig");
    if (iRc == 0) {
        std::printf("type=%lu start=%lu error=%lu account=%ls path=%ls\n", pCfg->dwServiceType, pCfg->dwStartType,
                    pCfg->dwErrorControl, pCfg->lpServiceStartName ? pCfg->lpServiceStartName : L"",
                    pCfg->lpBinaryPathName ? pCfg->lpBinaryPathName : L"");
    }
    CloseServiceHandle(h);
    return iRc;
}

int Start(const wchar_t *pszName, DWORD dwMs)
{
    SC_HANDLE h = OpenService(pszName, SERVICE_START | SERVICE_QUERY_STATUS);
    if (h == nullptr) return Fail("OpenService");
    int iRc = StartServiceW(h, 0, nullptr) ? WaitFor(h, SERVICE_RUNNING, dwMs) : Fail("StartService");
    CloseServiceHandle(h);
    return iRc;
}

int Control(const wchar_t *pszName, DWORD dwCode, DWORD dwMs)
{
    SC_HANDLE h = OpenService(pszName, SERVICE_STOP | SERVICE_QUERY_STATUS | SERVICE_USER_DEFINED_CONTROL |
                                           SERVICE_INTERROGATE);
    if (h == nullptr) return Fail("OpenService");
    SERVICE_STATUS st = {};
    int iRc = 0;
    if (!ControlService(h, dwCode, &st)) iRc = Fail("ControlService");
    else if (dwCode == SERVICE_CONTROL_STOP) iRc = WaitFor(h, SERVICE_STOPPED, dwMs);
    else std::printf("state=%lu\n", st.dwCurrentState);
    CloseServiceHandle(h);
    return iRc;
}

const DWORD kWatchPollMs = 20;

int Watch(const wchar_t *pszName, DWORD dwMs)
{
    SC_HANDLE h = OpenService(pszName, SERVICE_QUERY_STATUS);
    if (h == nullptr) return Fail("OpenService");
    SERVICE_STATUS last = {};
    SERVICE_STATUS st = {};
    DWORD dwStart = GetTickCount();
    bool bFirst = true;
    while (Query(h, &st)) {
        if (bFirst || st.dwCurrentState != last.dwCurrentState || st.dwCheckPoint != last.dwCheckPoint ||
            st.dwWaitHint != last.dwWaitHint) {
            std::printf("state=%lu checkpoint=%lu waithint=%lu\n", st.dwCurrentState, st.dwCheckPoint, st.dwWaitHint);
            std::fflush(stdout);
            last = st;
            bFirst = false;
        }
        if (st.dwCurrentState == SERVICE_STOPPED || GetTickCount() - dwStart >= dwMs) break;
        Sleep(kWatchPollMs);
    }
    CloseServiceHandle(h);
    return st.dwCurrentState == SERVICE_STOPPED ? 0 : 1;
}

HANDLE OpenPipe(const wchar_t *pszPipe, DWORD dwAccess)
{
    // The server may be between two instances or have every instance busy for a moment.
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int i = 0; i < 50 && h == INVALID_HANDLE_VALUE; ++i) {
        h = CreateFileW(pszPipe, dwAccess, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_PIPE_BUSY) WaitNamedPipeW(pszPipe, 1000);
        else if (h == INVALID_HANDLE_VALUE) Sleep(200);
    }
    return h;
}

int PipeSend(const wchar_t *pszPipe, DWORD dwDelayMs, const wchar_t *pszText)
{
    HANDLE h = OpenPipe(pszPipe, GENERIC_WRITE);
    if (h == INVALID_HANDLE_VALUE) return Fail("CreateFile");
    std::printf("connected\n");
    std::fflush(stdout);
    Sleep(dwDelayMs);
    DWORD dwBytes = static_cast<DWORD>(wcslen(pszText) * sizeof(wchar_t));
    DWORD dwWritten = 0;
    int iRc = WriteFile(h, pszText, dwBytes, &dwWritten, nullptr) && dwWritten == dwBytes ? 0 : Fail("WriteFile");
    if (iRc == 0) std::printf("sent %lu bytes\n", dwWritten);
    CloseHandle(h);
    return iRc;
}

int PipeAcl(const wchar_t *pszPipe)
{
    HANDLE h = OpenPipe(pszPipe, READ_CONTROL);
    if (h == INVALID_HANDLE_VALUE) return Fail("CreateFile");
    PACL pDacl = nullptr;
    PSECURITY_DESCRIPTOR pSd = nullptr;
    DWORD dwRc = GetSecurityInfo(h, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &pDacl, nullptr, &pSd);
    CloseHandle(h);
    if (dwRc != ERROR_SUCCESS) {
        SetLastError(dwRc);
        return Fail("GetSecurityInfo");
    }
    LPWSTR pszSddl = nullptr;
    int iRc = 0;
    if (ConvertSecurityDescriptorToStringSecurityDescriptorW(pSd, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &pszSddl,
                                                             nullptr)) {
        std::printf("%ls\n", pszSddl);
        LocalFree(pszSddl);
    } else {
        iRc = Fail("ConvertSecurityDescriptorToStringSecurityDescriptor");
    }
    LocalFree(pSd);
    return iRc;
}
}  // namespace

int wmain(int argc, wchar_t **argv)
{
    if (argc < 3) {
        std::printf("usage: svcctl status|config|start|stop|control|watch|pipeacl|pipesend NAME [arg] [text]\n");
        return 2;
    }
    std::wstring strCmd = argv[1];
    const wchar_t *pszName = argv[2];
    DWORD dwArg = argc > 3 ? static_cast<DWORD>(wcstoul(argv[3], nullptr, 10)) : 30000;
    if (strCmd == L"status") return Status(pszName);
    if (strCmd == L"config") return Config(pszName);
    if (strCmd == L"start") return Start(pszName, dwArg);
    if (strCmd == L"stop") return Control(pszName, SERVICE_CONTROL_STOP, dwArg);
    if (strCmd == L"control") return Control(pszName, dwArg, 0);
    if (strCmd == L"watch") return Watch(pszName, dwArg);
    if (strCmd == L"pipeacl") return PipeAcl(pszName);
    if (strCmd == L"pipesend" && argc > 4) return PipeSend(pszName, dwArg, argv[4]);
    std::printf("unknown command\n");
    return 2;
}
