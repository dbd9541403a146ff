#pragma once
// The test client's hidden message window: it stands in for the client application's window and
// answers the update question (0x403) from a script, printing every message it gets. The last
// answer repeats; "hang" makes it stop answering (a hung window).
#include "ScopedHandle.h"
#include <windows.h>
#include <string>
#include <vector>

class ClientWindow {
public:
    static constexpr DWORD HANG_MS = 600000;

    // A comma-separated script of answers ("6", "-2,-2,6", "7") or "hang".
    explicit ClientWindow(const std::wstring &strScript);
    ~ClientWindow();
    ClientWindow(const ClientWindow &) = delete;
    ClientWindow &operator=(const ClientWindow &) = delete;

    // False when the script is not understood.
    static bool ParseScript(const std::wstring &strScript, std::vector<LRESULT> &vecAnswers, bool &bHang);
    // Null when the window could not be made.
    HWND Handle() const { return m_hWnd; }

private:
    static LRESULT CALLBACK WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    static DWORD WINAPI ThreadProc(LPVOID pParam);
    LRESULT Answer(UINT uMsg, WPARAM wParam, LPARAM lParam);

    std::vector<LRESULT> m_vecAnswers;
    bool m_bHang = false;
    size_t m_nAsked = 0;
    HWND m_hWnd = nullptr;
    ScopedHandle m_hReady;
    ScopedHandle m_hThread;
};
