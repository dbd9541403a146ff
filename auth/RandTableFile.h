#pragma once
// The pattern authentication server's answer to the random number table request ("Temp.xml",
// plain UTF-8): the result code, the comment, the three parts of the table and the server's values.
// One shared instance per process keeps the values of the last file read; its lock serialises
// reads and value access.
#include "CriticalSection.h"
#include "XMLParser.h"
#include <string>

class RandTableFile : public XMLParser {
public:
    // Success code of the table request.
    static constexpr long CODE_TABLE_OK = 21030101;

    static RandTableFile &GetInstance();
    RandTableFile();

    // Reads the answer; false when it cannot be read or holds no PassLogic:Response (the result
    // code is then 0 and the texts empty).
    bool ReadSetting(const std::wstring &strPath);

    // rand1, rand2 and rand3 joined without separator; empty when the answer had no data.
    std::wstring GetRandTable() const;
    long GetResultCode() const;
    std::wstring GetComment() const;
    std::wstring GetCopyright() const;
    std::wstring GetCookie() const;
    std::wstring GetUid() const;
    std::wstring GetTitle() const;
    std::wstring GetPid() const;
    std::wstring GetPtime() const;
    std::wstring GetStatus() const;

private:
    struct Values {
        long lResultCode = 0;
        std::wstring strComment, strCopyright, strRand1, strRand2, strRand3, strCookie, strUid, strTitle, strPid,
            strPtime, strStatus;
    };
    std::wstring SubValue(const XMLNode &parent, const wchar_t *pszName);
    void ReadData(const XMLNode &response, Values &values);

    std::wstring m_strPath;
    Values m_values;
    mutable CriticalSection m_cs;
};
