// Test helper: finds a top-level window by its caption and writes, as UTF-8 to the file named by
// its second argument, the texts as Windows holds them (after any code page conversion):
//   caption=<window text>
//   class=<window class name>
//   visible=<1 if the window is visible, else 0>
//   <class name>=<text of each child window, line breaks as \n>
//   message_font=<face name of the system's message box font>
//   missing_glyphs=<characters of the child texts that this font has no glyph for>
// usage: nc_window_text.exe "<caption>" <output file> [timeout ms [class name]];
// exit 0 found, 1 not found.
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

std::wstring Escape(const std::wstring &strText)
{
    std::wstring strOut;
    for (wchar_t ch : strText) {
        if (ch == L'\n') strOut += L"\\n";
        else if (ch == L'\r') strOut += L"\\r";
        else strOut += ch;
    }
    return strOut;
}

// WM_GETTEXT rather than GetWindowText: the latter does not ask controls of other processes.
std::wstring TextOf(HWND hWnd)
{
    DWORD_PTR dwLen = 0;
    if (!SendMessageTimeoutW(hWnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &dwLen)) return std::wstring();
    std::wstring strText(dwLen + 1, L'\0');
    DWORD_PTR dwGot = 0;
    if (!SendMessageTimeoutW(hWnd, WM_GETTEXT, dwLen + 1, reinterpret_cast<LPARAM>(&strText[0]),
                             SMTO_ABORTIFHUNG, 2000, &dwGot))
        return std::wstring();
    strText.resize(dwGot);
    return strText;
}

struct Children {
    std::wstring strLines;
    std::wstring strAllText;
};

BOOL CALLBACK AddChild(HWND hChild, LPARAM lParam)
{
    Children *pChildren = reinterpret_cast<Children *>(lParam);
    wchar_t szClass[64] = L"";
    GetClassNameW(hChild, szClass, 64);
    std::wstring strText = TextOf(hChild);
    pChildren->strLines += std::wstring(szClass) + L"=" + Escape(strText) + L"\n";
    pChildren->strAllText += strText;
    return TRUE;
}

// Counts the characters the message box font cannot draw (they would show as empty boxes).
int MissingGlyphs(const std::wstring &strText, std::wstring &strFace)
{
    NONCLIENTMETRICSW ncm = {};
    ncm.cbSize = sizeof(ncm);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0)) return -1;
    strFace = ncm.lfMessageFont.lfFaceName;
    HFONT hFont = CreateFontIndirectW(&ncm.lfMessageFont);
    HDC hDC = CreateCompatibleDC(nullptr);
    if (hFont == nullptr || hDC == nullptr) {
        if (hFont != nullptr) DeleteObject(hFont);
        if (hDC != nullptr) DeleteDC(hDC);
        return -1;
    }
    HGDIOBJ hOld = SelectObject(hDC, hFont);
    wchar_t szActual[LF_FACESIZE] = L"";
    if (GetTextFaceW(hDC, LF_FACESIZE, szActual) > 0) strFace += std::wstring(L" -> ") + szActual;
    int iMissing = 0;
    for (wchar_t ch : strText) {
        if (ch == L'\n' || ch == L'\r') continue;
        WORD wIndex = 0;
        if (GetGlyphIndicesW(hDC, &ch, 1, &wIndex, GGI_MARK_NONEXISTING_GLYPHS) == GDI_ERROR || wIndex == 0xFFFF)
            ++iMissing;
    }
    SelectObject(hDC, hOld);
    DeleteObject(hFont);
    DeleteDC(hDC);
    return iMissing;
}

bool WriteUtf8(const wchar_t *pszFile, const std::wstring &strText)
{
    int iLen = WideCharToMultiByte(CP_UTF8, 0, strText.c_str(), (int)strText.size(), nullptr, 0, nullptr, nullptr);
    std::string strBytes(iLen > 0 ? iLen : 0, '\0');
    if (iLen > 0)
        WideCharToMultiByte(CP_UTF8, 0, strText.c_str(), (int)strText.size(), &strBytes[0], iLen, nullptr, nullptr);
    HANDLE hFile = CreateFileW(pszFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) return false;
    DWORD dwWritten = 0;
    BOOL bOk = WriteFile(hFile, strBytes.data(), (DWORD)strBytes.size(), &dwWritten, nullptr);
    CloseHandle(hFile);
    return bOk && dwWritten == strBytes.size();
}

}   // namespace

int wmain(int argc, wchar_t **argv)
{
    if (argc < 3) return 2;
    DWORD dwTimeout = argc > 3 ? static_cast<DWORD>(wcstoul(argv[3], nullptr, 10)) : 10000;
    const wchar_t *pszClass = argc > 4 ? argv[4] : nullptr;
    DWORD dwStart = GetTickCount();
    HWND hWnd = nullptr;
    while ((hWnd = FindWindowW(pszClass, argv[1])) == nullptr && GetTickCount() - dwStart < dwTimeout)
        Sleep(100);
    if (hWnd == nullptr) return 1;
    Children children;
    EnumChildWindows(hWnd, AddChild, reinterpret_cast<LPARAM>(&children));
    std::wstring strFace;
    int iMissing = MissingGlyphs(children.strAllText, strFace);
    wchar_t szClass[64] = L"";
    GetClassNameW(hWnd, szClass, 64);
    std::wstring strOut = L"caption=" + Escape(TextOf(hWnd)) + L"\n" + L"class=" + szClass + L"\n" +
                          L"visible=" + std::to_wstring(IsWindowVisible(hWnd) ? 1 : 0) + L"\n" + children.strLines +
                          L"message_font=" + strFace + L"\n" + L"missing_glyphs=" + std::to_wstring(iMissing) + L"\n";
    return WriteUtf8(argv[2], strOut) ? 0 : 1;
}
