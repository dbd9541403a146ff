#include "ResponseBody.h"
#include "Log.h"
#include <cstring>

namespace {
const DWORD kZeroByte = 1;
}

ResponseBody::ResponseBody(DWORD dwCap) : m_dwCap(dwCap), m_dwSize(0), m_dwCapacity(0), m_pLocked(nullptr) {}

ResponseBody::~ResponseBody()
{
    if (m_pLocked != nullptr) LocalUnlock(m_hBlock.Get());
}

const char *ResponseBody::Data() const
{
    return static_cast<const char *>(m_pLocked);
}

DWORD ResponseBody::NextCapacity(DWORD dwNeeded) const
{
    DWORD dwCapacity = m_dwCapacity == 0 ? FIRST_CAPACITY : m_dwCapacity;
    while (dwCapacity < dwNeeded) dwCapacity = dwCapacity > m_dwCap / 2 ? m_dwCap + kZeroByte : dwCapacity * 2;
    return dwCapacity;
}

bool ResponseBody::Reserve(DWORD dwNeeded)
{
    if (dwNeeded <= m_dwCapacity) return true;
    DWORD dwCapacity = NextCapacity(dwNeeded);
    if (m_pLocked != nullptr) LocalUnlock(m_hBlock.Get());
    m_pLocked = nullptr;
    HLOCAL hNew = m_hBlock ? LocalReAlloc(m_hBlock.Get(), dwCapacity, LMEM_MOVEABLE | LMEM_ZEROINIT)
                           : LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, dwCapacity);
    if (hNew == nullptr) {
        LOG_API_ERROR(m_hBlock ? L"LocalReAlloc" : L"LocalAlloc", GetLastError());
        if (m_hBlock) m_pLocked = LocalLock(m_hBlock.Get());
        return false;
    }
    if (hNew != m_hBlock.Get()) {
        m_hBlock.Release();   // LocalReAlloc moved the block: the old handle is gone already
        m_hBlock.Reset(hNew);
    }
    m_dwCapacity = dwCapacity;
    m_pLocked = LocalLock(m_hBlock.Get());
    return m_pLocked != nullptr;
}

bool ResponseBody::Append(const BYTE *pbData, DWORD dwSize, bool &bOverCap)
{
    bOverCap = dwSize > m_dwCap - m_dwSize;
    if (bOverCap) return false;
    if (!Reserve(m_dwSize + dwSize + kZeroByte)) return false;
    memcpy(static_cast<BYTE *>(m_pLocked) + m_dwSize, pbData, dwSize);
    m_dwSize += dwSize;
    static_cast<BYTE *>(m_pLocked)[m_dwSize] = 0;
    return true;
}

HLOCAL ResponseBody::Detach()
{
    if (m_pLocked != nullptr) LocalUnlock(m_hBlock.Get());
    m_pLocked = nullptr;
    m_dwSize = 0;
    m_dwCapacity = 0;
    return m_hBlock.Release();
}
