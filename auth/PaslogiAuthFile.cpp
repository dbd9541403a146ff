#include "PaslogiAuthFile.h"
#include "FileIO.h"
#include "Log.h"
#include "PatternAnswer.h"

PaslogiAuthFile &PaslogiAuthFile::GetInstance()
{
    static PaslogiAuthFile instance;
    return instance;
}

PaslogiAuthFile::PaslogiAuthFile() {}

std::wstring PaslogiAuthFile::SubValue(const XMLNode &parent, const wchar_t *pszName)
{
    XMLNode node;
    return GetSubNode(parent, pszName, node) == NODE_FOUND ? node.Value() : std::wstring();
}

bool PaslogiAuthFile::ReadSetting(const std::wstring &strPath)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] path is [%s]", strPath.c_str());
    CriticalSection::Lock lock(m_cs);
    m_values = Values();
    m_strPath = strPath;
    MapClear();
    if (XMLRead(strPath, std::wstring(), KEY_UTF8, FileIO::CODE_PLAIN) == 0) {
        LOGWRITE(LOG_ERROR, L"SettingLoad() Failed to XML load");
        return false;
    }
    XMLNode response;
    if (GetNextNode(nullptr, PatternAnswer::RESPONSE, response) != NODE_FOUND) {
        LOGWRITE(LOG_ERROR, L"There is no 'RandTable Information'.");
        return false;
    }
    m_values.lResultCode = PatternAnswer::CodeOf(SubValue(response, L"code"));
    m_values.strComment = SubValue(response, L"comment");
    m_values.strCopyright = SubValue(response, L"copyright");
    m_values.strPid = SubValue(response, L"pid");
    m_values.strPtime = SubValue(response, L"ptime");
    m_values.strStatus = SubValue(response, L"status");
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] code[%ld] comment[%s] pid[%s] ptime[%s] status[%s]", m_values.lResultCode,
             m_values.strComment.c_str(), m_values.strPid.c_str(), m_values.strPtime.c_str(), m_values.strStatus.c_str());
    return true;
}

long PaslogiAuthFile::GetResultCode() const
{
    CriticalSection::Lock lock(m_cs);
    return m_values.lResultCode;
}

#define NC_PASLOGI_TEXT_GETTER(Name, field)          \
    std::wstring PaslogiAuthFile::Name() const       \
    {                                                \
        CriticalSection::Lock lock(m_cs);            \
        return m_values.field;                       \
    }
NC_PASLOGI_TEXT_GETTER(GetComment, strComment)
NC_PASLOGI_TEXT_GETTER(GetCopyright, strCopyright)
NC_PASLOGI_TEXT_GETTER(GetPid, strPid)
NC_PASLOGI_TEXT_GETTER(GetPtime, strPtime)
NC_PASLOGI_TEXT_GETTER(GetStatus, strStatus)
#undef NC_PASLOGI_TEXT_GETTER
