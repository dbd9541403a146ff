// "7-zip32.dll" stand-in: the archiver library's command entry
//   int WINAPI SevenZip(HWND hwnd, LPCSTR szCmdLine, LPSTR szOutput, DWORD dwSize)
// for "x" on ZIP archives. Returns 0 or the archiver's documented error code; szOutput receives
// the output text, cut to dwSize bytes with its terminating zero.
#include "ArchiverCommand.h"
#include "ArchiverErrors.h"
#include "WtsJournal.h"
#include "ZipExtractor.h"
#include <windows.h>
#include <cstdio>
#include <cstring>

namespace {
LONG g_lRunning = 0;

void CopyOutput(const std::string &strText, LPSTR pszOutput, DWORD dwSize)
{
    if (pszOutput == nullptr || dwSize == 0) return;
    size_t nCopy = strText.size() < dwSize - 1 ? strText.size() : dwSize - 1;
    memcpy(pszOutput, strText.data(), nCopy);
    pszOutput[nCopy] = '\0';
}

// The journal never shows the password itself.
std::string MaskPassword(const std::string &strCmdLine)
{
    size_t nPos = strCmdLine.find(" -p");
    if (nPos == std::string::npos) return strCmdLine;
    size_t nValue = nPos + 3;
    size_t nEnd = (nValue < strCmdLine.size() && strCmdLine[nValue] == '"')
                      ? strCmdLine.find('"', nValue + 1)
                      : strCmdLine.find(' ', nValue);
    if (nEnd != std::string::npos && strCmdLine[nEnd] == '"') ++nEnd;
    std::string strMasked = strCmdLine.substr(0, nValue) + "***";
    if (nEnd != std::string::npos) strMasked += strCmdLine.substr(nEnd);
    return strMasked;
}

int Run(LPCSTR pszCmdLine, std::string &strOutput)
{
    ArchiverCommand command;
    if (pszCmdLine == nullptr || command.Parse(pszCmdLine) != ARC_OK) {
        strOutput = "ERROR: command line not understood\r\n";
        return ARC_ERROR_COMMAND_NAME;
    }
    ZipExtractor extractor(command);
    int iRet = extractor.Run();
    strOutput = extractor.Output();
    return iRet;
}
}  // namespace

extern "C" __declspec(dllexport) int WINAPI SevenZip(HWND hWnd, LPCSTR szCmdLine, LPSTR szOutput,
                                                     DWORD dwSize)
{
    if (InterlockedExchange(&g_lRunning, 1) != 0) return ARC_ERROR_ALREADY_RUNNING;
    std::string strOutput;
    int iRet = Run(szCmdLine, strOutput);
    CopyOutput(strOutput, szOutput, dwSize);
    char szResult[32];
    snprintf(szResult, sizeof(szResult), " -> 0x%04x", iRet);
    WtsJournal(WtsJournal::SimulatorFolder(L"sevenzip")).Append("SevenZip " + MaskPassword(szCmdLine ? szCmdLine : "") + szResult);
    InterlockedExchange(&g_lRunning, 0);
    return iRet;
}
