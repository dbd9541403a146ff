// Second process of the settings tests:
//   nc_settingsworker writeloop <path>                  writes numbered settings until killed
//   nc_settingsworker stress <path> <threads> <rounds>  threads that read and write at once;
//                                                       the exit code counts the bad reads
//   nc_settingsworker xmlloop <path> <chars>            writes a large plain document, "A" and
//                                                       "B" in turn, until killed
#include "SettingsTestHelp.h"
#include "UserSettingFile.h"
#include "XMLParser.h"
#include <windows.h>
#include <cstdio>
#include <cwchar>
#include <thread>
#include <vector>

namespace {
const int kExitUsage = 100;
// Numbers of the two programs never meet: each thread has its own range.
const unsigned long kThreadRange = 1000000;
const unsigned long kProcessRange = 100000000;
const int kPlainCodeType = 99;

int WriteLoop(const std::wstring &strPath)
{
    UserSettingFile file;
    for (unsigned long ul = 1;; ++ul) {
        if (WriteNumbered(file, strPath, ul)) printf("wrote %lu\n", ul);
        fflush(stdout);
    }
}

int XmlLoop(const std::wstring &strPath, int iChars)
{
    XMLParser parser;
    for (unsigned long ul = 0;; ++ul) {
        parser.StartXML();
        parser.OutElement(L"Fill", std::wstring((size_t)iChars, ul % 2 == 0 ? L'A' : L'B'), 0);
        parser.EndXML(strPath, L"", kPlainCodeType);
    }
}

int Stress(const std::wstring &strPath, int iThreads, int iRounds)
{
    volatile LONG lBad = 0;
    std::vector<std::thread> vecThreads;
    for (int t = 0; t < iThreads; ++t) {
        vecThreads.emplace_back([&, t]() {
            UserSettingFile file;
            unsigned long ulBase = kProcessRange + kThreadRange * (unsigned long)(t + 1);
            for (int i = 0; i < iRounds; ++i) {
                std::wstring strProblem;
                if (i % 2 == 0) {
                    WriteNumbered(file, strPath, ulBase + (unsigned long)i);   // a failed write leaves the old file
                } else if (ReadNumbered(file, strPath, strProblem) < 0) {
                    InterlockedIncrement(&lBad);
                    fwprintf(stderr, L"thread %d: %ls\n", t, strProblem.c_str());
                }
            }
        });
    }
    for (std::thread &thread : vecThreads) thread.join();
    return (int)lBad;
}
}  // namespace

int wmain(int argc, wchar_t **argv)
{
    if (argc == 3 && wcscmp(argv[1], L"writeloop") == 0) return WriteLoop(argv[2]);
    if (argc == 4 && wcscmp(argv[1], L"xmlloop") == 0) return XmlLoop(argv[2], _wtoi(argv[3]));
    if (argc == 5 && wcscmp(argv[1], L"stress") == 0) return Stress(argv[2], _wtoi(argv[3]), _wtoi(argv[4]));
    fwprintf(stderr, L"usage: nc_settingsworker writeloop <path> | stress <path> <threads> <rounds> | xmlloop <path> <chars>\n");
    return kExitUsage;
}
