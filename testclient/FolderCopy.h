#pragma once
// Leaves files in the user folder the way the client application does: every file of a source
// folder, subfolders included, copied over (existing files are replaced).
#include <windows.h>
#include <string>

class FolderCopy {
public:
    // Creates the target and its missing parents. ERROR_SUCCESS or the error of the failing step;
    // *pnFiles counts the files copied.
    static DWORD CopyTree(const std::wstring &strSource, const std::wstring &strTarget, size_t *pnFiles);
    static DWORD CreateFolders(const std::wstring &strFolder);

private:
    static DWORD CopyEntry(const WIN32_FIND_DATAW &fd, const std::wstring &strSource, const std::wstring &strTarget,
                           size_t *pnFiles);
};
