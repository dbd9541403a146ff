#pragma once
// Holds a file open the way another program would (by default without any sharing, as a program
// that locks it), until Release or destruction.
#include "ScopedHandle.h"
#include <windows.h>
#include <string>

class LockedFile {
public:
    explicit LockedFile(const std::wstring &strPath, DWORD dwAccess = GENERIC_READ | GENERIC_WRITE,
                        DWORD dwShareMode = 0)
        : m_hFile(CreateFileW(strPath.c_str(), dwAccess, dwShareMode, nullptr, OPEN_ALWAYS, 0, nullptr))
    {
    }
    LockedFile(const LockedFile &) = delete;
    LockedFile &operator=(const LockedFile &) = delete;

    bool IsLocked() const { return m_hFile.IsValid(); }
    void Release() { m_hFile.Reset(); }

private:
    ScopedFileHandle m_hFile;
};
