#include "StartThreadTable.h"
#include "CriticalSectionLock.h"

StartThreadTable g_hStartThread;


StartThreadTable::StartThreadTable()
{
    InitializeCriticalSection(&m_cs);
}

StartThreadTable::~StartThreadTable()
{
    DeleteCriticalSection(&m_cs);
}

bool StartThreadTable::InsertIfAbsent(const std::wstring &strUser, HANDLE hThread)
{
    CriticalSectionLock lock(&m_cs);
    return m_mapThreads.insert(std::make_pair(strUser, hThread)).second;
}

int StartThreadTable::WakeAndErase(const std::wstring &strUser, int (*pfnWake)(HANDLE))
{
    CriticalSectionLock lock(&m_cs);
    auto it = m_mapThreads.find(strUser);
    HANDLE hThread = it != m_mapThreads.end() ? it->second : nullptr;
    int iResult = pfnWake(hThread);
    if (it != m_mapThreads.end()) m_mapThreads.erase(it);
    return iResult;
}

void StartThreadTable::EraseIfOwned(const std::wstring &strUser, HANDLE hThread)
{
    CriticalSectionLock lock(&m_cs);
    auto it = m_mapThreads.find(strUser);
    if (it != m_mapThreads.end() && it->second == hThread) m_mapThreads.erase(it);
}

HANDLE StartThreadTable::Find(const std::wstring &strUser)
{
    CriticalSectionLock lock(&m_cs);
    auto it = m_mapThreads.find(strUser);
    return it != m_mapThreads.end() ? it->second : nullptr;
}

size_t StartThreadTable::Size()
{
    CriticalSectionLock lock(&m_cs);
    return m_mapThreads.size();
}
