#pragma once
// The terminal profile "TerminalRegist.xml": the connection profile that the registration server
// hands to a registered device, AES-encrypted under a 32-character key kept in the registry
// (read again at every load). docs/profile.md shows the whole document.
//
// One instance per process (GetInstance). Two locks guard it:
// - the operation lock serialises ProfileLoad and BackupFile (the parser state and the file);
// - the value lock guards the published values; it is a leaf (nothing is called or logged while
//   it is held). A load builds all values aside and publishes them at once, so that a reader
//   sees either the old profile or the new one, never a mix inside one value or one Snapshot.
#include "CriticalSection.h"
#include "XMLParser.h"
#include <functional>
#include <string>
#include <vector>

class AplicationInfo;

class TerminalProfile : public XMLParser {
public:
    // Values of the Common section, in the file's order (the proxy's eight values in between).
    enum CommonValue {
        AUTH_TERMINAL_ID, CONNECT_PASSWORD, AUTH_TERMINAL_SERVER_URL, PATTERN_AUTH_RAND_URL, PATTERN_AUTH_URL,
        PRIMARY_DNS, SECONDARY_DNS,
        PROXY_AUTO_DETECT_FLAG, PROXY_USE_AUTO_COMP_SCRIPT_FLAG, PROXY_USE_AUTO_COMP_SCRIPT_ADDR, PROXY_USE_PROXY_FLAG,
        PROXY_SERVER_ADDRESS, PROXY_SERVER_PORT, PROXY_NO_USE_PROXY_LOCAL_FLAG, PROXY_SERVER_EXCEPTION,
        PASSWORD_EXPIRED_DATE, PASSWORD_SHOW_EXPIRE_DAY, TERMINAL_PWD_SHARED_KEY, PROFILE_EXPIRE_DAY,
        NOLVEX_ID_INPUT, EXEC_CONFIRM, EXT_APL_PATH,
        COMMON_VALUE_COUNT
    };
    // The sixteen values of one connection service, in the record's order.
    enum ConnectionValue {
        REMOTE_CONNECT_TYPE, AUTH_TERMINAL_FLAG, REMOTE_CONNECT_PW_TYPE, ACCESS_CONTROL_PW_TYPE, NAME_EN, NAME_JA,
        GATEWAY_ADDRESS, DIAL_NUMBER, AUTH_TYPE, SUFFIX, PRR_SHARED_KEY, USE_DNS_SERVER, SET_PROXY_FLAG, CHAP_PAP,
        ACCESS_CONTROL_GW_ADDR, POLLING_INTERVAL,
        CONNECTION_VALUE_COUNT
    };
    struct ConnectionRecord {
        std::wstring astrValues[CONNECTION_VALUE_COUNT];
    };
    // Everything a load publishes.
    struct Values {
        std::wstring astrCommon[COMMON_VALUE_COUNT];
        std::vector<ConnectionRecord> vecConnections;
        std::wstring strUpdateModuleNumber;
        std::wstring strUpdateExecFlag;
        std::wstring strNoticeCategory;
        std::wstring strNoticeInfoCode;
    };

    // Seams for tests; the product uses the defaults.
    struct Seams {
        std::function<AplicationInfo *()> pfnCreateRegInfo;   // null: CreateAplicationInfo
        std::wstring strFolder;                                // empty: the user's folder
        std::wstring strModuleName;                            // empty: the running program's
    };

    static const wchar_t FILE_NAME[];
    static const wchar_t *const COMMON_NAMES[COMMON_VALUE_COUNT];
    static const wchar_t *const CONNECTION_NAMES[CONNECTION_VALUE_COUNT];

    static TerminalProfile &GetInstance();

    TerminalProfile();
    explicit TerminalProfile(const Seams &seams);
    ~TerminalProfile();

    std::wstring GetDirPath();
    // Folder + "TerminalRegist.xml" when that file exists, else empty ("not registered").
    std::wstring GetFilePath();
    // Reads the profile (empty path: the default one). False when the file cannot be read or
    // decrypted or is no profile (no SystemInformation or no Common); the values are then empty.
    bool ProfileLoad(const std::wstring &strPath = std::wstring());
    // Copies the file to its name + ".bak", overwriting.
    bool BackupFile();
    // Runs the function under the operation lock: a replacement of the profile file is never
    // seen half done by a load on another thread (ProfileStore).
    void WithOperationLock(const std::function<void()> &fn);

    // All values of the last load at once.
    Values Snapshot() const;
    std::wstring GetCommon(CommonValue value) const;
    int GetConnectionCount() const;
    // Empty for an index outside the list.
    std::wstring GetConnection(int iIndex, ConnectionValue value) const;

