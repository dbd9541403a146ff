#include "JsonLine.h"
#include "SimText.h"
#include <cstdio>

JsonLine &JsonLine::Add(const char *pszKey, const std::wstring &strValue)
{
    AddRaw(pszKey, Quote(SimText::ToUtf8(strValue)));
    return *this;
}

JsonLine &JsonLine::Add(const char *pszKey, unsigned long ulValue)
{
    AddRaw(pszKey, std::to_string(ulValue));
    return *this;
}

JsonLine &JsonLine::AddBool(const char *pszKey, bool bValue)
{
    AddRaw(pszKey, bValue ? "true" : "false");
    return *this;
}

void JsonLine::AddRaw(const char *pszKey, const std::string &strJsonValue)
{
    if (!m_strBody.empty()) m_strBody += ",";
    m_strBody += Quote(pszKey) + ":" + strJsonValue;
}

std::string JsonLine::Quote(const std::string &strUtf8)
{
    // Bytes of 0x80 and above are UTF-8 sequences and pass unchanged; control characters are
    // escaped so that a record never spans two lines.
    std::string strOut = "\"";
    for (unsigned char c : strUtf8) {
        if (c == '"' || c == '\\') {
            strOut += '\\';
            strOut += static_cast<char>(c);
        } else if (c < 0x20) {
            char szEsc[8];
            snprintf(szEsc, sizeof(szEsc), "\\u%04x", c);
            strOut += szEsc;
        } else {
            strOut += static_cast<char>(c);
        }
    }
    return strOut + "\"";
}
