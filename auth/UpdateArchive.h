#pragma once
// The downloaded update archive: it arrives in a download folder of its own (so that no name the
// server gives can hit the profile or the settings), its name is checked, it is renamed to ".zip"
// and unpacked with ZIPCoding into a fresh folder of its own under the application data folder,
// then deleted.
//   download to  <application data folder>\UpdateDownload\<name>
//   name         "<stem>.dat", stem of letters, digits, "-", "_", "." (not first), at most 64
//   unpack into  <application data folder>\UpdateModule_<stem>
// Only a folder of that "UpdateModule_" form is ever removed (a previous unpack of the same name).
#include <string>

class UpdateArchive {
public:
    static const wchar_t FOLDER_PREFIX[];
    static const wchar_t DOWNLOAD_FOLDER[];
    static constexpr size_t MAX_STEM_CHARS = 64;

    // The stem of an acceptable attachment name ("x.dat" -> "x"); empty when the name is refused.
    static std::wstring StemOf(const std::wstring &strFileName);
    // The unpack folder (with a trailing backslash) for the stem under the folder.
    static std::wstring UnpackFolder(const std::wstring &strAppDataFolder, const std::wstring &strStem);

    // The download folder under the application data folder (made when missing, with a trailing
    // backslash); empty when it cannot be made.
    static std::wstring DownloadFolder(const std::wstring &strAppDataFolder);
    // Unpacks the downloaded file (full path, in the download folder) with the password.
    // 0 with strFolder set, else 4001 (rename, folder or unpack failure; nothing of a previous
    // profile or setting is touched). The archive is deleted in every case.
    static long Unpack(const std::wstring &strDownloadedFile, const std::wstring &strAppDataFolder,
                       const std::wstring &strPassword, std::wstring &strFolder);

private:
    static std::wstring FileNameOf(const std::wstring &strPath);
    static bool IsStemChar(wchar_t ch);
    static long RenameToZip(const std::wstring &strDat, std::wstring &strZip);
    static long MakeFreshFolder(const std::wstring &strFolder);
    static void DeleteQuietly(const std::wstring &strPath);
    static void LogUnpacked(const std::wstring &strFolder);
};
