// placeholder until the logger lands (replaced)
#include "TraceLog.h"
#include <cstdarg>
TraceLog &TraceLog::GetInstance() { static TraceLog t; return t; }
TraceLog::TraceLog() {}
TraceLog::TraceLog(const Seams &) {}
TraceLog::~TraceLog() {}
long TraceLog::Write(int, std::wstring, std::wstring, long, const wchar_t *, ...) { return 0; }
