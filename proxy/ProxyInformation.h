#pragma once
// The live WinINet proxy settings of one connection (a RAS entry, or the LAN default when the
// name is empty) and their conversion to and from the saved proxy file. Every object owns its
// own ProxySetting, so objects of several threads (connect and undo) never share one.
//
// Two halves, as for ProxySetting: reading and applying (ProxyInformation.cpp) and saving,
// deleting and listing (ProxyInformationSave.cpp), which the proxy reset tool does not link.
#include "ProxySetting.h"
#include <windows.h>
#include <string>
#include <vector>

class ProxyInformation {
public:
    static const wchar_t CONNECTIONS_KEY[];
    static const wchar_t DEFAULT_CONNECTION_VALUE[];
    // The 32-bit flags word of a connection's registry value and the auto detect bit in it.
    static const DWORD BLOB_FLAGS_OFFSET = 8;
    static const DWORD BLOB_AUTO_DETECT = 0x08;

    explicit ProxyInformation(const std::wstring &strNolvexID);
    virtual ~ProxyInformation();
    ProxyInformation(const ProxyInformation &) = delete;
    ProxyInformation &operator=(const ProxyInformation &) = delete;

    bool GetProxySetting(const std::wstring &strConnectionName);
    bool ApplyProxySetting(const std::wstring &strConnectionName);
    // Bit 0x08 of the flags word in the connection's registry value ("DefaultConnectionSettings"
    // for an empty name). A missing value is false without an error line.
    bool IsProxyAutoDetect(const std::wstring &strValueName);
    bool ReadSetting(const std::wstring &strFilePath, const std::wstring &strEntry);

    bool WriteSetting(const std::wstring &strFilePath, const std::wstring &strEntry);
    bool DeleteSetting(const std::wstring &strFilePath, const std::wstring &strEntry);
    bool IsFileExist(const std::wstring &strFilePath, const std::wstring &strEntry);
    // The saved proxy files matching the pattern in every user profile: their count.
    int GetProxySettingFileList(const std::wstring &strPattern, std::vector<std::wstring> &vecList);

    // The address is the host, followed by ":" and the port when the port is not empty.
    void SetProxyAddress(const std::wstring &strHost, const std::wstring &strPort);
    void SetAutoConfigURL(const std::wstring &strURL) { m_strAutoConfigURL = strURL; }
    void SetAutoProxy(bool bOn) { m_bAutoProxy = bOn ? 1 : 0; }
    // The bypass becomes the text; with bLocal, ";" (when the text is not empty) and "<local>".
    void SetProxyBypass(const std::wstring &strBypass, bool bLocal);
    void SetDirect(bool bOn) { m_bDirect = bOn ? 1 : 0; }
    void SetAutoDetect(bool bOn) { m_bAutoDetect = bOn ? 1 : 0; }

    const std::wstring &GetProxyAddress() const { return m_strProxyAddress; }
    const std::wstring &GetAutoConfigURL() const { return m_strAutoConfigURL; }
    bool IsAutoProxy() const { return m_bAutoProxy != 0; }
    const std::wstring &GetProxyBypass() const { return m_strBypass; }
    bool IsDirect() const { return m_bDirect != 0; }
    bool IsAutoDetect() const { return m_bAutoDetect != 0; }
    const std::wstring &GetConnectionName() const { return m_strConnectionName; }
    // The per-connection flags that ApplyProxySetting sets for the values held.
    DWORD ComposeFlags() const;
    ProxySetting &Setting() { return m_clSetting; }

private:
    bool SetOptions();
    bool Notify(DWORD dwOption);
    void ApplyError(DWORD dwError);
    static std::wstring TakeText(wchar_t *pszValue);
    static bool IsFlagOn(const std::wstring &strValue);
    static const wchar_t *FlagText(bool bOn);
    void ToSetting();

    // Fields in the designed order, then the object's own saved-file handler.
    std::wstring m_strProxyAddress;
    std::wstring m_strAutoConfigURL;
    BYTE m_bAutoProxy;
    std::wstring m_strBypass;
    BYTE m_bDirect;
    BYTE m_bAutoDetect;
    std::wstring m_strConnectionName;
    ProxySetting m_clSetting;
};
