#pragma once
// Unpacks (password-protected) archives through the archiver library "7-zip32.dll" ("7-zip64.dll"
// in the 64-bit build) and its command-line entry "SevenZip". The library is loaded for one
// extraction and unloaded after it.
#include <windows.h>
#include <string>

class ZIPCoding {
public:
    // The archiver's documented result codes that this class itself relies on.
    static constexpr long SEVENZIP_ERROR_START = 0x8000;
    static constexpr long SEVENZIP_ERROR_PASSWORD_FILE = 0x800A;
    static constexpr long SEVENZIP_ERROR_COMMAND_NAME = 0x801C;
    // Decode when the library or its entry cannot be loaded.
    static constexpr long SEVENZIP_NOT_LOADED = -1;
    // The archiver library of this build's architecture.
#if defined(_WIN64)
    static constexpr const wchar_t *SEVENZIP_DLL = L"7-zip64.dll";
#else
    static constexpr const wchar_t *SEVENZIP_DLL = L"7-zip32.dll";
#endif

    ZIPCoding();
    ~ZIPCoding();
    ZIPCoding(const ZIPCoding &) = delete;
    ZIPCoding &operator=(const ZIPCoding &) = delete;

    // Extracts the archive with its folders into the target folder, overwriting what is there.
    // 0 on success, else the archiver's result code (SEVENZIP_NOT_LOADED without the library).
    long Decode(const std::wstring &strTargetFolder, const std::wstring &strArchivePath,
                const std::wstring &strPassword);

    BOOL LoadSevenZipFunc();
    BOOL FreeSevenZip();
    // "7-Zip API return " and the code's documented name; empty for an unlisted code.
    static std::wstring GetSevenZipError(long lCode);

private:
    typedef int(WINAPI *SevenZipFunc)(HWND hWnd, LPCSTR pszCmdLine, LPSTR pszOutput, DWORD dwSize);

    static std::wstring BuildCommand(const std::wstring &strTargetFolder,
                                     const std::wstring &strArchivePath,
                                     const std::wstring &strPassword);
    long RunCommand(const std::wstring &strCommand);

    HMODULE m_hSevenZip;
    SevenZipFunc m_pfnSevenZip;
};