    std::wstring GetAuthTerminalID() const { return GetCommon(AUTH_TERMINAL_ID); }
    std::wstring GetConnectPassword() const { return GetCommon(CONNECT_PASSWORD); }
    std::wstring GetAuthTerminalServerURL() const { return GetCommon(AUTH_TERMINAL_SERVER_URL); }
    std::wstring GetPatternAuthRandURL() const { return GetCommon(PATTERN_AUTH_RAND_URL); }
    std::wstring GetPatternAuthURL() const { return GetCommon(PATTERN_AUTH_URL); }
    std::wstring GetPrimaryDNS() const { return GetCommon(PRIMARY_DNS); }
    std::wstring GetSecondaryDNS() const { return GetCommon(SECONDARY_DNS); }
    std::wstring GetPasswordExpiredDate() const { return GetCommon(PASSWORD_EXPIRED_DATE); }
    std::wstring GetPasswordShowExpireDay() const { return GetCommon(PASSWORD_SHOW_EXPIRE_DAY); }
    std::wstring GetTerminalPwdSharedKey() const { return GetCommon(TERMINAL_PWD_SHARED_KEY); }
    std::wstring GetProfileExpireDay() const { return GetCommon(PROFILE_EXPIRE_DAY); }
    std::wstring GetNolvexIdInput() const { return GetCommon(NOLVEX_ID_INPUT); }
    std::wstring GetExecConfirm() const { return GetCommon(EXEC_CONFIRM); }
    std::wstring GetExtAplPath() const { return GetCommon(EXT_APL_PATH); }
    std::wstring GetUpdateModuleNumber() const;
    std::wstring GetUpdateExecFlag() const;
    std::wstring GetNoticeCategory() const;
    std::wstring GetNoticeInfoCode() const;

    std::wstring GetRemoteConnectType(int i) const { return GetConnection(i, REMOTE_CONNECT_TYPE); }
    std::wstring GetAuthTerminalFlag(int i) const { return GetConnection(i, AUTH_TERMINAL_FLAG); }
    std::wstring GetRemoteConnectPwType(int i) const { return GetConnection(i, REMOTE_CONNECT_PW_TYPE); }
    std::wstring GetAccessControlPwType(int i) const { return GetConnection(i, ACCESS_CONTROL_PW_TYPE); }
    std::wstring GetNameEN(int i) const { return GetConnection(i, NAME_EN); }
    std::wstring GetNameJA(int i) const { return GetConnection(i, NAME_JA); }
    std::wstring GetGatewayAddress(int i) const { return GetConnection(i, GATEWAY_ADDRESS); }
    std::wstring GetDialNumber(int i) const { return GetConnection(i, DIAL_NUMBER); }
    std::wstring GetAuthType(int i) const { return GetConnection(i, AUTH_TYPE); }
    std::wstring GetSuffix(int i) const { return GetConnection(i, SUFFIX); }
    std::wstring GetPrrSharedKey(int i) const { return GetConnection(i, PRR_SHARED_KEY); }
    std::wstring GetUseDNSServer(int i) const { return GetConnection(i, USE_DNS_SERVER); }
    std::wstring GetSetProxyFlag(int i) const { return GetConnection(i, SET_PROXY_FLAG); }
    std::wstring GetChapPap(int i) const { return GetConnection(i, CHAP_PAP); }
    std::wstring GetAccessControlGWAddr(int i) const { return GetConnection(i, ACCESS_CONTROL_GW_ADDR); }
    std::wstring GetPollingInterval(int i) const { return GetConnection(i, POLLING_INTERVAL); }

private:
    std::wstring PathOrDefault(const std::wstring &strPath);
    std::wstring MapName();
    std::wstring ReadKey();
    bool ParseProfile(Values &values);
    bool SetCommonInfo(const XMLNode &root, Values &values);
    void SetConnectionInfo(const XMLNode &root, Values &values);
    void ReadConnection(const XMLNode &node, ConnectionRecord &record);
    void SetUpdateModuleInfo(const XMLNode &root, Values &values);
    void SetNotice(const XMLNode &root, Values &values);
    std::wstring SubValue(const XMLNode &parent, const wchar_t *pszName);
    void Publish(const Values &values, const std::wstring &strPath);

    Seams m_seams;
    std::wstring m_strFolder;
    std::wstring m_strFileName;
    std::wstring m_strKey;
    std::wstring m_strMapName;
    Values m_values;
    CriticalSection m_csOperation;
    mutable CriticalSection m_csValues;
};
