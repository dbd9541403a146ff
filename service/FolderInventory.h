#pragma once
// Every file of a folder tree with its SHA-256, as an update manifest lists them. Refuses a tree
// that holds a reparse point (junction, symbolic link) or a file with more than one link: such an
// entry could make the same bytes appear, or change, somewhere else.
#include "UpdateManifestText.h"
#include <windows.h>
#include <string>

class FolderInventory {
public:
    // strSkipTopName: a file name of the top folder that is left out (the manifest itself).
    // false with a reason when the tree cannot be read or holds a refused entry.
    static bool Digest(const std::wstring &strFolder, const std::wstring &strSkipTopName,
                       UpdateManifestText::EntryMap &entries, std::wstring &strReason);

private:
    static bool DigestFolder(const std::wstring &strRoot, const std::wstring &strRelative,
                             const std::wstring &strSkipTopName, UpdateManifestText::EntryMap &entries,
                             std::wstring &strReason);
    static bool DigestFile(const std::wstring &strPath, const std::wstring &strRelative,
                           UpdateManifestText::EntryMap &entries, std::wstring &strReason);
};
