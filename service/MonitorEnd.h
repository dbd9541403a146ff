#pragma once
// End handling of a watched client: user settings, proxy restore and disconnect.
#include "UserSetting.h"
#include <string>

class MonitorEnd {
public:
    MonitorEnd();
    ~MonitorEnd();
    MonitorEnd(const MonitorEnd &) = delete;
    MonitorEnd &operator=(const MonitorEnd &) = delete;

    // 1 when the user's last connection was read, 0 on failure.
    int GetUserSetting(UserSetting *pSetting);
    // 1 when every saved proxy file of the folder was handled, 0 on failure.
    int SetProxyRestor(const wchar_t *pszUserFolder);
    // The result of the connection's disconnect, or -1.
    int Disconnect(int iConnectIndex, const std::wstring &strEntryName);
};
