#include "MonitorEnd.h"
#include "Log.h"

// The user setting and terminal profile files, the proxy reset tool and the connection classes
// that the end handling needs do not exist yet. Until they do, each entry point says so in the
// log and fails, except the proxy restore, which reports the folder it would restore.

MonitorEnd::MonitorEnd() {}

MonitorEnd::~MonitorEnd() {}

int MonitorEnd::GetUserSetting(UserSetting *pSetting)
{
    LOG_SCOPE();
    LOGWRITE(LOG_WARN, L"Reading the user settings of [%s] is not built yet.", pSetting->strUserFolderPath.c_str());
    return 0;
}

int MonitorEnd::SetProxyRestor(const wchar_t *pszUserFolder)
{
    LOG_SCOPE();
    LOGWRITE(LOG_WARN, L"Would restore the saved proxy settings of [%s]; proxy restore is not built yet.",
             pszUserFolder);
    return 1;
}

int MonitorEnd::Disconnect(int iConnectIndex, const std::wstring &strEntryName)
{
    LOG_SCOPE();
    LOGWRITE(LOG_WARN, L"Disconnecting [%s] (index %d) is not built yet.", strEntryName.c_str(), iConnectIndex);
    return -1;
}
