#include "PatternAnswerFile.h"
#include "ConvertString.h"
#include "FileIO.h"
#include "Log.h"

namespace {
const wchar_t kResponse[] = L"PassLogic:Response";
}   // namespace

PatternAnswerFile::PatternAnswerFile(const Texts &texts) : m_texts(texts) {}

bool PatternAnswerFile::ReadSetting(const std::wstring &strPath)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] path is [%s]", strPath.c_str());
    CriticalSection::Lock lock(m_cs);
    m_values = Values();
    ClearOwnValues();
    m_strPath = strPath;
    MapClear();
    if (XMLRead(strPath, std::wstring(), KEY_UTF8, FileIO::CODE_PLAIN) == 0) {
        LOGWRITE(LOG_ERROR, L"%s", m_texts.pszNotLoaded);
        return false;
    }
    XMLNode response;
    if (GetNextNode(nullptr, kResponse, response) != NODE_FOUND) {
        LOGWRITE(LOG_ERROR, L"%s", m_texts.pszNoResponse);
        return false;
    }
    m_values.lResultCode = CodeOf(SubValue(response, L"code"));
    m_values.strComment = SubValue(response, L"comment");
    m_values.strCopyright = SubValue(response, L"copyright");
    m_values.strPid = SubValue(response, L"pid");
    m_values.strPtime = SubValue(response, L"ptime");
    m_values.strStatus = SubValue(response, L"status");
    ReadOwnValues(response);
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] code[%ld] comment[%s] pid[%s] ptime[%s] status[%s]", m_values.lResultCode,
             m_values.strComment.c_str(), m_values.strPid.c_str(), m_values.strPtime.c_str(), m_values.strStatus.c_str());
    return true;
}

std::wstring PatternAnswerFile::SubValue(const XMLNode &parent, const wchar_t *pszName)
{
    XMLNode node;
    return GetSubNode(parent, pszName, node) == NODE_FOUND ? node.Value() : std::wstring();
}

// The decimal code text as a number; 0 for an empty or malformed text (logged).
long PatternAnswerFile::CodeOf(const std::wstring &strCode)
{
    long lCode = ConvertString().StringToInteger(strCode);
    if (lCode < 0) {
        LOGWRITE(LOG_WARN, L"The server's code [%s] is no number", strCode.c_str());
        return 0;
    }
    return lCode;
}

long PatternAnswerFile::GetResultCode() const
{
    CriticalSection::Lock lock(m_cs);
    return m_values.lResultCode;
}

#define NC_PATTERN_TEXT_GETTER(Name, field)          \
    std::wstring PatternAnswerFile::Name() const     \
    {                                                \
        CriticalSection::Lock lock(m_cs);            \
        return m_values.field;                       \
    }
NC_PATTERN_TEXT_GETTER(GetComment, strComment)
NC_PATTERN_TEXT_GETTER(GetCopyright, strCopyright)
NC_PATTERN_TEXT_GETTER(GetPid, strPid)
NC_PATTERN_TEXT_GETTER(GetPtime, strPtime)
NC_PATTERN_TEXT_GETTER(GetStatus, strStatus)
#undef NC_PATTERN_TEXT_GETTER
