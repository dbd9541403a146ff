#include "ProfileCommand.h"
#include "AplicationInfo.h"
#include "Coding.h"
#include "ConsoleOut.h"
#include "FileIO.h"
#include "TerminalProfile.h"
#include "TestClientApp.h"
#include <memory>

namespace {
const int kProfileKeyLength = 32;

void Line(const std::wstring &strName, const std::wstring &strValue)
{
    ConsoleOut::Out(strName + L"=" + strValue);
}

// "name lang=\"ja\"" is printed as "name[ja]": the line keeps one "=" before its value.
std::wstring PrintedName(const std::wstring &strName)
{
    size_t nBlank = strName.find(L' ');
    if (nBlank == std::wstring::npos) return strName;
    size_t nOpen = strName.find(L'"'), nClose = strName.rfind(L'"');
    return strName.substr(0, nBlank) + L"[" + strName.substr(nOpen + 1, nClose - nOpen - 1) + L"]";
}
}   // namespace

ProfileCommand::ProfileCommand(const std::vector<std::wstring> &vecArgs) : m_vecArgs(vecArgs) {}

int ProfileCommand::Run()
{
    std::wstring strSub = m_vecArgs.empty() ? std::wstring() : m_vecArgs[0];
    if (strSub == L"show" && m_vecArgs.size() <= 2) return Show(m_vecArgs.size() == 2 ? m_vecArgs[1] : std::wstring());
    if (strSub == L"store" && m_vecArgs.size() >= 2 && m_vecArgs.size() <= 3)
        return Store(m_vecArgs[1], m_vecArgs.size() == 3 ? m_vecArgs[2] : std::wstring());
    ConsoleOut::Err(L"NolvexConnect: profile: show [PATH] | store SOURCE [PATH]");
    return TestClientApp::EXIT_USAGE;
}

int ProfileCommand::Show(const std::wstring &strPath)
{
    TerminalProfile &profile = TerminalProfile::GetInstance();
    bool bLoaded = profile.ProfileLoad(strPath);
    Line(L"FilePath", profile.GetFilePath());
    Line(L"loaded", bLoaded ? L"1" : L"0");
    if (!bLoaded) return TestClientApp::EXIT_FAILED;
    PrintValues(profile);
    return TestClientApp::EXIT_SENT;
}

void ProfileCommand::PrintValues(TerminalProfile &profile)
{
    TerminalProfile::Values values = profile.Snapshot();
    for (int i = 0; i < TerminalProfile::COMMON_VALUE_COUNT; ++i)
        Line(std::wstring(L"Common.") + TerminalProfile::COMMON_NAMES[i], values.astrCommon[i]);
    Line(L"Connections", std::to_wstring(values.vecConnections.size()));
    for (size_t n = 0; n < values.vecConnections.size(); ++n) {
        for (int i = 0; i < TerminalProfile::CONNECTION_VALUE_COUNT; ++i)
            Line(L"Connection[" + std::to_wstring(n) + L"]." + PrintedName(TerminalProfile::CONNECTION_NAMES[i]),
                 values.vecConnections[n].astrValues[i]);
    }
    Line(L"UpdateModuleInformation.updateModuleNumber", values.strUpdateModuleNumber);
    Line(L"UpdateModuleInformation.updateExecFlag", values.strUpdateExecFlag);
    Line(L"Notice.category", values.strNoticeCategory);
    Line(L"Notice.infocode", values.strNoticeInfoCode);
}

std::wstring ProfileCommand::KeyOrNew()
{
    std::unique_ptr<AplicationInfo> pInfo(CreateAplicationInfo());
    if (!pInfo) return std::wstring();
    std::wstring strKey = pInfo->GetTerminalProfileKeyInfo();
    if (!strKey.empty()) return strKey;
    std::unique_ptr<Coding> pCoding(Coding::GetCode(Coding::CODE_AES));
    strKey = pCoding ? pCoding->GetRandKey(kProfileKeyLength) : std::wstring();
    if (strKey.size() != static_cast<size_t>(kProfileKeyLength) || pInfo->SetTerminalProfileKeyInfo(strKey) != ERROR_SUCCESS)
        return std::wstring();
    return strKey;
}

int ProfileCommand::Store(const std::wstring &strSource, const std::wstring &strPath)
{
    FileIO source;
    if (source.ReadFile_Utf8ToUtf16(strSource) == 0) {
        ConsoleOut::Err(L"NolvexConnect: profile: cannot read " + strSource);
        return TestClientApp::EXIT_FAILED;
    }
    std::wstring strText(reinterpret_cast<const wchar_t *>(source.GetData()));
    std::wstring strKey = KeyOrNew();
    std::wstring strTarget = strPath.empty() ? TerminalProfile::GetInstance().GetDirPath() + TerminalProfile::FILE_NAME : strPath;
    FileIO target;
    if (strKey.empty() || !target.WriteData_Encode(strTarget, strText.data(), static_cast<DWORD>(strText.size() * sizeof(wchar_t)),
                                                   strKey, Coding::CODE_AES)) {
        ConsoleOut::Err(L"NolvexConnect: profile: cannot store " + strTarget);
        return TestClientApp::EXIT_FAILED;
    }
    Line(L"Written", strTarget);
    return TestClientApp::EXIT_SENT;
}
