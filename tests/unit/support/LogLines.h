#pragma once
// Counts lines of this process's trace log. The logger finds its folder with its first line, so
// a line is written first: before it, the log has no path to read.
#include "TestFiles.h"
#include "TraceLog.h"
#include <string>

inline size_t LogLinesWith(const std::wstring &strText)
{
    TraceLog &log = TraceLog::GetInstance();
    log.Write(LOG_INFO, L"LogLines.h", L"LogLinesWith", 0, L"(the test reads the log)");
    size_t nCount = 0;
    for (const std::wstring &strLine : ReadLogLines(log.GetFolder() + log.GetFileName()))
        if (strLine.find(strText) != std::wstring::npos) ++nCount;
    return nCount;
}
