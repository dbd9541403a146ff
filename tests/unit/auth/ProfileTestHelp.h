#pragma once
// Terminal profiles for the tests: the documented sample and variants of it, written encrypted
// as the product stores them, with the key handed to the profile through its seam.
#include "AplicationInfo.h"
#include "TerminalProfile.h"
#include <string>

extern const wchar_t kProfileKey[];

// Gives only the terminal profile key (empty: no key).
class ProfileKeyInfo : public AplicationInfo {
public:
    explicit ProfileKeyInfo(const std::wstring &strKey) : m_strKey(strKey) {}
    std::wstring GetInstallPath() override { return std::wstring(); }
    std::wstring GetTerminalProfileKeyInfo() override { return m_strKey; }
    long SetTerminalProfileKeyInfo(const std::wstring &) override { return ERROR_ACCESS_DENIED; }
    std::wstring GetUserSettingFileKeyInfo() override { return std::wstring(); }
    long SetUserSettingFileKeyInfo(const std::wstring &) override { return ERROR_ACCESS_DENIED; }
    std::wstring GetPublisher() override { return std::wstring(); }
    std::wstring GetDisplayName() override { return std::wstring(); }
    std::wstring GetModuleVersion() override { return std::wstring(); }
    std::wstring GetUninstallInfo() override { return std::wstring(); }

private:
    std::wstring m_strKey;
};

TerminalProfile::Seams ProfileSeams(const std::wstring &strFolder, const std::wstring &strKey = kProfileKey);
// The sample of docs/profile.md (beside the test program), as UTF-16 text.
std::wstring SampleProfileText();
// Writes the text encrypted with the key, as the registration stores the profile.
bool WriteProfile(const std::wstring &strPath, const std::wstring &strText, const std::wstring &strKey = kProfileKey);
// The text with the first occurrence of strFrom replaced.
std::wstring Replaced(std::wstring strText, const std::wstring &strFrom, const std::wstring &strTo);
// The text without the element named (from its opening tag to the end of its closing tag).
std::wstring WithoutElement(const std::wstring &strText, const std::wstring &strName);
