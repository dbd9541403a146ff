#include "RasScenario.h"
#include "RasKeyValueFile.h"
#include "SimText.h"
#include <cwchar>

namespace {
std::wstring Trim(const std::wstring &str)
{
    size_t nFirst = str.find_first_not_of(L" \t\r\n");
    if (nFirst == std::wstring::npos) return std::wstring();
    size_t nLast = str.find_last_not_of(L" \t\r\n");
    return str.substr(nFirst, nLast - nFirst + 1);
}

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
    size_t nStart = 0;
    while (nStart <= strText.size()) {
        size_t nEnd = strText.find(L'\n', nStart);
        if (nEnd == std::wstring::npos) nEnd = strText.size();
        std::wstring strLine = Trim(strText.substr(nStart, nEnd - nStart));
        nStart = nEnd + 1;
        if (strLine.empty() || strLine[0] == L'#' || strLine[0] == L';' || strLine[0] == L'[') continue;
        size_t nEq = strLine.find(L'=');
        if (nEq == std::wstring::npos) continue;
        m_values[Trim(strLine.substr(0, nEq))] = Trim(strLine.substr(nEq + 1));
    }
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
