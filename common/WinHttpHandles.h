#pragma once
// Owner of WinHTTP handles (session, connection, request), in the manner of ScopedHandle.h. Only
// code that links winhttp includes it (winhttp.h and wininet.h cannot share a translation unit).
#include "ScopedHandle.h"
#include <winhttp.h>

struct WinHttpHandleTraits {
    typedef HINTERNET Type;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::WinHttpCloseHandle(h); }
};
typedef ScopedGeneric<WinHttpHandleTraits> ScopedWinHttp;
