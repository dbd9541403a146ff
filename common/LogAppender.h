#pragma once
// The trace log's own file writer: one file kept open for appending, shared with every other
// writer of it, each text added whole at its end. No logging, no exceptions: it reports Windows
// error codes, and the logger decides what to note.
#include "LogFileLock.h"
#include "ScopedHandle.h"
#include <string>

class LogAppender {
public:
    LogAppender() = default;
    LogAppender(const LogAppender &) = delete;
    LogAppender &operator=(const LogAppender &) = delete;

    // Opens (creating it if missing) the file for appending; 0 or the error. bShared: other
    // processes append to it too, and turns are taken (LogFileLock).
    DWORD Open(const std::wstring &strPath, bool bShared);
    // Opens the file of the last Open again (after a failure); 0 or the error.
    DWORD Reopen();
    void Close();
    bool IsOpen() const { return m_hFile.IsValid(); }
    const std::wstring &GetPath() const { return m_strPath; }

    // Adds the text (UTF-16LE, no byte-order mark) in one write at the end of the file; 0 or
    // the error.
    DWORD Append(const std::wstring &strText);

private:
    ScopedFileHandle m_hFile;
    std::wstring m_strPath;
    bool m_bShared = false;
    LogFileLock m_turns;
};
