#pragma once
// The machine-wide initialization file "NolvexConnectIni.xml" of the install folder: Base64 text
// whose decoded bytes are UTF-16LE XML. Every key is an element searched in the whole document;
// its text is kept as found (interpretation belongs to the consumer). Never written by the system.
//
// One instance per process (GetInstance) is read by the trace log before its lines, from every
// thread, while other threads may read the file again. Two locks guard it:
// - the operation lock serialises ReadSetting (the parser state); it may be held while logging;
// - the value lock guards the published values and flags; it is a leaf: nothing is called and
//   nothing logged while it is held.
// The trace log never waits for the operation lock (TryReadOnce). docs/settings.md gives the
// whole lock order.
#include "CriticalSection.h"
#include "XMLParser.h"
#include <windows.h>
#include <string>

class IniFile : public XMLParser {
public:
    enum Key {
        KEY_RegistTerminalServerURL,
        KEY_AuthBoxNumber,
        KEY_Minimize,
        KEY_AutoReconnect,
        KEY_AutoUpdate,
        KEY_LogLevel,
        KEY_ComSid,
        KEY_AutoRemoteConn,
        KEY_Invisible,
        KEY_ComLogOutput,
        KEY_ComLogInterval,
        KEY_ComLogPeriod,
        KEY_ComLogRetry,
        KEY_LocalMac,
        KEY_ACLTermAuth,
        KEY_PhoneNum,
        KEY_FixID_PW,
        KEY_FixID,
        KEY_FixPW,
        KEY_WatchACL,
        KEY_WatchACLInt,
        KEY_WatchACLTO,
        KEY_EachTimeInit,
        KEY_MACInvalid,
        KEY_PatternPWDisp,
        KEY_ClosedNetworkConnectType,
        KEY_MBB_InterfaceName,
        KEY_MBB_ConnectTimeOut,
        KEY_MBB_DisConnectTimeOut,
        // An addition to the designed keys: "1" lets the registration use an "http:" address.
        KEY_AllowPlainHTTP,
        KEY_COUNT
    };

    static IniFile &GetInstance();

    IniFile();
    // Seam for tests: the folder of the file instead of the install path of the registry.
    explicit IniFile(const std::wstring &strFolder);
    ~IniFile();

    // The install path with a trailing backslash.
    std::wstring GetDirPath();
    // Reads the file; false (all values empty, flags false) when it cannot be read.
    bool ReadSetting();
    // ReadSetting when the file has not been read yet (empty folder).
    void ReadOnce();
    // The same, but only when no other thread is reading: never waits (for the trace log).
    void TryReadOnce();

    // The folder read from; empty until ReadSetting has run.
    std::wstring GetFolder() const;
    std::wstring GetValue(Key key) const;
    static const wchar_t *KeyName(Key key);
    bool IsFixIDPresent() const;
    bool IsFixPWPresent() const;
    bool IsWatchACLIntPresent() const;
    bool IsWatchACLTOPresent() const;

    std::wstring GetRegistTerminalServerURL() const { return GetValue(KEY_RegistTerminalServerURL); }
    std::wstring GetAuthBoxNumber() const { return GetValue(KEY_AuthBoxNumber); }
    std::wstring GetMinimize() const { return GetValue(KEY_Minimize); }
    std::wstring GetAutoReconnect() const { return GetValue(KEY_AutoReconnect); }
    std::wstring GetAutoUpdate() const { return GetValue(KEY_AutoUpdate); }
    std::wstring GetLogLevel() const { return GetValue(KEY_LogLevel); }
    std::wstring GetComSid() const { return GetValue(KEY_ComSid); }
    std::wstring GetAutoRemoteConn() const { return GetValue(KEY_AutoRemoteConn); }
    std::wstring GetInvisible() const { return GetValue(KEY_Invisible); }
    std::wstring GetComLogOutput() const { return GetValue(KEY_ComLogOutput); }
    std::wstring GetComLogInterval() const { return GetValue(KEY_ComLogInterval); }
    std::wstring GetComLogPeriod() const { return GetValue(KEY_ComLogPeriod); }
    std::wstring GetComLogRetry() const { return GetValue(KEY_ComLogRetry); }
    std::wstring GetLocalMac() const { return GetValue(KEY_LocalMac); }
    std::wstring GetACLTermAuth() const { return GetValue(KEY_ACLTermAuth); }
    std::wstring GetPhoneNum() const { return GetValue(KEY_PhoneNum); }
    std::wstring GetFixID_PW() const { return GetValue(KEY_FixID_PW); }
    std::wstring GetFixID() const { return GetValue(KEY_FixID); }
    std::wstring GetFixPW() const { return GetValue(KEY_FixPW); }
    std::wstring GetWatchACL() const { return GetValue(KEY_WatchACL); }
    std::wstring GetWatchACLInt() const { return GetValue(KEY_WatchACLInt); }
    std::wstring GetWatchACLTO() const { return GetValue(KEY_WatchACLTO); }
    std::wstring GetEachTimeInit() const { return GetValue(KEY_EachTimeInit); }
    std::wstring GetMACInvalid() const { return GetValue(KEY_MACInvalid); }
    std::wstring GetPatternPWDisp() const { return GetValue(KEY_PatternPWDisp); }
    std::wstring GetClosedNetworkConnectType() const { return GetValue(KEY_ClosedNetworkConnectType); }
    std::wstring GetMBB_InterfaceName() const { return GetValue(KEY_MBB_InterfaceName); }
    std::wstring GetMBB_ConnectTimeOut() const { return GetValue(KEY_MBB_ConnectTimeOut); }
    std::wstring GetMBB_DisConnectTimeOut() const { return GetValue(KEY_MBB_DisConnectTimeOut); }
    std::wstring GetAllowPlainHTTP() const { return GetValue(KEY_AllowPlainHTTP); }

private:
    enum Flag { FLAG_FIXID, FLAG_FIXPW, FLAG_WATCHACLINT, FLAG_WATCHACLTO, FLAG_COUNT };
    struct Values {
        std::wstring astrValue[KEY_COUNT];
        bool abPresent[FLAG_COUNT] = {};
    };
    static int FlagOf(Key key);
    void ParseValues(Values &values);
    void Publish(const std::wstring &strFolder, const Values &values);
    bool ReadFlag(Flag flag) const;

    std::wstring m_strFolderSeam;
    // Fields in the designed order (values and flags in Values).
    std::wstring m_strFolder;
    std::wstring m_strFileName;
    std::wstring m_strMapName;
    std::wstring m_strKey;
    Values m_values;
    CriticalSection m_csOperation;
    mutable CriticalSection m_csValues;
};
