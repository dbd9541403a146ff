// Trace log throughput, in one run:
// - DEBUG lines per second with the debug switch on, one thread and four threads, beside a
//   baseline that writes the very same bytes with plain write-through WriteFile calls through one
//   handle opened once (four threads: four threads through that one handle);
// - DEBUG lines dropped per second with the switch off, through the LOGWRITE macro;
// - three processes of one program writing one file at once.
#include "Log.h"
#include "TraceLog.h"
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

const int kTotalLines = 20000;
const int kDroppedLines = 5000000;
const int kProcesses = 3;
const int kProcessLines = 20000;
// The machine is shared: each case runs several times and the median is reported.
const int kRounds = 5;

double Seconds(const LARGE_INTEGER &liStart, const LARGE_INTEGER &liEnd)
{
    LARGE_INTEGER liFreq;
    QueryPerformanceFrequency(&liFreq);
    return double(liEnd.QuadPart - liStart.QuadPart) / double(liFreq.QuadPart);
}

template <typename Fn>
double TimeIt(Fn fn)
{
    LARGE_INTEGER liStart, liEnd;
    QueryPerformanceCounter(&liStart);
    fn();
    QueryPerformanceCounter(&liEnd);
    return Seconds(liStart, liEnd);
}

void RunThreads(int iThreads, const std::function<void(int)> &fnBody)
{
    std::vector<std::thread> vecThreads;
    for (int t = 0; t < iThreads; ++t) vecThreads.emplace_back(fnBody, t);
    for (std::thread &th : vecThreads) th.join();
}

void RemoveFolderFiles(const std::wstring &strFolder)
{
    WIN32_FIND_DATAW fd;
    HANDLE hFind = FindFirstFileW((strFolder + L"*").c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE) return;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((strFolder + fd.cFileName).c_str());
    } while (FindNextFileW(hFind, &fd));
    FindClose(hFind);
}

// The lines of a finished log file, each with its "\r\n", as the bytes the baseline writes.
std::vector<std::string> ReadLines(const std::wstring &strPath)
{
    std::vector<std::string> vecLines;
    HANDLE h = CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return vecLines;
    std::string strAll;
    char buf[65536];
    DWORD dwRead = 0;
    while (ReadFile(h, buf, sizeof(buf), &dwRead, nullptr) && dwRead > 0) strAll.append(buf, dwRead);
    CloseHandle(h);
    std::wstring strText(strAll.size() / 2, L'\0');
    if (!strText.empty()) memcpy(&strText[0], strAll.data(), strText.size() * 2);
    size_t nStart = 0;
    for (size_t nEnd; (nEnd = strText.find(L"\r\n", nStart)) != std::wstring::npos; nStart = nEnd + 2)
        vecLines.push_back(strAll.substr(nStart * 2, (nEnd + 2 - nStart) * 2));
    return vecLines;
}

struct Result {
    int iThreads;
    double dLoggerLps;
    double dBaselineLps;
    size_t nLines;
};

