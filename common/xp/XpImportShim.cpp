// The runtime's thread support (winpthreads, pulled in by the posix thread model of libstdc++ and
// libgcc) imports GetTickCount64, which Windows XP's kernel32 does not export: XP's loader would
// refuse to start the program at all. This definition of the import slot is linked into the
// executable ahead of kernel32's, so the call is resolved at run time instead, with GetTickCount
// where the system has nothing better.
// No function-local statics here: their guard would take a winpthreads mutex, which calls this.
// Only the 32-bit programs run on XP; the 64-bit build links this file empty.
#include <windows.h>

#if defined(__i386__)

namespace {

typedef ULONGLONG(WINAPI *TickCount64Func)(void);

ULONGLONG WINAPI TickCount64()
{
    HMODULE hKernel = GetModuleHandleA("kernel32.dll");
    TickCount64Func pfnSystem =
        hKernel ? reinterpret_cast<TickCount64Func>(reinterpret_cast<void *>(GetProcAddress(hKernel, "GetTickCount64")))
                : nullptr;
    return pfnSystem ? pfnSystem() : GetTickCount();
}

}   // namespace

extern "C" {
// The name the import library gives the slot on i686: "__imp_" + "_GetTickCount64@0".
TickCount64Func g_pfnImpGetTickCount64 __asm__("__imp__GetTickCount64@0") = TickCount64;
}

#endif   // __i386__
