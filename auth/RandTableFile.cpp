#include "RandTableFile.h"
#include "FileIO.h"
#include "Log.h"
#include "PatternAnswer.h"

RandTableFile &RandTableFile::GetInstance()
{
    static RandTableFile instance;
    return instance;
}

RandTableFile::RandTableFile() {}

std::wstring RandTableFile::SubValue(const XMLNode &parent, const wchar_t *pszName)
{
    XMLNode node;
    return GetSubNode(parent, pszName, node) == NODE_FOUND ? node.Value() : std::wstring();
}

bool RandTableFile::ReadSetting(const std::wstring &strPath)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] path is [%s]", strPath.c_str());
    CriticalSection::Lock lock(m_cs);
    m_values = Values();
    m_strPath = strPath;
    MapClear();
    if (XMLRead(strPath, std::wstring(), KEY_UTF8, FileIO::CODE_PLAIN) == 0) {
        LOGWRITE(LOG_ERROR, L"ReadSetting() Failed to XML load");
        return false;
    }
    XMLNode response;
    if (GetNextNode(nullptr, PatternAnswer::RESPONSE, response) != NODE_FOUND) {
        LOGWRITE(LOG_ERROR, L"There is no setting information");
        return false;
    }
    m_values.lResultCode = PatternAnswer::CodeOf(SubValue(response, L"code"));
    m_values.strComment = SubValue(response, L"comment");
    m_values.strCopyright = SubValue(response, L"copyright");
    m_values.strPid = SubValue(response, L"pid");
    m_values.strPtime = SubValue(response, L"ptime");
    m_values.strStatus = SubValue(response, L"status");
    ReadData(response, m_values);
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] code[%ld] comment[%s] pid[%s] ptime[%s] status[%s]", m_values.lResultCode,
             m_values.strComment.c_str(), m_values.strPid.c_str(), m_values.strPtime.c_str(), m_values.strStatus.c_str());
    return true;
}

// The table and the server's values live in data; RAND holds the three parts.
void RandTableFile::ReadData(const XMLNode &response, Values &values)
{
    XMLNode data;
    if (GetSubNode(response, L"data", data) != NODE_FOUND) {
        LOGWRITE(LOG_WARN, L"The answer holds no data");
        return;
    }
    values.strCookie = SubValue(data, L"cookie");
    values.strUid = SubValue(data, L"uid");
    values.strTitle = SubValue(data, L"title");
    XMLNode rand;
    if (GetSubNode(data, L"RAND", rand) != NODE_FOUND) return;
    values.strRand1 = SubValue(rand, L"rand1");
    values.strRand2 = SubValue(rand, L"rand2");
    values.strRand3 = SubValue(rand, L"rand3");
}

std::wstring RandTableFile::GetRandTable() const
{
    CriticalSection::Lock lock(m_cs);
    return m_values.strRand1 + m_values.strRand2 + m_values.strRand3;
}

long RandTableFile::GetResultCode() const
{
    CriticalSection::Lock lock(m_cs);
    return m_values.lResultCode;
}

#define NC_RAND_TEXT_GETTER(Name, field)             \
    std::wstring RandTableFile::Name() const         \
    {                                                \
        CriticalSection::Lock lock(m_cs);            \
        return m_values.field;                       \
    }
NC_RAND_TEXT_GETTER(GetComment, strComment)
NC_RAND_TEXT_GETTER(GetCopyright, strCopyright)
NC_RAND_TEXT_GETTER(GetCookie, strCookie)
NC_RAND_TEXT_GETTER(GetUid, strUid)
NC_RAND_TEXT_GETTER(GetTitle, strTitle)
NC_RAND_TEXT_GETTER(GetPid, strPid)
NC_RAND_TEXT_GETTER(GetPtime, strPtime)
NC_RAND_TEXT_GETTER(GetStatus, strStatus)
#undef NC_RAND_TEXT_GETTER
