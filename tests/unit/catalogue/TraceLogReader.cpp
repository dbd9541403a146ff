#include "TestFiles.h"
#include "TraceLogReader.h"
#include "TestData.h"
#include "TraceLog.h"
#include <windows.h>

bool TraceLogReader::ThreadWrote(const std::wstring &strText)
{
    TraceLog &log = TraceLog::GetInstance();
    std::string strBytes = ReadBytes(log.GetFolder() + log.GetFileName());
    std::wstring strAll(reinterpret_cast<const wchar_t *>(strBytes.data()), strBytes.size() / sizeof(wchar_t));
    wchar_t szThread[32];
    swprintf(szThread, 32, L"(ThID=%08ld)", (long)GetCurrentThreadId());
    size_t nStart = 0;
    while (nStart < strAll.size()) {
        size_t nEnd = strAll.find(L"\r\n", nStart);
        if (nEnd == std::wstring::npos) nEnd = strAll.size();
        std::wstring strLine = strAll.substr(nStart, nEnd - nStart);
        if (strLine.find(szThread) != std::wstring::npos && strLine.find(strText) != std::wstring::npos) return true;
        nStart = nEnd + 2;
    }
    return false;
}
