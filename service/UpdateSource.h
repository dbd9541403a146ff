#pragma once
// Where an update may come from: the difference folder must lie inside the NolvexConnect folder
// of the sending user's application data (where the registration unpacks updates), and the way to
// it must pass no reparse point. Every look at the user's files is made as that user.
#include <windows.h>
#include <functional>
#include <string>

class UpdateSource {
public:
    // Attributes of a path as the user sees them (INVALID_FILE_ATTRIBUTES when missing); a seam
    // for tests of the junction refusal where the system makes no junctions.
    typedef std::function<DWORD(const std::wstring &strPath)> AttributeProbe;

    UpdateSource();
    explicit UpdateSource(AttributeProbe pfnProbe);

    // strAllowedRoot: the user's "...\NolvexConnect" folder (no trailing backslash). On true,
    // strFolder is the normalised difference folder (no trailing backslash).
    bool Check(const std::wstring &strDiffFolder, const std::wstring &strAllowedRoot, std::wstring &strFolder,
               std::wstring &strReason) const;

    // The application data folder of the token's user + "\NolvexConnect", or empty text.
    static std::wstring AllowedRootOf(HANDLE hUserToken);

private:
    static bool Normalise(const std::wstring &strPath, std::wstring &strFull, std::wstring &strReason);
    static bool IsInside(const std::wstring &strPath, const std::wstring &strRoot);
    bool NoReparseOnTheWay(const std::wstring &strPath, std::wstring &strReason) const;

    AttributeProbe m_pfnProbe;
};
