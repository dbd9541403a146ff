#pragma once
// The per-user setting file "UserSetting.xml": the last connection type, the user's NolvexID and
// the user's preferences, AES-encrypted with a random 32-character key kept in the user's product
// key of the registry ("UserSettingFile"). No key, no settings: without a key nothing is read.
//
// One instance per process (GetInstance) is shared by the trace log, which reads LogLevel,
// NolvexID and the changed flag before its lines from every thread. Two locks guard it:
// - the operation lock serialises ReadSetting, WriteSetting and BackupFile (the parser state and
//   the file); it may be held while logging;
// - the value lock guards the values, the flag and the last errors; it is a leaf: nothing is
//   called and nothing logged while it is held. A read publishes all values at once, so no
//   caller ever sees half of one file and half of another.
// The trace log never waits for the operation lock (TryReadOnce). docs/settings.md gives the
// whole lock order.
#include "CriticalSection.h"
#include "XMLParser.h"
#include <functional>
#include <string>

class AplicationInfo;
class IniFile;

class UserSettingFile : public XMLParser {
public:
    // Message ids of the last errors.
    static constexpr long ERR_INVALID_CONTENTS = 4130;
    static constexpr long ERR_UPDATE_FAILED = 4131;
    static constexpr long ERR_CREATE_FAILED = 4170;
    static constexpr long ERR_REGISTRY_WRITE = 4180;
    static constexpr int KEY_LENGTH = 32;

    // Seams for tests; the product uses the defaults.
    struct Seams {
        std::function<AplicationInfo *()> pfnCreateRegInfo;   // null: CreateAplicationInfo
        IniFile *pIniFile = nullptr;                           // null: IniFile::GetInstance()
        std::wstring strFolder;                                // empty: the user's folder
        std::wstring strModuleName;                            // empty: the running program's
    };

    static UserSettingFile &GetInstance();

    UserSettingFile();
    explicit UserSettingFile(const Seams &seams);
    ~UserSettingFile();

    // The user's application data folder + "NolvexConnect\".
    std::wstring GetDirPath();
    // Folder + "UserSetting.xml" when that file exists, else empty.
    std::wstring GetFilePath();
    bool ReadSetting(const std::wstring &strPath = std::wstring());
    bool WriteSetting(const std::wstring &strPath = std::wstring());
    // Fills every empty preference with its default (logged).
    void SetInitializeValue();
    // Copies the file to its path + ".bak", overwriting.
    bool BackupFile();
    // ReadSetting of the default file when nothing has been read yet and no other thread is busy
    // with this object: never waits (for the trace log).
    void TryReadOnce();
    bool HasBeenRead() const;

    std::wstring GetLastConnectType() const { return GetField(&Values::strLastConnectType); }
    std::wstring GetNolvexID() const { return GetField(&Values::strNolvexID); }
    std::wstring GetUpdateDate() const { return GetField(&Values::strUpdateDate); }
    std::wstring GetLanguage() const { return GetField(&Values::strLanguage); }
    std::wstring GetMinimize() const { return GetField(&Values::strMinimize); }
    std::wstring GetAutoReconnect() const { return GetField(&Values::strAutoReconnect); }
    std::wstring GetAutoUpdate() const { return GetField(&Values::strAutoUpdate); }
    std::wstring GetLogLevel() const { return GetField(&Values::strLogLevel); }
    void SetLastConnectType(const std::wstring &str) { SetField(&Values::strLastConnectType, str); }
    void SetNolvexID(const std::wstring &str) { SetField(&Values::strNolvexID, str); }
    void SetUpdateDate(const std::wstring &str) { SetField(&Values::strUpdateDate, str); }
    void SetLanguage(const std::wstring &str) { SetField(&Values::strLanguage, str); }
    void SetMinimize(const std::wstring &str) { SetField(&Values::strMinimize, str); }
    void SetAutoReconnect(const std::wstring &str) { SetField(&Values::strAutoReconnect, str); }
    void SetAutoUpdate(const std::wstring &str) { SetField(&Values::strAutoUpdate, str); }
    void SetLogLevel(const std::wstring &str) { SetField(&Values::strLogLevel, str); }
    // Sets the value of the element of that name; false for an unknown name.
    bool SetValueByName(const std::wstring &strName, const std::wstring &strValue);

    long GetLastWriteError() const;
    long GetLastReadError() const;
    bool GetChanged() const;
    // Reads and clears the changed flag (the trace log).
    bool TakeChanged();
    // The folder of the last read or write (empty before).
    std::wstring GetFolder() const;

    // Names of the value elements in the file's order.
    static const wchar_t *const VALUE_NAMES[];
    static constexpr int VALUE_COUNT = 8;

private:
    struct Values {
        std::wstring strLastConnectType;
        std::wstring strNolvexID;
        std::wstring strUpdateDate;
        std::wstring strLanguage;
        std::wstring strMinimize;
        std::wstring strAutoReconnect;
        std::wstring strAutoUpdate;
        std::wstring strLogLevel;
    };
    typedef std::wstring Values::*Field;
    static Field FieldOf(int iIndex);

    std::wstring GetField(Field field) const;
    void SetField(Field field, const std::wstring &str);
    Values Snapshot() const;
    void SetLastReadError(long lError);
    void SetLastWriteError(long lError);
    std::wstring PathOrDefault(const std::wstring &strPath);
    std::wstring MapName();
    AplicationInfo *CreateRegInfo();
    IniFile &Ini();
    std::wstring ReadKey();
    bool CreateKey(std::wstring &strKey);
    void ParseValues(Values &values, bool &bRootFound);
    void BuildDocument(const Values &values);
    void FillDefault(Field field, const std::wstring &strDefault, const wchar_t *pszLogName);
    static std::wstring LanguageDefault();
    static std::wstring OrDefault(const std::wstring &strValue, const wchar_t *pszDefault);

    Seams m_seams;
    // Fields in the designed order (the eight values in Values).
    std::wstring m_strFolder;
    std::wstring m_strFileName;
    std::wstring m_strMapPrefix;
    std::wstring m_strKey;
    Values m_values;
    bool m_bChanged;
    long m_lLastWriteError;
    long m_lLastReadError;
    bool m_bRead;
    CriticalSection m_csOperation;
    mutable CriticalSection m_csValues;
};
