#include "UpdateQuestion.h"
#include "ScopedHandle.h"
#include <gtest/gtest.h>
#include <atomic>
#include <vector>

namespace {
// A window on a thread of its own that answers the update question from a script; the last
// answer repeats. With a hang, the window procedure sleeps instead of answering.
class AnsweringWindow {
public:
    AnsweringWindow(std::vector<LRESULT> vecAnswers, DWORD dwHangMs = 0)
        : m_vecAnswers(std::move(vecAnswers)), m_dwHangMs(dwHangMs)
    {
        m_hReady.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        m_hThread.Reset(CreateThread(nullptr, 0, &AnsweringWindow::ThreadProc, this, 0, nullptr));
        WaitForSingleObject(m_hReady.Get(), 5000);
    }
    ~AnsweringWindow()
    {
        if (m_hWnd) PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
        WaitForSingleObject(m_hThread.Get(), 10000);
    }
    HWND Handle() const { return m_hWnd; }
    int Asked() const { return m_iAsked; }

private:
    static LRESULT CALLBACK WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
    {
        auto *pSelf = reinterpret_cast<AnsweringWindow *>(GetWindowLongPtrW(hWnd, GWLP_USERDATA));
        if (uMsg == UpdateQuestion::WM_DISP_DIALOG && pSelf) {
            EXPECT_EQ(8602u, wParam);
            EXPECT_EQ(4, lParam);
            size_t n = static_cast<size_t>(pSelf->m_iAsked++);
            if (pSelf->m_dwHangMs) Sleep(pSelf->m_dwHangMs);
            return pSelf->m_vecAnswers[n < pSelf->m_vecAnswers.size() ? n : pSelf->m_vecAnswers.size() - 1];
        }
        if (uMsg == WM_CLOSE) {
            DestroyWindow(hWnd);
            PostQuitMessage(0);
            return 0;
        }
        return DefWindowProcW(hWnd, uMsg, wParam, lParam);
    }
    static DWORD WINAPI ThreadProc(LPVOID pParam)
    {
        auto *pSelf = static_cast<AnsweringWindow *>(pParam);
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &AnsweringWindow::WndProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"UpdateQuestionTestWindow";
        RegisterClassW(&wc);
        pSelf->m_hWnd = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrW(pSelf->m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pSelf));
        SetEvent(pSelf->m_hReady.Get());
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
        return 0;
    }

    std::vector<LRESULT> m_vecAnswers;
    DWORD m_dwHangMs;
    std::atomic<int> m_iAsked{0};
    HWND m_hWnd = nullptr;
    ScopedHandle m_hReady;
    ScopedHandle m_hThread;
};
}   // namespace

TEST(UpdateQuestionTest, OnlySixIsYesAndNotReadyIsAskedAgain)
{
    {
        AnsweringWindow window({IDYES});
        EXPECT_EQ(UpdateQuestion::YES, UpdateQuestion(window.Handle(), nullptr).Ask());
    }
    {
        AnsweringWindow window({IDNO});
        EXPECT_EQ(UpdateQuestion::NO, UpdateQuestion(window.Handle(), nullptr).Ask());
    }
    {
        AnsweringWindow window({0});   // what a window that does not know the question answers
        EXPECT_EQ(UpdateQuestion::NO, UpdateQuestion(window.Handle(), nullptr).Ask());
    }
    {
        AnsweringWindow window({-2, -2, IDYES});
        EXPECT_EQ(UpdateQuestion::YES, UpdateQuestion(window.Handle(), nullptr).Ask());
        EXPECT_EQ(3, window.Asked());
    }
}

TEST(UpdateQuestionTest, NoWindowAHungWindowAndEndlessNotReadyEndWithoutConsent)
{
    EXPECT_EQ(UpdateQuestion::NO_ANSWER, UpdateQuestion(nullptr, nullptr).Ask());
    {
        AnsweringWindow window({-2});
        EXPECT_EQ(UpdateQuestion::NO_ANSWER, UpdateQuestion(window.Handle(), nullptr, 1000, 3).Ask());
        EXPECT_EQ(4, window.Asked());
    }
    {
        AnsweringWindow window({IDYES}, 3000);
        DWORD dwStart = GetTickCount();
        EXPECT_EQ(UpdateQuestion::NO_ANSWER, UpdateQuestion(window.Handle(), nullptr, 300).Ask());
        EXPECT_LT(GetTickCount() - dwStart, 2500u);
    }
}

TEST(UpdateQuestionTest, TheStopEventEndsTheNotReadyRepetitions)
{
    AnsweringWindow window({-2});
    ScopedHandle hStop(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    EXPECT_EQ(UpdateQuestion::NO_ANSWER, UpdateQuestion(window.Handle(), hStop.Get()).Ask());
    EXPECT_EQ(1, window.Asked());
}
