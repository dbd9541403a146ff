#pragma once
// The archiver command line as the product builds it:
//   x "<archive>" -aoa -hide -o"<folder>" -p"<password>"
// Quotes group characters and are dropped; switches may come in any order. Only what the product
// uses is understood; anything else is a command error, so that a changed command line shows.
#include <string>

class ArchiverCommand {
public:
    // ARC_OK or ARC_ERROR_COMMAND_NAME.
    int Parse(const std::string &strCmdLine);

    std::string m_strArchive;
    std::string m_strOutFolder;
    std::string m_strPassword;
    bool m_bHasPassword = false;
    bool m_bOverwrite = false;

private:
    int TakeSwitch(const std::string &strToken);
};
