#pragma once
// The fixed mapping of RAS (and a few system) error codes to message ids, as data.
#include <windows.h>
#include <cstddef>

struct RasMessageRange {
    DWORD dwFirst;   // first and last error code of a run of codes with the same message id
    DWORD dwLast;
    long lMessageId;
};

class RasMessageTable {
public:
    // The message id of the first row that holds the code; 0 when none does.
    static long Find(DWORD dwError);
    static const RasMessageRange *Rows(size_t &nCount);
};
