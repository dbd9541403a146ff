#pragma once
// What the registration switches write: the AppID of the module (machine or per-user hive) and
// the Windows service itself.
#include <windows.h>
#include <string>

class ServiceRegistration {
public:
    // AppID and, with bService, its "LocalService" value and the installed service.
    static HRESULT Register(bool bPerUser, bool bService);
    // Removes the service and the AppID.
    static HRESULT Unregister(bool bPerUser);

    static bool IsInstalled();
    static bool Install();
    static bool Uninstall();

private:
    static HRESULT WriteAppId(bool bPerUser, bool bService);
    static HRESULT RemoveAppId(bool bPerUser);
    static std::wstring QuotedModulePath();
};
