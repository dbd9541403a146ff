#include "RasScenario.h"
#include "RasKeyValueFile.h"
#include "SimText.h"
#include <cwchar>

namespace {
const wchar_t kModemType[] = L"modem";
const wchar_t kModemName[] = L"Standard 56000 bps Modem";
const wchar_t kVpnType[] = L"vpn";
const wchar_t kL2tpName[] = L"WAN Miniport (L2TP)";
const wchar_t kPptpName[] = L"WAN Miniport (PPTP)";
}  // namespace

void RasScenario::Load(const std::wstring &strFolder)
{
    std::string strBytes;
    if (RasKeyValueFile::ReadBytes(strFolder + L"\\scenario.ini", strBytes) != ERROR_SUCCESS) return;
    if (strBytes.compare(0, 3, "\xEF\xBB\xBF") == 0) strBytes.erase(0, 3);
    Parse(SimText::FromUtf8(strBytes));
}

void RasScenario::Parse(const std::wstring &strText)
{
    for (const auto &pair : SimText::ScenarioPairs(strText)) m_values[pair.first] = pair.second;
}

std::vector<RasDevice> RasScenario::Devices() const
{
    std::wstring strDevices = m_values.count(L"devices") ? Text(L"devices") : L"modem,vpn";
    std::vector<RasDevice> vecDevices;
    if (strDevices.find(kModemType) != std::wstring::npos) vecDevices.push_back({kModemType, kModemName});
    if (strDevices.find(kVpnType) != std::wstring::npos) {
        vecDevices.push_back({kVpnType, kL2tpName});
        vecDevices.push_back({kVpnType, kPptpName});
    }
    return vecDevices;
}

DWORD RasScenario::FailureOf(const wchar_t *pszExport) const
{
    return Number((std::wstring(L"fail_") + pszExport).c_str(), 0);
}

DWORD RasScenario::Number(const wchar_t *pszKey, DWORD dwDefault) const
{
    auto it = m_values.find(pszKey);
    if (it == m_values.end() || it->second.empty()) return dwDefault;
    return static_cast<DWORD>(wcstoul(it->second.c_str(), nullptr, 0));
}

std::wstring RasScenario::Text(const wchar_t *pszKey) const
{
    auto it = m_values.find(pszKey);
    return it == m_values.end() ? std::wstring() : it->second;
}
