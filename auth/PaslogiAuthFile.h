#pragma once
// The pattern authentication server's answer to a verification request ("Temp.xml", plain UTF-8):
// the result code, the comment and the server's process values. One shared instance per process
// keeps the values of the last file read; its lock serialises reads and value access.
#include "CriticalSection.h"
#include "XMLParser.h"
#include <string>

class PaslogiAuthFile : public XMLParser {
public:
    // Success code of the verification.
    static constexpr long CODE_VERIFIED = 21040101;

    static PaslogiAuthFile &GetInstance();
    PaslogiAuthFile();

    // Reads the answer; false when it cannot be read or holds no PassLogic:Response (the result
    // code is then 0 and the texts empty).
    bool ReadSetting(const std::wstring &strPath);

    long GetResultCode() const;
    std::wstring GetComment() const;
    std::wstring GetCopyright() const;
    std::wstring GetPid() const;
    std::wstring GetPtime() const;
    std::wstring GetStatus() const;

private:
    struct Values {
        long lResultCode = 0;
        std::wstring strComment, strCopyright, strPid, strPtime, strStatus;
    };
    std::wstring SubValue(const XMLNode &parent, const wchar_t *pszName);

    std::wstring m_strPath;
    Values m_values;
    mutable CriticalSection m_cs;
};
