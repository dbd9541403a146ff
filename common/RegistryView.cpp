#include "RegistryView.h"

namespace {
typedef LONG(WINAPI *RegDeleteKeyExFunc)(HKEY hKey, LPCWSTR pszSubKey, REGSAM samDesired, DWORD dwReserved);

RegDeleteKeyExFunc FindRegDeleteKeyEx()
{
    HMODULE hAdvapi = GetModuleHandleW(L"advapi32.dll");
    if (hAdvapi == nullptr) return nullptr;
    return reinterpret_cast<RegDeleteKeyExFunc>(
        reinterpret_cast<void *>(GetProcAddress(hAdvapi, "RegDeleteKeyExW")));
}
}  // namespace

LONG RegistryView::DeleteKey(HKEY hRoot, const std::wstring &strSubKey)
{
    static const RegDeleteKeyExFunc pfnDeleteKeyEx = FindRegDeleteKeyEx();
    if (pfnDeleteKeyEx != nullptr) return pfnDeleteKeyEx(hRoot, strSubKey.c_str(), PRODUCT_VIEW, 0);
    return RegDeleteKeyW(hRoot, strSubKey.c_str());
}
