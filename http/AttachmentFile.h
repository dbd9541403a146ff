#pragma once
// An attachment written straight to its file while it arrives: the bytes go to "<path>.part",
// which replaces the final file only when the whole body has come (a broken transfer leaves
// nothing under the final name).
#include "ScopedHandle.h"
#include <windows.h>
#include <string>

class AttachmentFile {
public:
    AttachmentFile();
    ~AttachmentFile();
    AttachmentFile(const AttachmentFile &) = delete;
    AttachmentFile &operator=(const AttachmentFile &) = delete;

    // Creates the part file for the final path. False (logged) when it cannot be made.
    bool Open(const std::wstring &strPath);
    bool Write(const BYTE *pbData, DWORD dwSize);
    // Closes the part file and moves it over the final path.
    bool Commit();
    // Closes and deletes the part file (also done by the destructor when not committed).
    void Abandon();
    const std::wstring &GetPath() const { return m_strPath; }
    bool IsOpen() const { return m_hFile.IsValid(); }

private:
    std::wstring m_strPath;
    std::wstring m_strPartPath;
    ScopedFileHandle m_hFile;
};
