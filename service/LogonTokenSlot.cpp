#include "LogonTokenSlot.h"
#include "Log.h"

LogonTokenSlot g_hLogonToken;

bool LogonTokenSlot::Discard()
{
    CriticalSection::Lock lock(m_cs);
    bool bHeld = m_hToken.IsValid();
    m_hToken.Reset();
    return bHeld;
}

void LogonTokenSlot::Store(HANDLE hToken)
{
    CriticalSection::Lock lock(m_cs);
    m_hToken.Reset(hToken);
}

ScopedHandle LogonTokenSlot::Duplicate()
{
    CriticalSection::Lock lock(m_cs);
    ScopedHandle hCopy;
    if (!m_hToken) return hCopy;
    if (!DuplicateHandle(GetCurrentProcess(), m_hToken.Get(), GetCurrentProcess(), hCopy.Receive(), 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
        LOG_API_ERROR(L"DuplicateHandle", GetLastError());
        hCopy.Reset();
    }
    return hCopy;
}

HANDLE LogonTokenSlot::Peek()
{
    CriticalSection::Lock lock(m_cs);
    return m_hToken.Get();
}
