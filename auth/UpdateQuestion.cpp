#include "UpdateQuestion.h"
#include "Log.h"

UpdateQuestion::UpdateQuestion(HWND hWnd, HANDLE hStop, UINT uTimeoutMs, int iNotReadyLimit)
    : m_hWnd(hWnd), m_hStop(hStop), m_uTimeoutMs(uTimeoutMs), m_iNotReadyLimit(iNotReadyLimit)
{
}

bool UpdateQuestion::SendOnce(LRESULT &lAnswer)
{
    DWORD_PTR dwResult = 0;
    LOGWRITE(LOG_DEBUG, L"[API Call] SendMessageTimeoutW hWnd 0x%08I64x", LogHandleValue(m_hWnd));
    if (!SendMessageTimeoutW(m_hWnd, WM_DISP_DIALOG, QUESTION_MESSAGE_ID, QUESTION_KIND, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                             m_uTimeoutMs, &dwResult)) {
        LOG_API_ERROR(L"SendMessageTimeoutW", GetLastError());
        return false;
    }
    lAnswer = static_cast<LRESULT>(dwResult);
    LOGWRITE(LOG_DEBUG, L"[API Return] answer %ld", static_cast<long>(lAnswer));
    return true;
}

UpdateQuestion::Answer UpdateQuestion::Ask()
{
    LOG_SCOPE();
    if (m_hWnd == nullptr || !IsWindow(m_hWnd)) {
        LOGWRITE(LOG_ERROR, L"No client window to ask about the update");
        return NO_ANSWER;
    }
    for (int iAsked = 0; iAsked <= m_iNotReadyLimit; ++iAsked) {
        LRESULT lAnswer = 0;
        if (!SendOnce(lAnswer)) return NO_ANSWER;
        if (lAnswer == ANSWER_YES) return YES;
        if (lAnswer != ANSWER_NOT_READY) {
            LOGWRITE(LOG_INFO, L"The update was declined (answer %ld)", static_cast<long>(lAnswer));
            return NO;
        }
        if (m_hStop != nullptr && WaitForSingleObject(m_hStop, NOT_READY_PAUSE_MS) == WAIT_OBJECT_0) return NO_ANSWER;
        if (m_hStop == nullptr) Sleep(NOT_READY_PAUSE_MS);
    }
    LOGWRITE(LOG_ERROR, L"The client window stayed not ready for the update question");
    return NO_ANSWER;
}
