#include "ChangeListName.h"
#include "ProductNames.h"
#include <windows.h>
#include <vector>

namespace {
const wchar_t kLogsFolder[] = L"Logs";

std::vector<std::wstring> SplitComponents(const std::wstring &strPath)
{
    std::vector<std::wstring> vecParts;
    std::wstring strPart;
    for (wchar_t ch : strPath) {
        if (ch == L'\\' || ch == L'/') {
            vecParts.push_back(strPart);
            strPart.clear();
        } else {
            strPart += ch;
        }
    }
    vecParts.push_back(strPart);
    return vecParts;
}
}  // namespace

ChangeListName::Verdict ChangeListName::Check(const std::wstring &strName, std::wstring &strNormal)
{
    strNormal.clear();
    std::wstring strWork;
    Verdict verdict = Normalise(strName, strWork);
    if (verdict != NAME_OK) return verdict;
    if (IsLogsFolder(strWork)) return NAME_LOGS;
    if (IsProtectedPath(strWork)) return NAME_PROTECTED;
    strNormal = strWork;
    return NAME_OK;
}

ChangeListName::Verdict ChangeListName::Normalise(const std::wstring &strName, std::wstring &strNormal)
{
    if (strName.empty()) return NAME_EMPTY;
    // "\\?\", "\\.\", "\\server", "\name" and "C:..." all leave the install folder.
    if (strName[0] == L'\\' || strName[0] == L'/') return NAME_ABSOLUTE;
    if (strName.size() >= 2 && strName[1] == L':') return NAME_ABSOLUTE;
    if (strName.find(L':') != std::wstring::npos) return NAME_STREAM;
    if (strName.find_first_of(L"*?") != std::wstring::npos) return NAME_WILDCARD;
    for (const std::wstring &strRaw : SplitComponents(strName)) {
        if (strRaw == L"..") return NAME_PARENT;
        // Windows drops trailing dots and blanks of a component: "a.exe." is "a.exe", ". ." is "".
        std::wstring strPart = TrimComponent(strRaw);
        if (strPart.empty()) {
            if (strRaw.find(L"..") != std::wstring::npos) return NAME_PARENT;
            continue;   // ".", "" (doubled or trailing backslash)
        }
        if (!strNormal.empty()) strNormal += L'\\';
        strNormal += strPart;
    }
    return strNormal.empty() ? NAME_EMPTY : NAME_OK;
}

std::wstring ChangeListName::TrimComponent(const std::wstring &strComponent)
{
    size_t nEnd = strComponent.find_last_not_of(L". ");
    return nEnd == std::wstring::npos ? std::wstring() : strComponent.substr(0, nEnd + 1);
}

bool ChangeListName::SameText(const std::wstring &strLeft, const std::wstring &strRight)
{
    return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, strLeft.c_str(), (int)strLeft.size(), strRight.c_str(),
                          (int)strRight.size()) == CSTR_EQUAL;
}

bool ChangeListName::IsProtectedFile(const std::wstring &strComponent)
{
    return SameText(strComponent, ProductNames::MonitorExe()) || SameText(strComponent, ProductNames::ClientExe()) ||
           SameText(strComponent, ProductNames::kStringTableDll);
}

bool ChangeListName::IsLogsFolder(const std::wstring &strNormal)
{
    // The folder "Logs" itself is kept (named as a file too); a folder below it is not.
    return SameText(strNormal, kLogsFolder);
}

bool ChangeListName::IsProtectedPath(const std::wstring &strNormal)
{
    std::vector<std::wstring> vecParts = SplitComponents(strNormal);
    // A protected name anywhere on the way: deleting a folder of that name would take the file's
    // place, and a file of that name deeper down is one of the product's own copies.
    for (const std::wstring &strPart : vecParts) {
        if (IsProtectedFile(strPart)) return true;
    }
    return false;
}

const wchar_t *ChangeListName::VerdictText(Verdict verdict)
{
    switch (verdict) {
    case NAME_OK: return L"accepted";
    case NAME_EMPTY: return L"the name is empty";
    case NAME_PARENT: return L"the name climbs out with \"..\"";
    case NAME_ABSOLUTE: return L"the name is not relative (drive, root or device)";
    case NAME_STREAM: return L"the name holds a colon (stream)";
    case NAME_WILDCARD: return L"the name holds a wildcard";
    case NAME_PROTECTED: return L"the name is protected";
    case NAME_LOGS: return L"the log folder is kept";
    }
    return L"unknown";
}
