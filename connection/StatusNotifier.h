#pragma once
// The connection library's status notifier: holds the client's notification hook (none in the
// monitor service, which drops every notice) and passes each notice on.
#include "NotifyHook.h"
#include <string>

class StatusNotifier {
public:
    // The hook is not owned; null drops the notices.
    explicit StatusNotifier(NotifyHook *pHook = nullptr);
    void Notify(long lMsgCode, long lTitleCode, long lDispStatus, const std::wstring &strAddMsg);
    bool HasHook() const { return m_pHook != nullptr; }

private:
    NotifyHook *m_pHook;
};
