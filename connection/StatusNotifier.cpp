#include "StatusNotifier.h"
#include "Log.h"

StatusNotifier::StatusNotifier(NotifyHook *pHook) : m_pHook(pHook) {}

void StatusNotifier::Notify(long lMsgCode, long lTitleCode, long lDispStatus, const std::wstring &strAddMsg)
{
    if (!m_pHook) {
        LOGWRITE(LOG_DEBUG, L"No notification hook: notice %ld/%ld dropped", lMsgCode, lTitleCode);
        return;
    }
    m_pHook->NotifyError(lMsgCode, lTitleCode, lDispStatus, strAddMsg);
}
