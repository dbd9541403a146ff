#include "PipeMessageFields.h"
#include <climits>

PipeMessageFields::PipeMessageFields(const std::wstring &strMessage)
{
    size_t nEqual = strMessage.find(L'=');
    m_strKeyword = strMessage.substr(0, nEqual);
    // Without "=", the fields are read from the keyword itself.
    m_strRest = nEqual == std::wstring::npos ? strMessage : strMessage.substr(nEqual + 1);
}

std::wstring PipeMessageFields::Cursor::NextField()
{
    if (m_nPos > m_strFields.size()) return std::wstring();
    size_t nComma = m_strFields.find(L',', m_nPos);
    std::wstring strField = m_strFields.substr(m_nPos, nComma == std::wstring::npos ? std::wstring::npos : nComma - m_nPos);
    m_nPos = nComma == std::wstring::npos ? m_strFields.size() + 1 : nComma + 1;
    return strField;
}

std::wstring PipeMessageFields::Cursor::Remainder()
{
    if (m_nPos > m_strFields.size()) return std::wstring();
    std::wstring strRest = m_strFields.substr(m_nPos);
    m_nPos = m_strFields.size() + 1;
    return strRest;
}

long PipeMessageFields::ToNumber(const std::wstring &strText)
{
    long long llValue = 0;
    for (wchar_t ch : strText) {
        if (ch < L'0' || ch > L'9') break;
        llValue = llValue * 10 + (ch - L'0');
        if (llValue > LONG_MAX) return LONG_MAX;
    }
    return static_cast<long>(llValue);
}
