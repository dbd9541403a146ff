#pragma once
// What both answers of the pattern authentication server share ("Temp.xml", plain UTF-8): the
// enclosing PassLogic:Response, the decimal result code, the comment and the server's process
// values. A reader is one shared instance per process that keeps the values of the last file
// read; its lock serialises reads and value access.
#include "CriticalSection.h"
#include "XMLParser.h"
#include <string>

class PatternAnswerFile : public XMLParser {
public:
    // Reads the answer; false when it cannot be read or holds no PassLogic:Response (the result
    // code is then 0 and the texts empty).
    bool ReadSetting(const std::wstring &strPath);

    long GetResultCode() const;
    std::wstring GetComment() const;
    std::wstring GetCopyright() const;
    std::wstring GetPid() const;
    std::wstring GetPtime() const;
    std::wstring GetStatus() const;

protected:
    // The reader's own failure texts.
    struct Texts {
        const wchar_t *pszNotLoaded;
        const wchar_t *pszNoResponse;
    };
    explicit PatternAnswerFile(const Texts &texts);

    // What only this answer holds: cleared before each read, read after the shared values (both
    // under m_cs).
    virtual void ClearOwnValues() {}
    virtual void ReadOwnValues(const XMLNode &response) { (void)response; }
    // The text of a child element, empty when it is missing.
    std::wstring SubValue(const XMLNode &parent, const wchar_t *pszName);

    mutable CriticalSection m_cs;

private:
    struct Values {
        long lResultCode = 0;
        std::wstring strComment, strCopyright, strPid, strPtime, strStatus;
    };
    static long CodeOf(const std::wstring &strCode);

    Texts m_texts;
    std::wstring m_strPath;
    Values m_values;
};
