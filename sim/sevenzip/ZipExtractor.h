#pragma once
// Extracts every entry of a ZIP archive below one folder, refusing entry names that would reach
// outside it; the output text lists what was done, as the archiver's output buffer does.
#include "ArchiverCommand.h"
#include "ZipArchive.h"
#include <windows.h>
#include <string>

class ZipExtractor {
public:
    explicit ZipExtractor(const ArchiverCommand &command);
    // ARC_OK or the archiver's result code.
    int Run();
    const std::string &Output() const { return m_strOutput; }

private:
    // Components of a name that stays inside the target folder; false for "..", absolute paths,
    // drive letters and streams (":"), and components that Windows would shorten to "..".
    static bool SplitSafeName(const std::wstring &strName, std::vector<std::wstring> &parts);
    static bool MakeFolders(const std::wstring &strFolder);
    static std::wstring Widen(const std::string &strText, UINT uiCodePage);
    int CheckNames(const std::vector<ZipEntry> &entries);
    int ExtractEntry(const ZipArchive &archive, const ZipEntry &entry);
    int WriteFile(const std::wstring &strPath, const std::vector<uint8_t> &data);
    void Note(const std::string &strLine);

    const ArchiverCommand &m_command;
    std::wstring m_strTarget;
    std::string m_strOutput;
};
