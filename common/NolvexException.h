#pragma once
// The library's own exception type: a message and a detail (usually the system's text for the
// failure). Raised only inside the foundation classes and caught where it arises.
#include <string>

class NolvexException {
public:
    NolvexException(const std::wstring &strMessage, const std::wstring &strDetail);

    const std::wstring &GetMessage() const { return m_strMessage; }
    const std::wstring &GetDetail() const { return m_strDetail; }
    // Both texts separated by a blank, the way a log notice shows them.
    std::wstring GetText() const;

private:
    std::wstring m_strMessage;
    std::wstring m_strDetail;
};
