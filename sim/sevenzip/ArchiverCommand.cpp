#include "ArchiverCommand.h"
#include "ArchiverErrors.h"
#include <vector>

namespace {
std::vector<std::string> SplitTokens(const std::string &strCmdLine)
{
    std::vector<std::string> tokens;
    std::string strToken;
    bool bInQuote = false, bHave = false;
    for (char ch : strCmdLine) {
        if (ch == '"') {
            bInQuote = !bInQuote;
            bHave = true;
        } else if ((ch == ' ' || ch == '\t') && !bInQuote) {
            if (bHave) tokens.push_back(strToken);
            strToken.clear();
            bHave = false;
        } else {
            strToken.push_back(ch);
            bHave = true;
        }
    }
    if (bHave) tokens.push_back(strToken);
    return tokens;
}
}  // namespace

int ArchiverCommand::TakeSwitch(const std::string &strToken)
{
    if (strToken == "-aoa") {
        m_bOverwrite = true;
    } else if (strToken == "-hide") {
        // no window in any case
    } else if (strToken.compare(0, 2, "-o") == 0 && strToken.size() > 2) {
        m_strOutFolder = strToken.substr(2);
    } else if (strToken.compare(0, 2, "-p") == 0) {
        m_strPassword = strToken.substr(2);
        m_bHasPassword = true;
    } else {
        return ARC_ERROR_COMMAND_NAME;
    }
    return ARC_OK;
}

int ArchiverCommand::Parse(const std::string &strCmdLine)
{
    std::vector<std::string> tokens = SplitTokens(strCmdLine);
    if (tokens.empty() || tokens[0] != "x") return ARC_ERROR_COMMAND_NAME;
    for (size_t i = 1; i < tokens.size(); ++i) {
        const std::string &strToken = tokens[i];
        if (!strToken.empty() && strToken[0] == '-') {
            if (TakeSwitch(strToken) != ARC_OK) return ARC_ERROR_COMMAND_NAME;
        } else if (m_strArchive.empty()) {
            m_strArchive = strToken;
        } else {
            return ARC_ERROR_COMMAND_NAME;   // file selections are not used by the product
        }
    }
    if (m_strArchive.empty() || m_strOutFolder.empty()) return ARC_ERROR_COMMAND_NAME;
    return ARC_OK;
}
