#pragma once
// Copies the user's difference folder into the service's staging folder. Everything of the user's
// is listed and opened as the user (impersonating the sender's token), the copies are written as
// the service into a folder that only SYSTEM and administrators can write; from then on the update
// works on the staged copy only, so nothing the user changes later reaches the install folder.
// Reparse points and files with more than one link are refused.
#include <windows.h>
#include <string>
#include <vector>

class StagingCopy {
public:
    explicit StagingCopy(HANDLE hUserToken);

    // Creates strStaging afresh (an old one is removed) and copies the tree: 0, or an error code
    // with a reason.
    DWORD Copy(const std::wstring &strSource, const std::wstring &strStaging, std::wstring &strReason);

    // Creates a folder that SYSTEM and administrators may change and nobody else may (the
    // protected DACL is inherited by everything below it).
    static DWORD MakeProtectedFolder(const std::wstring &strFolder);

private:
    struct Entry {
        std::wstring strName;
        DWORD dwAttributes;
    };
    DWORD ListAsUser(const std::wstring &strFolder, std::vector<Entry> &vecEntries, std::wstring &strReason);
    DWORD CopyFolder(const std::wstring &strSource, const std::wstring &strTarget, std::wstring &strReason);
    DWORD CopyFileAsUser(const std::wstring &strSource, const std::wstring &strTarget, std::wstring &strReason);
    HANDLE OpenAsUser(const std::wstring &strPath, DWORD &dwError);
    static DWORD CopyBytes(HANDLE hFrom, HANDLE hTo);

    HANDLE m_hUserToken;   // not owned
};
