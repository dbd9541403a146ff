// A program that passes nothing: its worker thread writes through a null pointer while the main
// thread waits for it (at most a minute, so that it never outlives its test).
#include <windows.h>

namespace {
const DWORD kWaitLimitMs = 60000;
const int kExitWhenTheWorkerReturned = 3;

DWORD WINAPI WriteThroughNull(void *)
{
    volatile int *piNowhere = nullptr;
    *piNowhere = 1;
    return 0;
}
}   // namespace

int main()
{
    HANDLE hWorker = CreateThread(nullptr, 0, WriteThroughNull, nullptr, 0, nullptr);
    if (hWorker == nullptr) return 2;
    WaitForSingleObject(hWorker, kWaitLimitMs);
    CloseHandle(hWorker);
    return kExitWhenTheWorkerReturned;
}
