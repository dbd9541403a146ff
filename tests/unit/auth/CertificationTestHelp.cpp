#include "CertificationTestHelp.h"
#include <regex>

const wchar_t kGivenPassword[] = L"\u30d1\u30b9-word1";
const wchar_t kPasswordFromGiven[] = L"VUu6iUeV61FxdRB";

bool CertificationFixture::LoadNothing()
{
    m_pProfile.reset(new TerminalProfile(ProfileSeams(m_folder.Path())));
    DeleteFileW((m_folder / TerminalProfile::FILE_NAME).c_str());
    return m_pProfile->GetFilePath().empty();
}

bool CertificationFixture::LoadFirstService(const ElementValues &values)
{
    std::wstring strText = SampleProfileText();
    for (const auto &value : values) {
        std::wregex element(L"<" + value.first + L">[^<]*</" + value.first + L">");
        std::wstring strNew = L"<" + value.first + L">" + value.second + L"</" + value.first + L">";
        std::wstring strReplaced = std::regex_replace(strText, element, strNew, std::regex_constants::format_first_only);
        if (strReplaced == strText && strText.find(strNew) == std::wstring::npos) return false;
        strText = strReplaced;
    }
    m_pProfile.reset(new TerminalProfile(ProfileSeams(m_folder.Path())));
    return WriteProfile(m_folder / TerminalProfile::FILE_NAME, strText) && m_pProfile->ProfileLoad();
}

CertificationSeams CertificationFixture::Seams()
{
    CertificationSeams seams;
    seams.pProfile = m_pProfile.get();
    ChosenDeviceValues *pDevice = &m_device;
    std::wstring strAppData = m_appData.WithoutSlash();
    seams.pfnCreateOSInformation = [pDevice, strAppData]() -> OSInformation * {
        return new ChosenDeviceInfo(*pDevice, strAppData);
    };
    seams.pfnAllowPlainHTTP = []() { return false; };
    return seams;
}
