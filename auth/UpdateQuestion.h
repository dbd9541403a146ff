#pragma once
// Asks the client window whether a module update may go ahead: window message 0x403 (wParam 8602,
// lParam 4), sent with a bounded wait. The client answers 6 (yes), 7 (no) or -2 (not ready: asked
// again after 100 ms, a bounded number of times). Only 6 is yes; no window, a hung window, a
// window that stays not ready and any other answer are no.
#include <windows.h>

class UpdateQuestion {
public:
    static constexpr UINT WM_DISP_DIALOG = 0x403;
    static constexpr WPARAM QUESTION_MESSAGE_ID = 8602;
    static constexpr LPARAM QUESTION_KIND = 4;
    static constexpr LRESULT ANSWER_YES = IDYES;
    static constexpr LRESULT ANSWER_NO = IDNO;
    static constexpr LRESULT ANSWER_NOT_READY = -2;
    static constexpr DWORD NOT_READY_PAUSE_MS = 100;
    // The user may think about it for a while; a window that does not answer at all is hung.
    static constexpr UINT ANSWER_TIMEOUT_MS = 120000;
    static constexpr int NOT_READY_LIMIT = 300;

    enum Answer { YES, NO, NO_ANSWER };

    // The stop event (may be null) ends the not-ready repetitions early.
    UpdateQuestion(HWND hWnd, HANDLE hStop, UINT uTimeoutMs = ANSWER_TIMEOUT_MS, int iNotReadyLimit = NOT_READY_LIMIT);
    Answer Ask();

private:
    bool SendOnce(LRESULT &lAnswer);

    HWND m_hWnd;
    HANDLE m_hStop;
    UINT m_uTimeoutMs;
    int m_iNotReadyLimit;
};
