#pragma once
// The launcher's main window: registered and created as every Win32 program does, then hidden at
// once. No message loop runs, so its menu (About, Exit) and accelerators never act; they are kept
// so that the program looks like a normal windowed application to the shell.
#include <windows.h>
#include <string>

class MainWindow {
public:
    MainWindow();
    ~MainWindow();
    MainWindow(const MainWindow &) = delete;
    MainWindow &operator=(const MainWindow &) = delete;

    // Loads title and class name, registers the class, creates the window, hides it and loads the
    // accelerators. false when the window could not be created.
    bool Create(HINSTANCE hInstance);

private:
    bool RegisterWindowClass();
    std::string LoadResourceString(UINT uiId) const;
    static LRESULT CALLBACK WndProc(HWND hWnd, UINT uiMessage, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK AboutProc(HWND hDlg, UINT uiMessage, WPARAM wParam, LPARAM lParam);

    HINSTANCE m_hInstance;
    HWND m_hWnd;
    HACCEL m_hAccelTable;
    bool m_bClassRegistered;
    std::string m_strTitle;
    std::string m_strWindowClass;
};
