#pragma once
// The pattern authentication server's answer to the random number table request: the shared
// values of PatternAnswerFile, the three parts of the table and the server's values kept with it.
#include "PatternAnswerFile.h"
#include <string>

class RandTableFile : public PatternAnswerFile {
public:
    // Success code of the table request.
    static constexpr long CODE_TABLE_OK = 21030101;

    static RandTableFile &GetInstance();
    RandTableFile();

    // rand1, rand2 and rand3 joined without separator; empty when the answer had no data.
    std::wstring GetRandTable() const;
    std::wstring GetCookie() const;
    std::wstring GetUid() const;
    std::wstring GetTitle() const;

private:
    struct TableValues {
        std::wstring strRand1, strRand2, strRand3, strCookie, strUid, strTitle;
    };
    void ClearOwnValues() override;
    // The table and the server's values live in data; RAND holds the three parts.
    void ReadOwnValues(const XMLNode &response) override;

    TableValues m_table;
};
