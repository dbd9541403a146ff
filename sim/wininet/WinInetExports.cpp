// The exported entry points of the wininet stand-in: every wininet function the product's
// programs import (checked by tests/system/test_proxy_reset.py); WinInetSimulator decides.
#include "WinInetSimulator.h"
#include <windows.h>
#include <wininet.h>

extern "C" {

WINBOOL WINAPI InternetSetOptionW(HINTERNET hInternet, DWORD dwOption, LPVOID lpBuffer, DWORD dwBufferLength)
{
    return WinInetSimulator().SetOption(hInternet, dwOption, lpBuffer, dwBufferLength);
}

WINBOOL WINAPI InternetQueryOptionW(HINTERNET hInternet, DWORD dwOption, LPVOID lpBuffer, LPDWORD lpdwBufferLength)
{
    return WinInetSimulator().QueryOption(hInternet, dwOption, lpBuffer, lpdwBufferLength);
}

}  // extern "C"
