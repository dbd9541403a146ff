#include "ServiceRegistration.h"
#include "Log.h"
#include "RegistryView.h"
#include "ScopedHandle.h"
#include "ServiceGlobals.h"

namespace {
const wchar_t kAppId[] = L"{B325C1A5-B807-4DA3-93BD-283F594220AF}";
const wchar_t kExeName[] = L"NolvexConnectMonitor.exe";
// The dependency list is a double-zero-terminated multi-string.
const wchar_t kDependencies[] = L"RPCSS\0";

HKEY ClassesRoot(bool bPerUser)
{
    return bPerUser ? HKEY_CURRENT_USER : HKEY_CLASSES_ROOT;
}

std::wstring ClassesPath(bool bPerUser, const std::wstring &strSub)
{
    return bPerUser ? L"Software\\Classes\\" + strSub : strSub;
}

LONG SetString(HKEY hKey, const wchar_t *pszName, const std::wstring &strValue)
{
    return RegSetValueExW(hKey, pszName, 0, REG_SZ, reinterpret_cast<const BYTE *>(strValue.c_str()),
                          static_cast<DWORD>((strValue.size() + 1) * sizeof(wchar_t)));
}

LONG CreateKey(HKEY hRoot, const std::wstring &strPath, ScopedRegKey *pKey)
{
    return RegCreateKeyExW(hRoot, strPath.c_str(), 0, nullptr, 0,
                           KEY_READ | KEY_WRITE | RegistryView::PRODUCT_VIEW, nullptr, pKey->Receive(), nullptr);
}
}  // namespace

HRESULT ServiceRegistration::Register(bool bPerUser, bool bService)
{
    LOG_SCOPE();
    // A plain registration leaves no service behind, as the service module's own does.
    if (!Uninstall()) return E_FAIL;
    HRESULT hr = WriteAppId(bPerUser, bService);
    if (FAILED(hr)) return hr;
    if (bService && !Install()) return E_FAIL;
    return S_OK;
}

HRESULT ServiceRegistration::Unregister(bool bPerUser)
{
    LOG_SCOPE();
    if (!Uninstall()) return E_FAIL;
    return RemoveAppId(bPerUser);
}

HRESULT ServiceRegistration::WriteAppId(bool bPerUser, bool bService)
{
    HKEY hRoot = ClassesRoot(bPerUser);
    ScopedRegKey hExeKey;
    LONG lRc = CreateKey(hRoot, ClassesPath(bPerUser, std::wstring(L"AppID\\") + kExeName), &hExeKey);
    if (lRc == ERROR_SUCCESS) lRc = SetString(hExeKey.Get(), L"AppID", kAppId);
    ScopedRegKey hAppKey;
    if (lRc == ERROR_SUCCESS) lRc = CreateKey(hRoot, ClassesPath(bPerUser, std::wstring(L"AppID\\") + kAppId), &hAppKey);
    if (lRc == ERROR_SUCCESS) lRc = SetString(hAppKey.Get(), nullptr, NC_SERVICE_NAME);
    if (lRc == ERROR_SUCCESS) {
        if (bService) lRc = SetString(hAppKey.Get(), L"LocalService", NC_SERVICE_NAME);
        else RegDeleteValueW(hAppKey.Get(), L"LocalService");
    }
    if (lRc != ERROR_SUCCESS) {
        LOG_API_ERROR(L"RegSetValueEx", lRc);
        return HRESULT_FROM_WIN32(lRc);
    }
    return S_OK;
}

HRESULT ServiceRegistration::RemoveAppId(bool bPerUser)
{
    HKEY hRoot = ClassesRoot(bPerUser);
    const std::wstring astrKeys[] = {ClassesPath(bPerUser, std::wstring(L"AppID\\") + kExeName),
                                     ClassesPath(bPerUser, std::wstring(L"AppID\\") + kAppId)};
    for (const std::wstring &strKey : astrKeys) {
        LONG lRc = RegistryView::DeleteKey(hRoot, strKey);
        if (lRc != ERROR_SUCCESS && lRc != ERROR_FILE_NOT_FOUND) {
            LOG_API_ERROR(L"RegDeleteKey", lRc);
            return HRESULT_FROM_WIN32(lRc);
        }
    }
    return S_OK;
}

std::wstring ServiceRegistration::QuotedModulePath()
{
    wchar_t szPath[MAX_PATH + 1] = {};
    DWORD dwLen = GetModuleFileNameW(nullptr, szPath, MAX_PATH);
    if (dwLen == 0 || dwLen >= MAX_PATH) {
        LOG_API_ERROR(L"GetModuleFileName", GetLastError());
        return std::wstring();
    }
    // The install folder has blanks: an unquoted image path would be ambiguous.
    return L"\"" + std::wstring(szPath) + L"\"";
}

bool ServiceRegistration::IsInstalled()
{
    ScopedServiceHandle hSCM(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!hSCM) {
        LOG_API_ERROR(L"OpenSCManager", GetLastError());
        return false;
    }
    ScopedServiceHandle hService(OpenServiceW(hSCM.Get(), NC_SERVICE_NAME, SERVICE_QUERY_CONFIG));
    return hService.IsValid();
}

bool ServiceRegistration::Install()
{
    LOG_SCOPE();
    if (IsInstalled()) return true;
    std::wstring strPath = QuotedModulePath();
    if (strPath.empty()) return false;
    ScopedServiceHandle hSCM(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!hSCM) {
        LOG_API_ERROR(L"OpenSCManager", GetLastError());
        return false;
    }
    // Own process, demand start, normal error control, depends on RPCSS, runs as LocalSystem.
    ScopedServiceHandle hService(CreateServiceW(
        hSCM.Get(), NC_SERVICE_NAME, NC_SERVICE_NAME, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
        SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, strPath.c_str(), nullptr, nullptr, kDependencies,
        nullptr, nullptr));
    if (!hService) {
        LOG_API_ERROR(L"CreateService", GetLastError());
        return false;
    }
    return true;
}

bool ServiceRegistration::Uninstall()
{
    LOG_SCOPE();
    if (!IsInstalled()) return true;
    ScopedServiceHandle hSCM(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!hSCM) {
        LOG_API_ERROR(L"OpenSCManager", GetLastError());
        return false;
    }
    ScopedServiceHandle hService(OpenServiceW(hSCM.Get(), NC_SERVICE_NAME, SERVICE_STOP | DELETE));
    if (!hService) {
        LOG_API_ERROR(L"OpenService", GetLastError());
        return false;
    }
    SERVICE_STATUS status = {};
    ControlService(hService.Get(), SERVICE_CONTROL_STOP, &status);   // not running is fine
    if (!DeleteService(hService.Get())) {
        LOG_API_ERROR(L"DeleteService", GetLastError());
        return false;
    }
    return true;
}