Result RunCase(const std::wstring &strFolder, int iThreads)
{
    std::wstring strCaseFolder = strFolder + L"threads" + std::to_wstring(iThreads) + L"\\";
    CreateDirectoryW(strCaseFolder.c_str(), nullptr);
    RemoveFolderFiles(strCaseFolder);

    TraceLog::Seams seams;
    seams.strAppName = L"NolvexConnectBench";
    seams.strFolder = strCaseFolder;
    TraceLog log(seams);
    log.SetLogLevel(1);
    const int iPerThread = kTotalLines / iThreads;
    double dLogger = TimeIt([&]() {
        RunThreads(iThreads, [&](int t) {
            for (int i = 0; i < iPerThread; ++i)
                log.Write(LOG_DEBUG, L"tracelog_bench.cpp", L"Bench::Run", 100 + t,
                          L"[InputInfo] thread %d line %d value is %s", t, i, L"some typical input text");
        });
    });

    std::vector<std::string> vecLines = ReadLines(log.GetFolder() + log.GetFileName());
    std::wstring strBaseline = strCaseFolder + L"baseline.dat";
    DeleteFileW(strBaseline.c_str());
    HANDLE hFile = CreateFileW(strBaseline.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
    double dBaseline = 0;
    if (hFile != INVALID_HANDLE_VALUE) {
        const size_t nPerThread = vecLines.size() / iThreads;
        dBaseline = TimeIt([&]() {
            RunThreads(iThreads, [&](int t) {
                for (size_t i = t * nPerThread; i < (t + 1) * nPerThread; ++i) {
                    DWORD dwWritten = 0;
                    WriteFile(hFile, vecLines[i].data(), (DWORD)vecLines[i].size(), &dwWritten, nullptr);
                }
            });
        });
        CloseHandle(hFile);
    }
    size_t nBaselineLines = vecLines.size() / iThreads * iThreads;
    return {iThreads, vecLines.size() / dLogger, dBaseline > 0 ? nBaselineLines / dBaseline : 0, vecLines.size()};
}

// Median of each rate on its own.
Result Median(std::vector<Result> vecRounds)
{
    Result result = vecRounds[0];
    const size_t nMid = vecRounds.size() / 2;
    std::sort(vecRounds.begin(), vecRounds.end(), [](const Result &a, const Result &b) { return a.dLoggerLps < b.dLoggerLps; });
    result.dLoggerLps = vecRounds[nMid].dLoggerLps;
    std::sort(vecRounds.begin(), vecRounds.end(), [](const Result &a, const Result &b) { return a.dBaselineLps < b.dBaselineLps; });
    result.dBaselineLps = vecRounds[nMid].dBaselineLps;
    return result;
}

double DroppedLinesPerSecond()
{
    TraceLog::GetInstance().SetLogLevel(0);
    double dSeconds = TimeIt([]() {
        for (int i = 0; i < kDroppedLines; ++i)
            LOGWRITE(LOG_DEBUG, L"[InputInfo] line %d value is %s", i, L"some typical input text");
    });
    return kDroppedLines / dSeconds;
}

// One writer process: kProcessLines DEBUG lines into the folder's file.
int RunWriter(const std::wstring &strFolder)
{
    TraceLog::Seams seams;
    seams.strAppName = L"NolvexConnectBench";
    seams.strFolder = strFolder;
    TraceLog log(seams);
    log.SetLogLevel(1);
    for (int i = 0; i < kProcessLines; ++i)
        log.Write(LOG_DEBUG, L"tracelog_bench.cpp", L"Bench::Run", 100, L"[InputInfo] process %lu line %d value is %s",
                  GetCurrentProcessId(), i, L"some typical input text");
    return 0;
}

// Lines per second of kProcesses writers together (wall time from the start of the first to the
// end of the last), or 0 when one could not be started.
double ProcessesLinesPerSecond(const std::wstring &strFolder)
{
    std::wstring strCaseFolder = strFolder + L"processes\\";
    CreateDirectoryW(strCaseFolder.c_str(), nullptr);
    RemoveFolderFiles(strCaseFolder);
    wchar_t szSelf[MAX_PATH + 1] = {};
    GetModuleFileNameW(nullptr, szSelf, MAX_PATH);
    std::vector<PROCESS_INFORMATION> vecWriters;
    double dSeconds = TimeIt([&]() {
        for (int p = 0; p < kProcesses; ++p) {
            // The folder without its last backslash: before the closing quote it would escape it.
            std::wstring strCommand = L"\"" + std::wstring(szSelf) + L"\" writer \"" +
                                      strCaseFolder.substr(0, strCaseFolder.size() - 1) + L"\"";
            STARTUPINFOW si = {};
            si.cb = sizeof(si);
            PROCESS_INFORMATION pi = {};
            if (CreateProcessW(nullptr, &strCommand[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
                vecWriters.push_back(pi);
        }
        for (PROCESS_INFORMATION &pi : vecWriters) WaitForSingleObject(pi.hProcess, INFINITE);
    });
    for (PROCESS_INFORMATION &pi : vecWriters) {
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    return vecWriters.size() == (size_t)kProcesses ? kProcesses * kProcessLines / dSeconds : 0;
}

// The lines of the one log file the writers made (they are counted, not trusted).
size_t ProcessesLinesWritten(const std::wstring &strFolder)
{
    std::wstring strCaseFolder = strFolder + L"processes\\";
    WIN32_FIND_DATAW fd;
    HANDLE hFind = FindFirstFileW((strCaseFolder + L"NolvexConnectLog_*.dat").c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE) return 0;
    FindClose(hFind);
    return ReadLines(strCaseFolder + fd.cFileName).size();
}

}  // namespace

int wmain(int argc, wchar_t **argv)
{
    if (argc == 3 && std::wstring(argv[1]) == L"writer") return RunWriter(argv[2]);
    wchar_t szTemp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, szTemp);
    std::wstring strFolder = std::wstring(szTemp) + L"nc_tracelog_bench\\";
    CreateDirectoryW(strFolder.c_str(), nullptr);

    std::vector<Result> vecResults;
    for (int iThreads : {1, 4}) {
        std::vector<Result> vecRounds;
        for (int i = 0; i < kRounds; ++i) vecRounds.push_back(RunCase(strFolder, iThreads));
        vecResults.push_back(Median(vecRounds));
    }

    printf("trace log, DEBUG lines, debug switch on, %d lines per case, median of %d rounds\n", kTotalLines, kRounds);
    printf("%-8s %8s %16s %18s %8s\n", "threads", "lines", "logger lines/s", "baseline lines/s", "ratio");
    for (const Result &r : vecResults) {
        printf("%-8d %8u %16.0f %18.0f %8.2f\n", r.iThreads, (unsigned)r.nLines, r.dLoggerLps, r.dBaselineLps,
               r.dBaselineLps > 0 ? r.dLoggerLps / r.dBaselineLps : 0.0);
    }
    printf("ratio = logger / baseline (baseline: same bytes, one write-through WriteFile per line, file opened once)\n");
    printf("dropped DEBUG lines (switch off, LOGWRITE): %.0f lines/s\n", DroppedLinesPerSecond());
    double dProcesses = ProcessesLinesPerSecond(strFolder);
    printf("%d processes writing one file at once, %d lines each: %.0f lines/s together, %u lines in the file\n",
           kProcesses, kProcessLines, dProcesses, (unsigned)ProcessesLinesWritten(strFolder));
    return 0;
}
