#include "StartThreadTable.h"

StartThreadTable g_hStartThread;

bool StartThreadTable::InsertIfAbsent(const std::wstring &strUser, HANDLE hThread)
{
    CriticalSection::Lock lock(m_cs);
    return m_mapThreads.insert(std::make_pair(strUser, hThread)).second;
}

int StartThreadTable::WakeAndErase(const std::wstring &strUser, int (*pfnWake)(HANDLE))
{
    CriticalSection::Lock lock(m_cs);
    auto it = m_mapThreads.find(strUser);
    HANDLE hThread = it != m_mapThreads.end() ? it->second : nullptr;
    int iResult = pfnWake(hThread);
    if (it != m_mapThreads.end()) m_mapThreads.erase(it);
    return iResult;
}

void StartThreadTable::EraseIfOwned(const std::wstring &strUser, HANDLE hThread)
{
    CriticalSection::Lock lock(m_cs);
    auto it = m_mapThreads.find(strUser);
    if (it != m_mapThreads.end() && it->second == hThread) m_mapThreads.erase(it);
}

HANDLE StartThreadTable::Find(const std::wstring &strUser)
{
    CriticalSection::Lock lock(m_cs);
    auto it = m_mapThreads.find(strUser);
    return it != m_mapThreads.end() ? it->second : nullptr;
}

size_t StartThreadTable::Size()
{
    CriticalSection::Lock lock(m_cs);
    return m_mapThreads.size();
}
