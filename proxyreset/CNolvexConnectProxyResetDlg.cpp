#include "CNolvexConnectProxyResetDlg.h"
#include "Log.h"
#include "resource.h"

CNolvexConnectProxyResetDlg::CNolvexConnectProxyResetDlg(HINSTANCE hInstance)
    : m_hInstance(hInstance), m_hIcon(nullptr), m_hSmallIcon(nullptr)
{
}

INT_PTR CNolvexConnectProxyResetDlg::DoModal()
{
    LOG_SCOPE();
    INT_PTR iResult = DialogBoxParamW(m_hInstance, MAKEINTRESOURCEW(IDD_NOLVEXCONNECTPROXYRESET_DIALOG), nullptr,
                                      DialogProc, reinterpret_cast<LPARAM>(this));
    if (iResult == -1 || iResult == 0) {
        DWORD dwError = GetLastError();
        LOGWRITE(LOG_WARN, L"The dialog could not be shown (the program ends all the same)");
        LOG_API_ERROR(L"DialogBoxParamW", dwError);
        return -1;
    }
    return iResult;
}

INT_PTR CALLBACK CNolvexConnectProxyResetDlg::DialogProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_INITDIALOG) {
        SetWindowLongPtrW(hDlg, DWLP_USER, lParam);
        return reinterpret_cast<CNolvexConnectProxyResetDlg *>(lParam)->OnInitDialog(hDlg);
    }
    auto *pDlg = reinterpret_cast<CNolvexConnectProxyResetDlg *>(GetWindowLongPtrW(hDlg, DWLP_USER));
    if (pDlg == nullptr) return FALSE;
    switch (uMsg) {
    case WM_PAINT:
        if (!IsIconic(hDlg)) return FALSE;
        pDlg->OnPaint(hDlg);
        return TRUE;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<INT_PTR>(pDlg->OnQueryDragIcon());
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(hDlg, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

BOOL CNolvexConnectProxyResetDlg::OnInitDialog(HWND hDlg)
{
    m_hIcon = static_cast<HICON>(LoadImageW(m_hInstance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, 0, 0,
                                            LR_DEFAULTSIZE | LR_SHARED));
    m_hSmallIcon = static_cast<HICON>(LoadImageW(m_hInstance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                                 GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                                 LR_SHARED));
    if (m_hIcon == nullptr || m_hSmallIcon == nullptr) LOG_API_ERROR(L"LoadImageW", GetLastError());
    SendMessageW(hDlg, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageW(hDlg, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hSmallIcon));
    EndDialog(hDlg, IDCANCEL);
    return TRUE;
}

void CNolvexConnectProxyResetDlg::OnPaint(HWND hDlg)
{
    PAINTSTRUCT ps;
    HDC hDC = BeginPaint(hDlg, &ps);
    if (hDC == nullptr) return;
    RECT rcClient;
    GetClientRect(hDlg, &rcClient);
    int iX = (rcClient.right - rcClient.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    int iY = (rcClient.bottom - rcClient.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    if (m_hIcon != nullptr && !DrawIcon(hDC, iX, iY, m_hIcon)) LOG_API_ERROR(L"DrawIcon", GetLastError());
    EndPaint(hDlg, &ps);
}
