#include "PipeInstancePool.h"
#include "Log.h"

PipeInstancePool g_pipeInstances;

PipeInstancePool::PipeInstancePool() : m_bOpen(false)
{
}

PipeInstancePool::~PipeInstancePool()
{
    Close();
}

bool PipeInstancePool::Open()
{
    CriticalSection::Lock lock(m_cs);
    if (m_bOpen) return true;
    m_hFreed.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!m_hFreed) {
        LOG_API_ERROR(L"CreateEvent", GetLastError());
        return false;
    }
    m_bOpen = true;
    return true;
}

void PipeInstancePool::Close()
{
    CriticalSection::Lock lock(m_cs);
    m_bOpen = false;
    m_vecFree.clear();
    m_hFreed.Reset();
}

HANDLE PipeInstancePool::FreedEvent()
{
    CriticalSection::Lock lock(m_cs);
    return m_hFreed.Get();
}

ScopedFileHandle PipeInstancePool::Take()
{
    CriticalSection::Lock lock(m_cs);
    ScopedFileHandle hPipe;
    if (!m_vecFree.empty()) {
        hPipe = std::move(m_vecFree.back());
        m_vecFree.pop_back();
    }
    return hPipe;
}

void PipeInstancePool::Return(ScopedFileHandle hPipe)
{
    if (!hPipe) return;
    CriticalSection::Lock lock(m_cs);
    if (!m_bOpen) return;   // hPipe closes on the way out
    m_vecFree.push_back(std::move(hPipe));
    if (!SetEvent(m_hFreed.Get())) LOG_API_ERROR(L"SetEvent", GetLastError());
}

size_t PipeInstancePool::Size()
{
    CriticalSection::Lock lock(m_cs);
    return m_vecFree.size();
}
