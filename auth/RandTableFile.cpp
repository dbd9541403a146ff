#include "RandTableFile.h"
#include "Log.h"

RandTableFile &RandTableFile::GetInstance()
{
    static RandTableFile instance;
    return instance;
}

RandTableFile::RandTableFile()
    : PatternAnswerFile({L"ReadSetting() Failed to XML load", L"There is no setting information"})
{
}

void RandTableFile::ClearOwnValues()
{
    m_table = TableValues();
}

void RandTableFile::ReadOwnValues(const XMLNode &response)
{
    XMLNode data;
    if (GetSubNode(response, L"data", data) != NODE_FOUND) {
        LOGWRITE(LOG_WARN, L"The answer holds no data");
        return;
    }
    m_table.strCookie = SubValue(data, L"cookie");
    m_table.strUid = SubValue(data, L"uid");
    m_table.strTitle = SubValue(data, L"title");
    XMLNode rand;
    if (GetSubNode(data, L"RAND", rand) != NODE_FOUND) return;
    m_table.strRand1 = SubValue(rand, L"rand1");
    m_table.strRand2 = SubValue(rand, L"rand2");
    m_table.strRand3 = SubValue(rand, L"rand3");
}

std::wstring RandTableFile::GetRandTable() const
{
    CriticalSection::Lock lock(m_cs);
    return m_table.strRand1 + m_table.strRand2 + m_table.strRand3;
}

#define NC_RAND_TEXT_GETTER(Name, field)             \
    std::wstring RandTableFile::Name() const         \
    {                                                \
        CriticalSection::Lock lock(m_cs);            \
        return m_table.field;                        \
    }
NC_RAND_TEXT_GETTER(GetCookie, strCookie)
NC_RAND_TEXT_GETTER(GetUid, strUid)
NC_RAND_TEXT_GETTER(GetTitle, strTitle)
#undef NC_RAND_TEXT_GETTER
