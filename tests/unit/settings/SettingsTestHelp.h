#pragma once
// Shared by the settings tests and their second program (nc_settingsworker).
#include <windows.h>
#include <string>

class UserSettingFile;

// The user's value of the product key (32-bit view) for the duration of a test: the old value
// (or its absence) comes back on destruction.
class ProductKeyValue {
public:
    explicit ProductKeyValue(const std::wstring &strName);
    ~ProductKeyValue();
    ProductKeyValue(const ProductKeyValue &) = delete;
    ProductKeyValue &operator=(const ProductKeyValue &) = delete;

    bool Set(const std::wstring &strValue);
    bool Remove();
    // The value now (empty when absent).
    std::wstring Get() const;

    static bool Write(const std::wstring &strName, const std::wstring &strValue);
    static bool Read(const std::wstring &strName, std::wstring &strValue);
    static bool Delete(const std::wstring &strName);

private:
    std::wstring m_strName;
    bool m_bHad;
    std::wstring m_strOld;
};

// A fixed 32-character key of the Base64 alphabet, as the product makes them.
extern const wchar_t kTestSettingKey[];

// Numbered settings whose values depend on each other: a reader can tell a whole file from a mix.
bool WriteNumbered(UserSettingFile &file, const std::wstring &strPath, unsigned long ulNumber);
// The number of the file read; -1 when the read failed or the values do not belong together.
long ReadNumbered(UserSettingFile &file, const std::wstring &strPath, std::wstring &strProblem);

// The initialization file's form of the XML text: Base64 text (as UTF-16LE) of its UTF-16LE bytes.
std::string IniFileBytes(const std::wstring &strXml);
