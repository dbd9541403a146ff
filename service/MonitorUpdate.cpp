#include "MonitorUpdate.h"
#include "Log.h"

// The update and the rollback are not built yet: both say so in the log and fail, so that the
// callers' failure paths (the error message in the user's session) are what runs.

MonitorUpdate::MonitorUpdate() {}

MonitorUpdate::~MonitorUpdate() {}

long MonitorUpdate::UpdateMainProc(const std::wstring &strDiffFolderPath)
{
    LOG_SCOPE();
    LOGWRITE(LOG_ERROR, L"The module update of [%s] is not built yet.", strDiffFolderPath.c_str());
    return -1;
}

long MonitorUpdate::CopyRollback()
{
    LOG_SCOPE();
    LOGWRITE(LOG_ERROR, L"The rollback is not built yet.");
    return -1;
}
