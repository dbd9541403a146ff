#include "ClientWindow.h"
#include "ConsoleOut.h"
#include "Log.h"

namespace {
const wchar_t kClassName[] = L"NolvexTestClientWindow";
const UINT kFirstClientMessage = 0x401;
const UINT kLastClientMessage = 0x409;
const DWORD kReadyWaitMs = 10000;
const DWORD kEndWaitMs = 2000;
}   // namespace

ClientWindow::ClientWindow(const std::wstring &strScript)
{
    if (!ParseScript(strScript, m_vecAnswers, m_bHang)) return;
    m_hReady.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!m_hReady) {
        LOG_API_ERROR(L"CreateEventW", GetLastError());
        return;
    }
    m_hThread.Reset(CreateThread(nullptr, 0, &ClientWindow::ThreadProc, this, 0, nullptr));
    if (!m_hThread) {
        LOG_API_ERROR(L"CreateThread", GetLastError());
        return;
    }
    if (WaitForSingleObject(m_hReady.Get(), kReadyWaitMs) != WAIT_OBJECT_0) LOGWRITE(LOG_ERROR, L"The client window did not start");
}

ClientWindow::~ClientWindow()
{
    if (m_hWnd && !m_bHang) PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
    // A hung window's thread is left to the end of the process.
    if (m_hThread && !m_bHang) WaitForSingleObject(m_hThread.Get(), kEndWaitMs);
}

bool ClientWindow::ParseScript(const std::wstring &strScript, std::vector<LRESULT> &vecAnswers, bool &bHang)
{
    vecAnswers.clear();
    bHang = strScript == L"hang";
    if (bHang) return true;
    size_t nStart = 0;
    while (nStart <= strScript.size()) {
        size_t nComma = strScript.find(L',', nStart);
        std::wstring strPart = strScript.substr(nStart, nComma == std::wstring::npos ? std::wstring::npos : nComma - nStart);
        wchar_t *pEnd = nullptr;
        long lValue = wcstol(strPart.c_str(), &pEnd, 10);
        if (strPart.empty() || *pEnd != L'\0') return false;
        vecAnswers.push_back(static_cast<LRESULT>(lValue));
        if (nComma == std::wstring::npos) break;
        nStart = nComma + 1;
    }
    return !vecAnswers.empty();
}

LRESULT ClientWindow::Answer(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    wchar_t szMessage[16] = {};
    _snwprintf(szMessage, sizeof(szMessage) / sizeof(szMessage[0]) - 1, L"0x%03x", uMsg);
    std::wstring strLine = std::wstring(L"window message=") + szMessage + L" wParam=" +
                           std::to_wstring(static_cast<unsigned long long>(wParam)) + L" lParam=" +
                           std::to_wstring(static_cast<long long>(lParam));
    if (m_bHang) {
        ConsoleOut::Out(strLine + L" answer=none (hung)");
        Sleep(HANG_MS);
        return 0;
    }
    LRESULT lAnswer = m_vecAnswers[m_nAsked < m_vecAnswers.size() ? m_nAsked : m_vecAnswers.size() - 1];
    ++m_nAsked;
    ConsoleOut::Out(strLine + L" answer=" + std::to_wstring(static_cast<long long>(lAnswer)));
    return lAnswer;
}

LRESULT CALLBACK ClientWindow::WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    auto *pSelf = reinterpret_cast<ClientWindow *>(GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (pSelf && uMsg >= kFirstClientMessage && uMsg <= kLastClientMessage) return pSelf->Answer(uMsg, wParam, lParam);
    if (uMsg == WM_CLOSE) {
        DestroyWindow(hWnd);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

DWORD WINAPI ClientWindow::ThreadProc(LPVOID pParam)
{
    auto *pSelf = static_cast<ClientWindow *>(pParam);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &ClientWindow::WndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    if (!RegisterClassW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) LOG_API_ERROR(L"RegisterClassW", GetLastError());
    HWND hWnd = CreateWindowW(kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    if (!hWnd) {
        LOG_API_ERROR(L"CreateWindowW", GetLastError());
        SetEvent(pSelf->m_hReady.Get());
        return 1;
    }
    SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pSelf));
    pSelf->m_hWnd = hWnd;
    SetEvent(pSelf->m_hReady.Get());
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}
