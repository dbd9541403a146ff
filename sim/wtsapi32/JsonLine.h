#pragma once
// One journal record: a JSON object on a single line (UTF-8), so that tests read it with any
// JSON parser and texts with line breaks or quotes stay intact.
#include <string>

class JsonLine {
public:
    JsonLine &Add(const char *pszKey, const std::wstring &strValue);
    JsonLine &Add(const char *pszKey, unsigned long ulValue);
    JsonLine &AddBool(const char *pszKey, bool bValue);
    std::string Text() const { return "{" + m_strBody + "}"; }

    static std::string Quote(const std::string &strUtf8);

private:
    void AddRaw(const char *pszKey, const std::string &strJsonValue);

    std::string m_strBody;
};
