#pragma once
// File names of the product that the update treats specially: the service's and the client's
// executables (built from their parts, as the design names them) and the Japanese resources.
#include <string>

struct ProductNames {
    static constexpr const wchar_t *kMonitorBase = L"NolvexConnectMonitor";
    static constexpr const wchar_t *kClientBase = L"NolvexConnect";
    static constexpr const wchar_t *kExeSuffix = L".exe";
    static constexpr const wchar_t *kStringTableDll = L"StringTable_JP.dll";
    static std::wstring MonitorExe() { return std::wstring(kMonitorBase) + kExeSuffix; }
    static std::wstring ClientExe() { return std::wstring(kClientBase) + kExeSuffix; }
};
