#include "PublishedEvent.h"
#include "Log.h"

PublishedEvent::PublishedEvent(HANDLE *phGlobal) : m_phGlobal(phGlobal) {}

PublishedEvent::~PublishedEvent()
{
    if (m_hEvent) *m_phGlobal = nullptr;
}

bool PublishedEvent::Create()
{
    m_hEvent.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!m_hEvent) {
        LOG_API_ERROR(L"CreateEvent", GetLastError());
        return false;
    }
    *m_phGlobal = m_hEvent.Get();
    return true;
}
