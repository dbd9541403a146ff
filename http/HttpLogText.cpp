#include "HttpLogText.h"

namespace {
const wchar_t *const kSecretKeys[] = {L"standardPassword=", L"connectPassword=", L"pass="};
// Characters before which a field name may start (body, query or path).
const wchar_t kFieldSeparators[] = L"&?/;";
const wchar_t kFieldEnd[] = L"&;# \r\n";
}   // namespace

bool HttpLogText::IsFieldStart(const std::wstring &strText, size_t nPos)
{
    return nPos == 0 || wcschr(kFieldSeparators, strText[nPos - 1]) != nullptr;
}

std::wstring HttpLogText::Braced(const std::wstring &strValue)
{
    std::wstring strSafe(strValue);
    for (wchar_t &c : strSafe)
        if (c == L'{' || c == L'}') c = L'*';
    return L"{" + strSafe + L"}";
}

std::wstring HttpLogText::MaskSecrets(const std::wstring &strText)
{
    std::wstring strOut(strText);
    for (const wchar_t *pszKey : kSecretKeys) {
        size_t nKeyLength = wcslen(pszKey);
        size_t nPos = 0;
        while ((nPos = strOut.find(pszKey, nPos)) != std::wstring::npos) {
            if (!IsFieldStart(strOut, nPos)) {
                nPos += nKeyLength;
                continue;
            }
            size_t nValue = nPos + nKeyLength;
            size_t nEnd = strOut.find_first_of(kFieldEnd, nValue);
            if (nEnd == std::wstring::npos) nEnd = strOut.size();
            std::wstring strBraced = Braced(strOut.substr(nValue, nEnd - nValue));
            strOut.replace(nValue, nEnd - nValue, strBraced);
            nPos = nValue + strBraced.size();
        }
    }
    return strOut;
}
