#pragma once
// The machine, process and device identifiers on Windows. The platform sources that Wine cannot
// vary (the drives' identify data, the adapter list, the BIOS serial, the version numbers) come
// through seams that tests replace; the product uses the real calls.
#include "OSInformation.h"
#include <functional>

class IniFile;

class WinOSInformation : public OSInformation {
public:
    // One adapter of the adapter list.
    struct AdapterEntry {
        UINT uiType;                  // MIB_IF_TYPE_*; 23 is PPP
        std::vector<BYTE> vecAddress;
    };
    // Bytes of the SMART receive-drive-data answer and where its parts are.
    static constexpr DWORD IDENTIFY_OUTPUT_BYTES = 528;
    static constexpr DWORD IDENTIFY_DATA_OFFSET = 16;
    static constexpr DWORD SERIAL_FIELD_OFFSET = 20;
    static constexpr DWORD SERIAL_FIELD_BYTES = 20;
    static constexpr int MAX_DRIVES = 30;

    struct Seams {
        // The 528-byte answer of a drive number; false when it does not answer.
        std::function<bool(int iDrive, std::vector<BYTE> &vecOutput)> pfnIdentify;
        // The adapter list; false when it cannot be had.
        std::function<bool(std::vector<AdapterEntry> &vecAdapters)> pfnAdapters;
        // The BIOS serial number (outside the service).
        std::function<std::wstring()> pfnBiosSerial;
        // Major and minor version; false when the call fails.
        std::function<bool(DWORD &dwMajor, DWORD &dwMinor)> pfnVersion;
        IniFile *pIniFile = nullptr;   // null: IniFile::GetInstance()
        std::wstring strModuleName;    // empty: the running program's
    };

    WinOSInformation();
    explicit WinOSInformation(const Seams &seams);
    ~WinOSInformation() override;

    std::wstring GetOSVersion() override;
    bool IsWow64Process() override;
    std::wstring GetComputerSID() override;
    std::wstring GetHDDSerialNo() override;
    std::wstring GetVolumeSerialNo() override;
    std::wstring GetComputerNameW() override;
    std::vector<std::wstring> *GetMACAddress() override;
    std::wstring GetAppDataFolderPath(HANDLE hToken) override;
    std::wstring GetModuleName() override;
    bool IsUserAdmin() override;
    std::wstring GetPID() override;
    std::wstring GetWindowHandle() override;
    std::wstring GetBIOSSerialNo() override;
    std::wstring GetAllUsersAppDataFolderPath() override;
    // Drive of the system directory, "C:" for example; empty on failure.
    std::wstring GetSystemDriveName();

    // The version text of the numbers.
    static std::wstring VersionText(DWORD dwMajor, DWORD dwMinor);
    // The serial number in a drive's answer (IDENTIFY_OUTPUT_BYTES): the byte pairs of the 20-byte
    // field swapped, up to the first zero byte inside the field, letters and digits only.
    static std::wstring SerialFromIdentify(const std::vector<BYTE> &vecOutput);
    // The addresses of the list as the result of GetMACAddress gives them.
    static std::vector<std::wstring> FormatAddresses(const std::vector<AdapterEntry> &vecAdapters, bool bSkipLocal);

    // The real sources.
    static bool IdentifyDrive(int iDrive, std::vector<BYTE> &vecOutput);
    static bool ReadAdapters(std::vector<AdapterEntry> &vecAdapters);
    static std::wstring ReadBiosSerialThroughWmi();
    static bool ReadVersion(DWORD &dwMajor, DWORD &dwMinor);

private:
    // The shell folder of csidl for the token, with a trailing backslash and "NolvexConnect\".
    std::wstring GetProductFolder(int iCsidl, HANDLE hToken);
    bool IsMonitorService();
    IniFile &Ini();

    Seams m_seams;
};
