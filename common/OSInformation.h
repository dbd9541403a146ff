#pragma once
// Questions about the machine, the process and its folders. Obtain an object from
// CreateOSInformation, use it, delete it.
#include <windows.h>
#include <string>

class OSInformation {
public:
    virtual ~OSInformation();
    // The user's application data folder of the token (null: the calling user) + "NolvexConnect\".
    virtual std::wstring GetAppDataFolderPath(HANDLE hToken) = 0;
    // File name of the running executable without folder and extension.
    virtual std::wstring GetModuleName() = 0;
    // The all-users application data folder + "NolvexConnect\".
    virtual std::wstring GetAllUsersAppDataFolderPath() = 0;
};

// A new object for this platform, or null when it cannot be created; the caller deletes it.
OSInformation *CreateOSInformation();
