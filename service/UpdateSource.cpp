#include "UpdateSource.h"
#include "Log.h"
#include "WinOSInformation.h"
#include <memory>
#include <vector>

namespace {
DWORD SystemAttributes(const std::wstring &strPath)
{
    return GetFileAttributesW(strPath.c_str());
}

std::wstring WithoutBackslash(std::wstring strPath)
{
    while (strPath.size() > 3 && strPath.back() == L'\\') strPath.pop_back();
    return strPath;
}
}  // namespace

UpdateSource::UpdateSource() : m_pfnProbe(SystemAttributes) {}

UpdateSource::UpdateSource(AttributeProbe pfnProbe) : m_pfnProbe(pfnProbe ? pfnProbe : AttributeProbe(SystemAttributes))
{
}

std::wstring UpdateSource::AllowedRootOf(HANDLE hUserToken)
{
    if (hUserToken == nullptr) return std::wstring();
    std::unique_ptr<WinOSInformation> pInfo(new (std::nothrow) WinOSInformation());
    if (!pInfo) {
        LOGWRITE(LOG_ERROR, L"Failed to generate a WinOSInformation class");
        return std::wstring();
    }
    return WithoutBackslash(pInfo->GetAppDataFolderPath(hUserToken));
}

bool UpdateSource::Check(const std::wstring &strDiffFolder, const std::wstring &strAllowedRoot,
                         std::wstring &strFolder, std::wstring &strReason) const
{
    std::wstring strRoot;
    if (strAllowedRoot.empty() || !Normalise(strAllowedRoot, strRoot, strReason)) {
        strReason = L"the sender's application data folder is unknown";
        return false;
    }
    std::wstring strFull;
    if (!Normalise(strDiffFolder, strFull, strReason)) return false;
    if (!IsInside(strFull, strRoot)) {
        strReason = L"the difference folder [" + strFull + L"] is not inside [" + strRoot + L"]";
        return false;
    }
    if (!NoReparseOnTheWay(strFull, strReason)) return false;
    strFolder = strFull;
    return true;
}

bool UpdateSource::Normalise(const std::wstring &strPath, std::wstring &strFull, std::wstring &strReason)
{
    // Only a plain drive path: "\\?\", "\\.\" and UNC names reach places a folder test cannot see.
    if (strPath.size() < 3 || strPath[1] != L':' || strPath[2] != L'\\' || !iswalpha(strPath[0])) {
        strReason = L"the difference folder [" + strPath + L"] is not a full local path";
        return false;
    }
    if (strPath.find(L':', 2) != std::wstring::npos || strPath.find_first_of(L"*?\"<>|/") != std::wstring::npos) {
        strReason = L"the difference folder [" + strPath + L"] holds a character a folder name cannot";
        return false;
    }
    DWORD dwChars = GetFullPathNameW(strPath.c_str(), 0, nullptr, nullptr);
    if (dwChars == 0) {
        LOG_API_ERROR(L"GetFullPathName", GetLastError());
        strReason = L"the difference folder [" + strPath + L"] cannot be resolved";
        return false;
    }
    std::vector<wchar_t> vecFull(dwChars + 1, L'\0');
    if (GetFullPathNameW(strPath.c_str(), dwChars + 1, vecFull.data(), nullptr) == 0) {
        LOG_API_ERROR(L"GetFullPathName", GetLastError());
        strReason = L"the difference folder [" + strPath + L"] cannot be resolved";
        return false;
    }
    strFull = WithoutBackslash(vecFull.data());
    return true;
}

bool UpdateSource::IsInside(const std::wstring &strPath, const std::wstring &strRoot)
{
    if (strPath.size() <= strRoot.size() + 1 || strPath[strRoot.size()] != L'\\') return false;
    return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, strPath.c_str(), (int)strRoot.size(), strRoot.c_str(),
                          (int)strRoot.size()) == CSTR_EQUAL;
}

bool UpdateSource::NoReparseOnTheWay(const std::wstring &strPath, std::wstring &strReason) const
{
    // Every folder from the drive's root down to the difference folder itself.
    for (size_t nPos = strPath.find(L'\\', 3);; nPos = strPath.find(L'\\', nPos + 1)) {
        const std::wstring strStep = nPos == std::wstring::npos ? strPath : strPath.substr(0, nPos);
        DWORD dwAttr = m_pfnProbe(strStep);
        if (dwAttr == INVALID_FILE_ATTRIBUTES) {
            strReason = L"the way to the difference folder cannot be examined at [" + strStep + L"]";
            return false;
        }
        if (dwAttr & FILE_ATTRIBUTE_REPARSE_POINT) {
            strReason = L"the way to the difference folder passes a reparse point at [" + strStep + L"]";
            return false;
        }
        if (!(dwAttr & FILE_ATTRIBUTE_DIRECTORY)) {
            strReason = L"[" + strStep + L"] is not a folder";
            return false;
        }
        if (nPos == std::wstring::npos) return true;
    }
}
