#pragma once
// The tool's dialog (resource 102): shows the icon and cancels itself as soon as it is made, so
// the program ends without the user.
#include <windows.h>

class CNolvexConnectProxyResetDlg {
public:
    explicit CNolvexConnectProxyResetDlg(HINSTANCE hInstance);
    // Runs the dialog modally: the dialog's result, or -1 when it cannot be made (no desktop);
    // the failure is logged as a warning.
    INT_PTR DoModal();

private:
    static INT_PTR CALLBACK DialogProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
    BOOL OnInitDialog(HWND hDlg);
    void OnPaint(HWND hDlg);
    HICON OnQueryDragIcon() const { return m_hIcon; }

    HINSTANCE m_hInstance;
    HICON m_hIcon;        // shared resource icons: released by the system
    HICON m_hSmallIcon;
};
