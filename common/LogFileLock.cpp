#include "LogFileLock.h"
#include "SpinBackoff.h"
#include <cwchar>
#include <cwctype>

namespace {

const wchar_t kSectionPrefix[] = L"Local\\NolvexConnectLogTurn_";
const DWORD kSectionBytes = 64;
// How long a waiting writer trusts a holder before it asks whether the holder's process lives,
// and after which it writes without its turn.
const DWORD kOwnerCheckMs = 100;
const DWORD kMaxWaitMs = 5000;

// FNV-1a over the upper-cased path: a short name that is the same in every process.
unsigned long long PathHash(const std::wstring &strPath)
{
    const unsigned long long kOffset = 14695981039346656037ULL;
    const unsigned long long kPrime = 1099511628211ULL;
    unsigned long long ullHash = kOffset;
    for (wchar_t c : strPath) {
        ullHash ^= (unsigned long long)(unsigned short)towupper(c);
        ullHash *= kPrime;
    }
    return ullHash;
}

}  // namespace

std::wstring LogFileLock::SectionName(const std::wstring &strFilePath)
{
    wchar_t szHash[17] = {};
    _snwprintf(szHash, 16, L"%016I64x", PathHash(strFilePath));
    return kSectionPrefix + std::wstring(szHash);
}

bool LogFileLock::Attach(const std::wstring &strFilePath)
{
    Detach();
    std::wstring strName = SectionName(strFilePath);
    // Zero-filled when new: nobody holds the turn.
    m_hSection.Reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kSectionBytes,
                                        strName.c_str()));
    if (!m_hSection.IsValid()) return false;
    m_view.Reset(MapViewOfFile(m_hSection.Get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, kSectionBytes));
    if (!m_view.IsValid()) m_hSection.Reset();
    return m_view.IsValid();
}

void LogFileLock::Detach()
{
    m_view.Reset();
    m_hSection.Reset();
}

bool LogFileLock::Acquire()
{
    if (!IsAttached()) return false;
    const LONG lSelf = (LONG)GetCurrentProcessId();
    DWORD dwStart = GetTickCount();
    DWORD dwChecked = dwStart;
    // A turn is a single write, usually microseconds.
    for (SpinBackoff backoff;; backoff.Pause()) {
        LONG lOwner = InterlockedCompareExchange(Word(), lSelf, 0);
        if (lOwner == 0) return true;
        DWORD dwNow = GetTickCount();
        if (dwNow - dwChecked >= kOwnerCheckMs) {
            dwChecked = dwNow;
            // The holder died in its turn: take the turn over from it (only if it is still its).
            if (OwnerHasEnded(lOwner) && InterlockedCompareExchange(Word(), lSelf, lOwner) == lOwner) return true;
        }
        if (dwNow - dwStart >= kMaxWaitMs) return false;
    }
}

void LogFileLock::Release()
{
    if (!IsAttached()) return;
    const LONG lSelf = (LONG)GetCurrentProcessId();
    InterlockedCompareExchange(Word(), 0, lSelf);   // a turn taken over from us is not ours to clear
}

bool LogFileLock::OwnerHasEnded(LONG lOwner) const
{
    if (lOwner == (LONG)GetCurrentProcessId()) return false;   // a thread of ours: it will let go
    ScopedHandle hProcess(OpenProcess(SYNCHRONIZE, FALSE, (DWORD)lOwner));
    if (!hProcess.IsValid()) return GetLastError() == ERROR_INVALID_PARAMETER;   // no such process
    return WaitForSingleObject(hProcess.Get(), 0) == WAIT_OBJECT_0;
}
