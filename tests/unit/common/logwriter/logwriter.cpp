// Test helper: nc_logwriter <folder> <app name> <writer tag> <line count> <start event name>
// Waits for the named start event (so that several writers overlap), then writes the lines
// "writer=<tag> seq=<n>" through a logger of its own. Exit code 0 when all calls were made.
#include "TraceLog.h"
#include <cstdlib>

int wmain(int argc, wchar_t **argv)
{
    if (argc != 6) return 2;
    TraceLog::Seams seams;
    seams.strFolder = argv[1];
    seams.strAppName = argv[2];
    const wchar_t *pszTag = argv[3];
    int iCount = _wtoi(argv[4]);
    HANDLE hStart = OpenEventW(SYNCHRONIZE, FALSE, argv[5]);
    if (hStart == nullptr) return 3;
    DWORD dwWait = WaitForSingleObject(hStart, 60000);
    CloseHandle(hStart);
    if (dwWait != WAIT_OBJECT_0) return 4;
    TraceLog log(seams);
    for (int i = 0; i < iCount; ++i)
        log.Write(LOG_INFO, L"logwriter.cpp", L"LogWriter::Run", 10, L"writer=%s seq=%d", pszTag, i);
    return 0;
}
