#pragma once
// Folder copies of the update: an overlay (the difference folder's files over the install folder)
// and a mirror (the target made equal to the source: what the source lacks is removed). A file in
// use that cannot be overwritten is renamed aside into the set-aside folder (Windows lets a
// running program's file be renamed, not overwritten) and the new one put in its place; the
// renamed copies are removed at the next service start. Reparse points met in a target are
// removed as links, never followed.
#include <windows.h>
#include <string>
#include <vector>

class FolderMirror {
public:
    // strAsideFolder: where files in use are renamed to (created when needed; on the target's
    // volume).
    explicit FolderMirror(const std::wstring &strAsideFolder);

    // Copies every file of the source over the target (folders created): 0, or the system error
    // of the first failing file (the copy stops there). Names in vecSkipTop (top level) are left out.
    DWORD Overlay(const std::wstring &strSource, const std::wstring &strTarget,
                  const std::vector<std::wstring> &vecSkipTop = std::vector<std::wstring>());
    // Makes the target equal to the source, file by file (read-only attributes do not stop it):
    // 0, or the system error of the first failure.
    DWORD Mirror(const std::wstring &strSource, const std::wstring &strTarget);
    // Removes a tree with everything in it (read-only files too; links removed, not followed):
    // 0 when it is gone (or was never there).
    static DWORD RemoveTree(const std::wstring &strFolder);

private:
    struct Entry {
        std::wstring strName;
        DWORD dwAttributes;
    };
    static DWORD List(const std::wstring &strFolder, std::vector<Entry> &vecEntries);
    static bool Contains(const std::vector<Entry> &vecEntries, const std::wstring &strName, bool bFolder);
    static DWORD MakeFolder(const std::wstring &strFolder);
    static DWORD RemoveEntry(const std::wstring &strPath, DWORD dwAttributes);
    DWORD CopyTree(const std::wstring &strSource, const std::wstring &strTarget, bool bExact,
                   const std::vector<std::wstring> &vecSkipTop);
    DWORD RemoveExtras(const std::wstring &strSource, const std::vector<Entry> &vecSource,
                       const std::wstring &strTarget);
    DWORD PutFile(const std::wstring &strSource, const std::wstring &strTarget, bool bExact);
    DWORD RenameAside(const std::wstring &strTarget);

    std::wstring m_strAsideFolder;
};
