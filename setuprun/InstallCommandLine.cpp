#include "InstallCommandLine.h"

#include <cstdio>

std::string InstallCommandLine::LogFileName(const SYSTEMTIME &stNow)
{
    char szStamp[64];
    int iLen = snprintf(szStamp, sizeof(szStamp), "%04d%02d%02d%02d%02d%02d.log", stNow.wYear,
                        stNow.wMonth, stNow.wDay, stNow.wHour, stNow.wMinute, stNow.wSecond);
    if (iLen < 0 || static_cast<size_t>(iLen) >= sizeof(szStamp)) return std::string();
    return std::string("NolvexConnectInstall_") + szStamp;
}

std::string InstallCommandLine::Build(const std::string &strLogFolder, const SYSTEMTIME &stNow,
                                      const std::string &strCurrentFolder)
{
    std::string strLine = "/v\"/L*v \\\"";
    strLine += strLogFolder + "\\" + LogFileName(stNow);
    strLine += "\\\"\" ";
    strLine += "/v\"INI_FILE_PATH=\\\"";
    strLine += strCurrentFolder;
    strLine += "\\\"\"";
    return strLine;
}
