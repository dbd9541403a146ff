#pragma once
// Lines of the process's trace log that the calling thread wrote (each line carries "ThID=").
#include <string>

class TraceLogReader {
public:
    // True when a line of this thread contains the text.
    static bool ThreadWrote(const std::wstring &strText);
};
