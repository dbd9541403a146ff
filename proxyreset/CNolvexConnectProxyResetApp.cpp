#include "CNolvexConnectProxyResetApp.h"
#include "CNolvexConnectProxyResetDlg.h"
#include "Log.h"
#include "ProxyInformation.h"
#include "ScopedHandle.h"
#include <commctrl.h>
#include <shellapi.h>

namespace {
const size_t kArgsWithoutEntry = 2;
const size_t kArgsWithEntry = 3;
const size_t kIdArg = 0;
const size_t kFileArg = 1;
const size_t kEntryArg = 2;
}  // namespace

CNolvexConnectProxyResetApp::CNolvexConnectProxyResetApp(HINSTANCE hInstance)
    : m_hInstance(hInstance), m_iExitCode(PROXYRESET_WRONG_ARGUMENTS)
{
}

void CNolvexConnectProxyResetApp::InitControls()
{
    INITCOMMONCONTROLSEX icc = {};
    icc.dwSize = sizeof(icc);
    icc.dwICC = ICC_WIN95_CLASSES;
    if (!InitCommonControlsEx(&icc)) LOG_API_ERROR(L"InitCommonControlsEx", GetLastError());
}

std::vector<std::wstring> CNolvexConnectProxyResetApp::SplitArguments(const std::wstring &strCommandLine)
{
    std::vector<std::wstring> vecArgs;
    int iCount = 0;
    ScopedLocal hArgs(reinterpret_cast<HLOCAL>(CommandLineToArgvW(strCommandLine.c_str(), &iCount)));
    if (!hArgs) {
        LOG_API_ERROR(L"CommandLineToArgvW", GetLastError());
        return vecArgs;
    }
    LPWSTR *ppszArgs = reinterpret_cast<LPWSTR *>(hArgs.Get());
    for (int i = 1; i < iCount; ++i) vecArgs.push_back(ppszArgs[i]);
    return vecArgs;
}

void CNolvexConnectProxyResetApp::LogValues(ProxyInformation &clInfo)
{
    for (int i = 0; i < ProxySetting::KEY_COUNT; ++i) {
        LOGWRITE(LOG_INFO, L"[OutputInfo] %s is %s", ProxySetting::KEY_NAMES[i],
                 clInfo.Setting().GetValue(static_cast<ProxySetting::Key>(i)).c_str());
    }
}

ProxyResetExitCode CNolvexConnectProxyResetApp::MakeEntryDirect(ProxyInformation &clInfo, const std::wstring &strEntry)
{
    if (!clInfo.GetProxySetting(strEntry)) LOGWRITE(LOG_WARN, L"The live settings of [%s] could not be read", strEntry.c_str());
    clInfo.SetAutoDetect(false);
    clInfo.SetAutoProxy(false);
    clInfo.SetAutoConfigURL(L"");
    clInfo.SetDirect(true);
    clInfo.SetProxyAddress(L"", L"");
    clInfo.SetProxyBypass(L"", false);
    return clInfo.ApplyProxySetting(strEntry) ? PROXYRESET_APPLIED : PROXYRESET_APPLY_FAILED;
}

ProxyResetExitCode CNolvexConnectProxyResetApp::ApplySavedFile(ProxyInformation &clInfo, const std::wstring &strFile,
                                                               const std::wstring &strEntry)
{
    if (!clInfo.ReadSetting(strFile, L"")) {
        LOGWRITE(LOG_ERROR, L"The saved proxy settings could not be read, nothing is applied: [%s]", strFile.c_str());
        return PROXYRESET_FILE_UNREADABLE;
    }
    LogValues(clInfo);
    return clInfo.ApplyProxySetting(strEntry) ? PROXYRESET_APPLIED : PROXYRESET_APPLY_FAILED;
}

ProxyResetExitCode CNolvexConnectProxyResetApp::Restore(const std::vector<std::wstring> &vecArgs)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] argument count is %d", (int)vecArgs.size());
    if (vecArgs.size() != kArgsWithoutEntry && vecArgs.size() != kArgsWithEntry) {
        LOGWRITE(LOG_ERROR, L"Wrong number of arguments (%d), nothing is applied", (int)vecArgs.size());
        return PROXYRESET_WRONG_ARGUMENTS;
    }
    std::wstring strEntry = vecArgs.size() == kArgsWithEntry ? vecArgs[kEntryArg] : std::wstring();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] FilePath is %s", vecArgs[kFileArg].c_str());
    LOGWRITE(LOG_DEBUG, L"[InputInfo] Entry is %s", strEntry.c_str());
    ProxyInformation clInfo(vecArgs[kIdArg]);
    ProxyResetExitCode code = (vecArgs[kFileArg].empty() && !strEntry.empty())
                                  ? MakeEntryDirect(clInfo, strEntry)
                                  : ApplySavedFile(clInfo, vecArgs[kFileArg], strEntry);
    LOGWRITE(LOG_INFO, L"[OutputInfo] exit code is %d", (int)code);
    return code;
}

bool CNolvexConnectProxyResetApp::InitInstance()
{
    LOG_SCOPE();
    InitControls();
    m_iExitCode = Restore(SplitArguments(GetCommandLineW()));
    CNolvexConnectProxyResetDlg dlg(m_hInstance);
    dlg.DoModal();
    return false;
}
