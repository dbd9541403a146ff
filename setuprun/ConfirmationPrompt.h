#pragma once
// The question asked before the optional "extra.bat" runs. The text is stored in code page 932
// (Shift_JIS) and shown with MessageBoxA, so it reads correctly where the ANSI code page is 932,
// which is the Japanese Windows this launcher ships for.
#include <windows.h>

class ConfirmationPrompt {
public:
    static const char *Caption();
    static const char *Text();
    // Shows the question (Yes/No, question icon, topmost, foreground). Returns the MessageBoxA
    // result: IDYES, IDNO, or 0 when the box could not be shown.
    static int Ask();
};
