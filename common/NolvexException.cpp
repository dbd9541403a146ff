#include "NolvexException.h"

NolvexException::NolvexException(const std::wstring &strMessage, const std::wstring &strDetail)
    : m_strMessage(strMessage), m_strDetail(strDetail)
{
}

std::wstring NolvexException::GetText() const
{
    return m_strMessage + L" " + m_strDetail;
}
