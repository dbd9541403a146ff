#pragma once
// Turns of the processes that append to one log file, without a kernel call per line.
//
// Windows appends a whole WriteFile at the end of a file opened for appending only, even when
// several processes write at once; Wine does not (it seeks to the end and writes, so lines of two
// processes overwrite each other). The writers of one file therefore take turns through a word in
// a small shared section named after the file: the owner's process id, set and cleared with
// interlocked operations. A writer that dies while it holds the word is noticed by the next one
// (its process has ended) and the word is taken over; a holder that stays alive longer than the
// bound is passed by, so that no writer ever waits without end.
//
// Only the user's programs share a file (the client and the proxy reset tool of one user, several
// instances of one program); the monitor service writes a file of its own and needs no turns.
#include "ScopedHandle.h"
#include <string>

class LogFileLock {
public:
    LogFileLock() = default;
    LogFileLock(const LogFileLock &) = delete;
    LogFileLock &operator=(const LogFileLock &) = delete;

    // Binds the lock to one file (any earlier file is let go). False when the shared section
    // cannot be had: the writes then go without turns, as Windows itself allows.
    bool Attach(const std::wstring &strFilePath);
    void Detach();
    bool IsAttached() const { return m_view.IsValid(); }

    // False when the turn was not had within the bound (the caller writes anyway).
    bool Acquire();
    void Release();

    // The section's name for a file path (the same in every process, any letter case).
    static std::wstring SectionName(const std::wstring &strFilePath);

private:
    bool OwnerHasEnded(LONG lOwner) const;
    volatile LONG *Word() const { return static_cast<volatile LONG *>(m_view.Get()); }

    ScopedHandle m_hSection;
    ScopedMapView m_view;
};
