#pragma once
// What the end handling learns about the user's last connection.
#include <string>

struct UserSetting {
    std::wstring strConnectType = L"-1";   // "0" L2TP VPN, "1" dial-up, "2" SSL-VPN, "-1" not found
    std::wstring strConnectName;
    int iConnectIndex = -1;
    std::wstring strNolvexID;
    std::wstring strUserFolderPath;
    std::wstring strFilePath;
};
