#pragma once
// The bytes of a text answer, gathered in one local-heap block that grows geometrically up to a
// cap. The block always ends with one zero byte behind the bytes held.
#include "ScopedHandle.h"
#include <windows.h>

class ResponseBody {
public:
    // Largest text answer kept in memory; a larger one is an error.
    static constexpr DWORD MAX_TEXT_BYTES = 8u * 1024u * 1024u;
    static constexpr DWORD FIRST_CAPACITY = 16u * 1024u;

    explicit ResponseBody(DWORD dwCap = MAX_TEXT_BYTES);
    ~ResponseBody();
    ResponseBody(const ResponseBody &) = delete;
    ResponseBody &operator=(const ResponseBody &) = delete;
    // Appends the bytes; false when the cap would be passed (bOverCap set) or memory cannot be had.
    bool Append(const BYTE *pbData, DWORD dwSize, bool &bOverCap);
    DWORD Size() const { return m_dwSize; }
    DWORD Capacity() const { return m_dwCapacity; }
    // The bytes (null before the first Append). Valid until the next Append or Detach.
    const char *Data() const;
    // Hands the block over (null when nothing was appended); the caller frees it with LocalFree.
    HLOCAL Detach();

private:
    bool Reserve(DWORD dwNeeded);
    DWORD NextCapacity(DWORD dwNeeded) const;

    DWORD m_dwCap;
    DWORD m_dwSize;
    DWORD m_dwCapacity;
    ScopedLocal m_hBlock;
    void *m_pLocked;
};
