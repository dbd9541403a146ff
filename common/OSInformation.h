#pragma once
// Questions about the machine, the process and its folders, and the device identifiers sent to
// the operator. Obtain an object from CreateOSInformation, use it, delete it. Get operations give
// an empty text (false, an empty list) on any failure, logged.
#include <windows.h>
#include <string>
#include <vector>

class OSInformation {
public:
    virtual ~OSInformation();
    // "5.1", "6.0", "6.1", "6.2", or "After6.2" for anything above 6.2.
    virtual std::wstring GetOSVersion() = 0;
    virtual bool IsWow64Process() = 0;
    // The account SID of the computer name, as a string SID.
    virtual std::wstring GetComputerSID() = 0;
    // Serial number of the first drive that answers the SMART identify request: letters and
    // digits only, at most 20.
    virtual std::wstring GetHDDSerialNo() = 0;
    // Serial number of the system drive's volume, lower-case hexadecimal.
    virtual std::wstring GetVolumeSerialNo() = 0;
    virtual std::wstring GetComputerNameW() = 0;
    // Adapter addresses as 12 upper-case hex digits, in adapter order (PPP adapters left out, and
    // locally administered addresses when the initialization file's LocalMac is "0"). A new list
    // that the caller deletes; never null.
    virtual std::vector<std::wstring> *GetMACAddress() = 0;
    // The user's application data folder of the token (null: the calling user) + "NolvexConnect\".
    virtual std::wstring GetAppDataFolderPath(HANDLE hToken) = 0;
    // File name of the running executable without folder and extension.
    virtual std::wstring GetModuleName() = 0;
    // True when the process is a member of the local Administrators group (a group only denied in
    // a filtered token does not count).
    virtual bool IsUserAdmin() = 0;
    virtual std::wstring GetPID() = 0;
    // The current user-interface thread's main window, as a decimal number ("0" without one).
    virtual std::wstring GetWindowHandle() = 0;
    // Always empty in the monitor service; elsewhere the BIOS serial number through WMI.
    virtual std::wstring GetBIOSSerialNo() = 0;
    // The all-users application data folder + "NolvexConnect\".
    virtual std::wstring GetAllUsersAppDataFolderPath() = 0;
};

// A new object for this platform, or null when it cannot be created; the caller deletes it.
OSInformation *CreateOSInformation();
