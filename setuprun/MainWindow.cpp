#include "MainWindow.h"

#include "LaunchLog.h"
#include "resource.h"

MainWindow::MainWindow()
    : m_hInstance(nullptr), m_hWnd(nullptr), m_hAccelTable(nullptr), m_bClassRegistered(false)
{
}

MainWindow::~MainWindow()
{
    // Accelerators loaded from resources are freed with the module; the window and class are ours.
    if (m_hWnd != nullptr && IsWindow(m_hWnd) && !DestroyWindow(m_hWnd))
        LaunchLog::ApiError("DestroyWindow", GetLastError());
    if (m_bClassRegistered && !UnregisterClassA(m_strWindowClass.c_str(), m_hInstance))
        LaunchLog::ApiError("UnregisterClassA", GetLastError());
}

bool MainWindow::Create(HINSTANCE hInstance)
{
    m_hInstance = hInstance;
    m_strTitle = LoadResourceString(IDS_APP_TITLE);
    m_strWindowClass = LoadResourceString(IDC_SETUPRUN);
    if (m_strWindowClass.empty() || !RegisterWindowClass()) return false;

    m_hWnd = CreateWindowA(m_strWindowClass.c_str(), m_strTitle.c_str(), WS_OVERLAPPEDWINDOW,
                           CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, nullptr, nullptr, hInstance, nullptr);
    if (m_hWnd == nullptr) {
        LaunchLog::ApiError("CreateWindowA", GetLastError());
        return false;
    }
    ShowWindow(m_hWnd, SW_HIDE);   // returns the previous visibility, not a failure
    m_hAccelTable = LoadAcceleratorsA(hInstance, MAKEINTRESOURCEA(IDC_SETUPRUN));
    if (m_hAccelTable == nullptr) LaunchLog::ApiError("LoadAcceleratorsA", GetLastError());
    return true;
}

bool MainWindow::RegisterWindowClass()
{
    WNDCLASSEXA wcex = {};
    wcex.cbSize = sizeof(wcex);
    wcex.style = CS_HREDRAW | CS_VREDRAW;
    wcex.lpfnWndProc = WndProc;
    wcex.hInstance = m_hInstance;
    wcex.hIcon = LoadIconA(m_hInstance, MAKEINTRESOURCEA(IDI_SETUPRUN));
    wcex.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wcex.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wcex.lpszMenuName = MAKEINTRESOURCEA(IDC_SETUPRUN);
    wcex.lpszClassName = m_strWindowClass.c_str();
    wcex.hIconSm = LoadIconA(m_hInstance, MAKEINTRESOURCEA(IDI_SMALL));
    if (wcex.hIcon == nullptr || wcex.hIconSm == nullptr) LaunchLog::ApiError("LoadIconA", GetLastError());
    if (wcex.hCursor == nullptr) LaunchLog::ApiError("LoadCursorA", GetLastError());
    if (RegisterClassExA(&wcex) == 0) {
        LaunchLog::ApiError("RegisterClassExA", GetLastError());
        return false;
    }
    m_bClassRegistered = true;
    return true;
}

std::string MainWindow::LoadResourceString(UINT uiId) const
{
    char szText[100];
    int iLen = LoadStringA(m_hInstance, uiId, szText, sizeof(szText));
    if (iLen <= 0) {
        LaunchLog::ApiError("LoadStringA", GetLastError());
        return std::string();
    }
    return std::string(szText, iLen);
}

LRESULT CALLBACK MainWindow::WndProc(HWND hWnd, UINT uiMessage, WPARAM wParam, LPARAM lParam)
{
    switch (uiMessage) {
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDM_ABOUT:
            if (DialogBoxParamA(reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(hWnd, GWLP_HINSTANCE)),
                                MAKEINTRESOURCEA(IDD_ABOUTBOX), hWnd, AboutProc, 0) == -1)
                LaunchLog::ApiError("DialogBoxParamA", GetLastError());
            return 0;
        case IDM_EXIT:
            if (!DestroyWindow(hWnd)) LaunchLog::ApiError("DestroyWindow", GetLastError());
            return 0;
        default:
            break;
        }
        break;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcA(hWnd, uiMessage, wParam, lParam);
}

INT_PTR CALLBACK MainWindow::AboutProc(HWND hDlg, UINT uiMessage, WPARAM wParam, LPARAM lParam)
{
    switch (uiMessage) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(hDlg, LOWORD(wParam));
            return TRUE;
        }
        break;
    default:
        break;
    }
    return FALSE;
}
