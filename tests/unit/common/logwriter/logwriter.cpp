// Test helper: nc_logwriter <folder> <app name> <writer tag> <lines per thread> <start event> <threads>
// Waits for the named start event (so that several writers overlap), then writes the lines
// "writer=<tag> thread=<t> seq=<n>" from each thread through a logger of its own. Exit code 0
// when all calls were made.
#include "TraceLog.h"
#include <cstdlib>
#include <thread>
#include <vector>

namespace {
std::wstring NoUser()
{
    return std::wstring();   // the file is the folder's plain one, whatever the prefix's settings say
}
}  // namespace

int wmain(int argc, wchar_t **argv)
{
    if (argc != 7) return 2;
    TraceLog::Seams seams;
    seams.strFolder = argv[1];
    seams.strAppName = argv[2];
    seams.pfnUserId = &NoUser;
    seams.pfnTakeUserChange = nullptr;
    const wchar_t *pszTag = argv[3];
    const int iCount = _wtoi(argv[4]);
    const int iThreads = _wtoi(argv[6]);
    HANDLE hStart = OpenEventW(SYNCHRONIZE, FALSE, argv[5]);
    if (hStart == nullptr) return 3;
    DWORD dwWait = WaitForSingleObject(hStart, 60000);
    CloseHandle(hStart);
    if (dwWait != WAIT_OBJECT_0) return 4;
    TraceLog log(seams);
    std::vector<std::thread> vecThreads;
    for (int t = 0; t < iThreads; ++t) {
        vecThreads.emplace_back([&log, pszTag, iCount, t]() {
            for (int i = 0; i < iCount; ++i)
                log.Write(LOG_INFO, L"logwriter.cpp", L"LogWriter::Run", 10, L"writer=%s thread=%d seq=%d", pszTag, t, i);
        });
    }
    for (std::thread &thread : vecThreads) thread.join();
    return 0;
}
