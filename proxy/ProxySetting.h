#pragma once
// The saved proxy file "ProxySetting_<ID>[_<entry>].txt": six "key = value" lines, UTF-16LE
// without byte order mark. Holds the six values of one file in key order.
//
// Two halves: reading (ReadSetting, GetBufValue, GetDirPath; ProxySetting.cpp) goes into every
// program that restores settings, the proxy reset tool included; testing, writing and deleting
// (ProxySettingSave.cpp) only into the programs that switch.
#include <windows.h>
#include <string>

class ProxySetting {
public:
    enum Key { AUTO_DETECT = 0, AUTO_PROXY, AUTO_CONFIG_URL, DIRECT, PROXY_ADDRESS, PROXY_BYPASS, KEY_COUNT };
    static const wchar_t *const KEY_NAMES[KEY_COUNT];
    static const wchar_t FLAG_ON[];
    static const wchar_t FLAG_OFF[];

    explicit ProxySetting(const std::wstring &strID);
    ~ProxySetting();
    ProxySetting(const ProxySetting &) = delete;
    ProxySetting &operator=(const ProxySetting &) = delete;

    // The folder NolvexConnect below the user's application data folder, with a trailing backslash.
    std::wstring GetDirPath();
    // Reads the file (the given path, or the name composed from ID and entry): true only when
    // every one of the six keys was found; otherwise the values are left empty and the reason is
    // logged, so that nothing is applied from a partial file.
    bool ReadSetting(const std::wstring &strFilePath, const std::wstring &strEntry);
    // The value of a key that begins a line: the text between the first "=" after it and the
    // line end (CR, or LF when the rest holds no CR), blanks trimmed. A last line without line
    // end has an empty value. False when no line begins with the key.
    bool GetBufValue(const std::wstring &strBuf, const std::wstring &strKey, std::wstring &strValue);

    bool IsFileExist(const std::wstring &strFilePath, const std::wstring &strEntry);
    // Writes the six lines to a temporary file beside the target and moves it over the target,
    // so that the file is either the old one or the whole new one. False, with the reason
    // logged, when it cannot be written.
    bool WriteSetting(const std::wstring &strFilePath, const std::wstring &strEntry);
    bool DeleteSetting(const std::wstring &strFilePath, const std::wstring &strEntry);

    const std::wstring &GetValue(Key key) const { return m_strValues[key]; }
    void SetValue(Key key, const std::wstring &strValue) { m_strValues[key] = strValue; }
    const std::wstring &GetID() const { return m_strID; }

    // The ID as it appears in a file name: ":" and every other character a file name cannot hold
    // (/ \ * ? < > | ") become a blank.
    static std::wstring FileNameID(const std::wstring &strNolvexID);
    // The file's bytes for these values (UTF-16LE, no byte order mark).
    std::string BuildContent() const;

    // The given path, or the folder, ID and entry made into the saved file's name.
    std::wstring ComposePath(const std::wstring &strFilePath, const std::wstring &strEntry);

private:
    void ClearValues();
    bool ReadText(const std::wstring &strPath, std::wstring &strText);
    bool WriteWhole(const std::wstring &strPath);
    static std::wstring TemporaryPath(const std::wstring &strPath);
    static std::wstring Trim(const std::wstring &str);
    static size_t FindAtLineStart(const std::wstring &strBuf, const std::wstring &strKey);

    // Fields in the designed order.
    std::wstring m_strID;
    std::wstring m_strNameFormat;
    std::wstring m_strNameFormatEntry;
    std::wstring m_strInputLogFormat;
    std::wstring m_strOutputLogFormat;
    std::wstring m_strLineFormat;
    std::wstring m_strValues[KEY_COUNT];
};
