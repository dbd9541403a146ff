#include "WmiBiosSerial.h"
#include "Log.h"
#include "ScopedHandle.h"
#include <objbase.h>
#include <oleauto.h>
#include <wbemidl.h>

namespace {
// Uninitialises COM on every way out when this call initialised it.
class ComInit {
public:
    ComInit() : m_hr(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~ComInit()
    {
        if (SUCCEEDED(m_hr)) CoUninitialize();
    }
    // A thread that runs another apartment model can still make the calls.
    bool Usable() const { return SUCCEEDED(m_hr) || m_hr == RPC_E_CHANGED_MODE; }
    HRESULT Result() const { return m_hr; }

private:
    HRESULT m_hr;
};

void LogFailed(const wchar_t *pszStep, HRESULT hr)
{
    LOGWRITE(LOG_ERROR, L"%s failed. hr=0x%08lx", pszStep, (unsigned long)hr);
}

std::wstring FirstSerial(IEnumWbemClassObject *pEnum)
{
    ScopedCom<IWbemClassObject> pObject;
    ULONG ulReturned = 0;
    HRESULT hr = pEnum->Next(WBEM_INFINITE, 1, pObject.Receive(), &ulReturned);
    if (FAILED(hr) || ulReturned == 0) {
        LogFailed(L"Next", hr);
        return std::wstring();
    }
    VARIANT var;
    VariantInit(&var);
    std::wstring strSerial;
    hr = pObject.Get()->Get(L"SerialNumber", 0, &var, nullptr, nullptr);
    if (FAILED(hr)) LogFailed(L"Get", hr);
    else if (var.vt == VT_BSTR && var.bstrVal != nullptr) strSerial.assign(var.bstrVal, SysStringLen(var.bstrVal));
    VariantClear(&var);
    return strSerial;
}
}  // namespace

std::wstring WmiBiosSerial::Read()
{
    LOG_SCOPE();
    ComInit com;
    if (!com.Usable()) {
        LogFailed(L"CoInitializeEx", com.Result());
        return std::wstring();
    }
    // Already set by the program: that is fine, the calls below set their own blanket.
    HRESULT hr = CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                                      RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
    if (FAILED(hr) && hr != RPC_E_TOO_LATE) LogFailed(L"CoInitializeSecurity", hr);
    ScopedCom<IWbemLocator> pLocator;
    hr = CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                          reinterpret_cast<void **>(pLocator.Receive()));
    if (FAILED(hr)) {
        LogFailed(L"CoCreateInstance", hr);
        return std::wstring();
    }
    ScopedCom<IWbemServices> pServices;
    BSTR bstrNamespace = SysAllocString(L"ROOT\\CIMV2");
    hr = pLocator.Get()->ConnectServer(bstrNamespace, nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                       pServices.Receive());
    SysFreeString(bstrNamespace);
    if (FAILED(hr)) {
        LogFailed(L"ConnectServer", hr);
        return std::wstring();
    }
    hr = CoSetProxyBlanket(pServices.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                           RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
    if (FAILED(hr)) {
        LogFailed(L"CoSetProxyBlanket", hr);
        return std::wstring();
    }
    ScopedCom<IEnumWbemClassObject> pEnum;
    BSTR bstrLanguage = SysAllocString(L"WQL");
    BSTR bstrQuery = SysAllocString(L"SELECT * from Win32_BIOS");
    hr = pServices.Get()->ExecQuery(bstrLanguage, bstrQuery, WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                    nullptr, pEnum.Receive());
    SysFreeString(bstrQuery);
    SysFreeString(bstrLanguage);
    if (FAILED(hr)) {
        LogFailed(L"ExecQuery", hr);
        return std::wstring();
    }
    std::wstring strSerial = FirstSerial(pEnum.Get());
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] GetBIOSSerialNo() return is [%s]", strSerial.c_str());
    return strSerial;
}
