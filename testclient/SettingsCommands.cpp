#include "SettingsCommands.h"
#include "AplicationInfo.h"
#include "ConsoleOut.h"
#include "IniFile.h"
#include "TestClientApp.h"
#include "UserSettingFile.h"
#include "WinOSInformation.h"
#include "WinRegInfo.h"
#include <memory>

SettingsCommands::SettingsCommands(const std::vector<std::wstring> &vecArgs) : m_vecArgs(vecArgs)
{
}

void SettingsCommands::Line(const std::wstring &strName, const std::wstring &strValue)
{
    ConsoleOut::Out(strName + L"=" + strValue);
}

int SettingsCommands::Usage(const std::wstring &strText)
{
    ConsoleOut::Err(L"NolvexConnect: " + strText);
    return TestClientApp::EXIT_USAGE;
}

int SettingsCommands::Run(const std::wstring &strCommand)
{
    std::wstring strSub = m_vecArgs.empty() ? std::wstring() : m_vecArgs[0];
    if (strCommand == L"osinfo") return ShowOsInfo();
    if (strCommand == L"ini" && strSub == L"show") return ShowIni();
    if (strCommand == L"settings" && strSub == L"show" && m_vecArgs.size() == 1) return ShowSettings();
    if (strCommand == L"settings" && strSub == L"set") return SetSettings();
    return Usage(strCommand + L": unknown form (see usage)");
}

int SettingsCommands::ShowSettings()
{
    UserSettingFile &settings = UserSettingFile::GetInstance();
    bool bRead = settings.ReadSetting();
    Line(L"Path", settings.GetFolder() + L"UserSetting.xml");
    Line(L"Read", bRead ? L"1" : L"0");
    Line(L"LastReadError", std::to_wstring(settings.GetLastReadError()));
    Line(L"LastConnectType", settings.GetLastConnectType());
    Line(L"NolvexID", settings.GetNolvexID());
    Line(L"UpdateDate", settings.GetUpdateDate());
    Line(L"Language", settings.GetLanguage());
    Line(L"Minimize", settings.GetMinimize());
    Line(L"AutoReconnect", settings.GetAutoReconnect());
    Line(L"AutoUpdate", settings.GetAutoUpdate());
    Line(L"LogLevel", settings.GetLogLevel());
    return TestClientApp::EXIT_SENT;
}

// Every pair is checked before anything is changed: a bad command line writes nothing.
int SettingsCommands::SetSettings()
{
    if (m_vecArgs.size() < 2) return Usage(L"settings set: KEY=VALUE missing");
    UserSettingFile &settings = UserSettingFile::GetInstance();
    settings.ReadSetting();   // a missing or unreadable file starts from empty values
    UserSettingFile check;
    for (size_t i = 1; i < m_vecArgs.size(); ++i) {
        size_t nEquals = m_vecArgs[i].find(L'=');
        if (nEquals == std::wstring::npos || !check.SetValueByName(m_vecArgs[i].substr(0, nEquals), L""))
            return Usage(L"settings set: not KEY=VALUE with a known key: " + m_vecArgs[i]);
    }
    for (size_t i = 1; i < m_vecArgs.size(); ++i) {
        size_t nEquals = m_vecArgs[i].find(L'=');
        settings.SetValueByName(m_vecArgs[i].substr(0, nEquals), m_vecArgs[i].substr(nEquals + 1));
    }
    if (!settings.WriteSetting()) {
        ConsoleOut::Err(L"NolvexConnect: settings set: write failed, error " +
                        std::to_wstring(settings.GetLastWriteError()));
        return TestClientApp::EXIT_FAILED;
    }
    Line(L"Written", settings.GetFolder() + L"UserSetting.xml");
    return TestClientApp::EXIT_SENT;
}

int SettingsCommands::ShowIni()
{
    IniFile &ini = IniFile::GetInstance();
    bool bRead = ini.ReadSetting();
    Line(L"Folder", ini.GetFolder());
    Line(L"Read", bRead ? L"1" : L"0");
    for (int i = 0; i < IniFile::KEY_COUNT; ++i) Line(IniFile::KeyName((IniFile::Key)i), ini.GetValue((IniFile::Key)i));
    Line(L"FixIDPresent", ini.IsFixIDPresent() ? L"1" : L"0");
    Line(L"FixPWPresent", ini.IsFixPWPresent() ? L"1" : L"0");
    Line(L"WatchACLIntPresent", ini.IsWatchACLIntPresent() ? L"1" : L"0");
    Line(L"WatchACLTOPresent", ini.IsWatchACLTOPresent() ? L"1" : L"0");
    return TestClientApp::EXIT_SENT;
}

int SettingsCommands::ShowOsInfo()
{
    WinOSInformation os;
    Line(L"OSVersion", os.GetOSVersion());
    Line(L"IsWow64Process", os.IsWow64Process() ? L"1" : L"0");
    Line(L"ComputerSID", os.GetComputerSID());
    Line(L"HDDSerialNo", os.GetHDDSerialNo());
    Line(L"VolumeSerialNo", os.GetVolumeSerialNo());
    Line(L"ComputerName", os.GetComputerNameW());
    std::unique_ptr<std::vector<std::wstring>> pMacs(os.GetMACAddress());
    std::wstring strMacs;
    for (size_t i = 0; pMacs && i < pMacs->size(); ++i) strMacs += (i == 0 ? L"" : L",") + (*pMacs)[i];
    Line(L"MACAddress", strMacs);
    Line(L"AppDataFolderPath", os.GetAppDataFolderPath(nullptr));
    Line(L"ModuleName", os.GetModuleName());
    Line(L"IsUserAdmin", os.IsUserAdmin() ? L"1" : L"0");
    Line(L"PID", os.GetPID());
    Line(L"WindowHandle", os.GetWindowHandle());
    Line(L"BIOSSerialNo", os.GetBIOSSerialNo());
    Line(L"AllUsersAppDataFolderPath", os.GetAllUsersAppDataFolderPath());
    Line(L"SystemDriveName", os.GetSystemDriveName());
    WinRegInfo reg;
    Line(L"InstallPath", reg.GetInstallPath());
    Line(L"TerminalProfileKeyInfo", reg.GetTerminalProfileKeyInfo());
    Line(L"UserSettingFileKeyInfo", reg.GetUserSettingFileKeyInfo());
    Line(L"Publisher", reg.GetPublisher());
    Line(L"DisplayName", reg.GetDisplayName());
    Line(L"ModuleVersion", reg.GetModuleVersion());
    Line(L"UninstallInfo", reg.GetUninstallInfo());
    Line(L"UserSID", reg.GetUserSID());
    return TestClientApp::EXIT_SENT;
}
