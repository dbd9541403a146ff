#include "DownloadProgress.h"
#include "Log.h"

namespace {
const long long kHundred = 100;
}

int DownloadProgress::Percent(long long llReceived, long long llTotal)
{
    if (llReceived <= 0 || llTotal <= 0) return 0;
    if (llReceived > llTotal) {
        LOGWRITE(LOG_WARN, L"Illegal progress: %I64d of %I64d bytes", llReceived, llTotal);
        return 0;
    }
    return static_cast<int>(llReceived * kHundred / llTotal);
}

bool DownloadProgress::Changed(int iPercent)
{
    if (iPercent == m_iLast) return false;
    m_iLast = iPercent;
    return true;
}
