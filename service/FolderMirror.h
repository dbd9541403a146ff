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
    // 0, or the system error of the first failure. A target file of the same size, time and
    // attributes as its source is taken as equal and not written again, so that a file held
    // open that an update never changed does not stop its rollback.
    DWORD Mirror(const std::wstring &strSource, const std::wstring &strTarget);
    // A snapshot: like Mirror, but a source file that another program holds open without sharing
    // is left out (logged) instead of failing the whole copy.
    DWORD Snapshot(const std::wstring &strSource, const std::wstring &strTarget);
    // Every file the copies of this object put in place (full target paths), in order.
    const std::vector<std::wstring> &GetFilesPut() const { return m_vecFilesPut; }
    // Removes a tree with everything in it (read-only files too; links removed, not followed):
    // 0 when it is gone (or was never there).
    static DWORD RemoveTree(const std::wstring &strFolder);

private:
    enum Mode { MODE_OVERLAY, MODE_MIRROR, MODE_SNAPSHOT };
    struct Entry {
        std::wstring strName;
        DWORD dwAttributes;
        ULARGE_INTEGER size;
        FILETIME ftLastWrite;
    };
    static DWORD List(const std::wstring &strFolder, std::vector<Entry> &vecEntries);
    static bool Contains(const std::vector<Entry> &vecEntries, const std::wstring &strName, bool bFolder);
    static DWORD MakeFolder(const std::wstring &strFolder);
    static DWORD RemoveEntry(const std::wstring &strPath, DWORD dwAttributes);
    DWORD CopyTree(const std::wstring &strSource, const std::wstring &strTarget, Mode mode,
                   const std::vector<std::wstring> &vecSkipTop);
    static const Entry *Find(const std::vector<Entry> &vecEntries, const std::wstring &strName);
    static bool SameFile(const Entry &source, const Entry *pTarget);
    DWORD RemoveExtras(const std::wstring &strSource, const std::vector<Entry> &vecSource,
                       const std::wstring &strTarget);
    DWORD PutFile(const std::wstring &strSource, const std::wstring &strTarget, Mode mode);
    DWORD RenameAside(const std::wstring &strTarget);
    static bool SourceInUse(const std::wstring &strSource);

    std::wstring m_strAsideFolder;
    std::vector<std::wstring> m_vecFilesPut;
};
