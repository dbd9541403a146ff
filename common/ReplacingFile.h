#pragma once
// A file replaced whole. The bytes go to a temporary file beside the final one; Commit moves it
// over the final path in one step, so that a reader finds the old file or the new one, never a
// part of either, and a crash leaves the old file as it was. Nothing stays under the temporary
// name on any way out: a file not committed is deleted by Abandon or the destructor.
// The caller names the temporary file: it must lie in the final file's folder (a move across
// volumes is no longer one step) and must not match the names that readers look for.
// One owner; not shared between threads.
#include "ScopedHandle.h"
#include <windows.h>
#include <string>

class ReplacingFile {
public:
    enum Durability {
        KEEP_CACHED,     // moved at once; the system writes the bytes when it likes
        FLUSH_TO_DISK    // the bytes are on the disk before the move, the move written through
    };

    ReplacingFile() {}
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile &) = delete;
    ReplacingFile &operator=(const ReplacingFile &) = delete;

    // Creates (or truncates) the temporary file for the final path. False (logged) on failure.
    bool Open(const std::wstring &strPath, const std::wstring &strTempPath);
    // Appends to the temporary file. False (logged) on failure; the file is then abandoned.
    bool Write(const void *pData, DWORD dwSize);
    // Closes the temporary file and moves it over the final path. False (logged) on failure, the
    // final file then untouched and the temporary file gone.
    bool Commit(Durability durability);
    // Closes and deletes the temporary file.
    void Abandon();

    const std::wstring &GetPath() const { return m_strPath; }
    bool IsOpen() const { return m_hFile.IsValid(); }

private:
    std::wstring m_strPath;
    std::wstring m_strTempPath;
    ScopedFileHandle m_hFile;
};
