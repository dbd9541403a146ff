#pragma once
#include "OSInformation.h"

class WinOSInformation : public OSInformation {
public:
    ~WinOSInformation() override;
    std::wstring GetAppDataFolderPath(HANDLE hToken) override;
    std::wstring GetModuleName() override;
    std::wstring GetAllUsersAppDataFolderPath() override;
    // Drive of the system directory, "C:" for example; empty on failure.
    std::wstring GetSystemDriveName();

private:
    // The shell folder of csidl for the token, with a trailing backslash and "NolvexConnect\".
    std::wstring GetProductFolder(int iCsidl, HANDLE hToken);
};
