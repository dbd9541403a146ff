#include "AttachmentName.h"
#include <cwctype>

namespace {
const wchar_t kFileNameKey[] = L"filename=";
const wchar_t kAttachment[] = L"attachment";
// Characters that no Windows file name may hold (separators and ":" are reported apart).
const wchar_t kRefusedChars[] = L"<>\"|?*";
const wchar_t kFirstPrintable = L' ';

std::wstring Lower(const std::wstring &str)
{
    std::wstring strLower(str);
    for (wchar_t &c : strLower) c = static_cast<wchar_t>(std::towlower(c));
    return strLower;
}

std::wstring Trim(const std::wstring &str)
{
    size_t nFirst = str.find_first_not_of(L" \t");
    if (nFirst == std::wstring::npos) return std::wstring();
    size_t nLast = str.find_last_not_of(L" \t");
    return str.substr(nFirst, nLast - nFirst + 1);
}
}   // namespace

bool AttachmentName::IsAttachment(const std::wstring &strHeader)
{
    return Lower(strHeader).find(kAttachment) != std::wstring::npos;
}

std::wstring AttachmentName::FromHeader(const std::wstring &strHeader)
{
    size_t nPos = Lower(strHeader).find(kFileNameKey);
    if (nPos == std::wstring::npos || nPos == 0) return std::wstring();
    std::wstring strValue = strHeader.substr(nPos + wcslen(kFileNameKey));
    size_t nEnd = strValue.find(L';');
    if (nEnd != std::wstring::npos) strValue.erase(nEnd);
    std::wstring strName;
    for (wchar_t c : strValue)
        if (c != L'"') strName += c;
    return Trim(strName);
}

bool AttachmentName::IsPlainFileName(const std::wstring &strName, std::wstring &strReason)
{
    if (strName.empty()) {
        strReason = L"the name is empty";
        return false;
    }
    if (strName == L"." || strName == L"..") {
        strReason = L"the name is a folder reference";
        return false;
    }
    for (wchar_t c : strName) {
        if (c == L'\\' || c == L'/') {
            strReason = L"the name holds a path separator";
            return false;
        }
        if (c == L':') {
            strReason = L"the name holds a drive or stream separator";
            return false;
        }
        if (c < kFirstPrintable || c == 0x7f) {
            strReason = L"the name holds a control character";
            return false;
        }
        if (wcschr(kRefusedChars, c) != nullptr) {
            strReason = L"the name holds a character that file names cannot hold";
            return false;
        }
    }
    wchar_t cLast = strName[strName.size() - 1];
    if (cLast == L'.' || cLast == L' ') {
        strReason = L"the name ends in a dot or a blank";
        return false;
    }
    return true;
}

std::wstring AttachmentName::JoinFolder(const std::wstring &strFolder, const std::wstring &strName)
{
    if (strFolder.empty() || strFolder[strFolder.size() - 1] == L'\\') return strFolder + strName;
    return strFolder + L"\\" + strName;
}
