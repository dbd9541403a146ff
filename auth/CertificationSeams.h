#pragma once
// What a certification takes from its surroundings. The product leaves every field empty and gets
// the process-wide terminal profile, this machine, WinHTTP, a plain RegistTerminal, the user's
// application data folder and the initialization file; tests put their own pieces here.
#include <functional>
#include <string>

class HTTP_Connection;
class NotifyHook;
class OSInformation;
class RegistTerminal;
class TerminalProfile;

struct CertificationSeams {
    TerminalProfile *pProfile = nullptr;                     // null: TerminalProfile::GetInstance()
    std::function<OSInformation *()> pfnCreateOSInformation;  // null: CreateOSInformation
    std::function<HTTP_Connection *()> pfnCreateHttp;         // null: CreateHTTPConnection
    std::function<RegistTerminal *()> pfnCreateRegist;        // null: new RegistTerminal
    std::function<bool()> pfnAllowPlainHTTP;                  // null: the initialization file's AllowPlainHTTP is "1"
    std::wstring strDownloadFolder;                           // empty: the application data folder
    NotifyHook *pNotifyHook = nullptr;                        // progress notices; null drops them
};
