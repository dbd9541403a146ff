#include "ProxyTestHelp.h"
#include "ProxyInformation.h"
#include "ScopedHandle.h"
#include "TraceLog.h"
#include <sstream>

bool LogHas(const std::wstring &strText)
{
    TraceLog &log = TraceLog::GetInstance();
    std::string strBytes = ReadBytes(log.GetFolder() + log.GetFileName());
    std::wstring strAll(reinterpret_cast<const wchar_t *>(strBytes.data()), strBytes.size() / sizeof(wchar_t));
    return strAll.find(strText) != std::wstring::npos;
}

std::vector<BYTE> ConnectionBlob(const std::wstring &strValue)
{
    ScopedRegKey hKey;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, ProxyInformation::CONNECTIONS_KEY, 0, KEY_READ, hKey.Receive()) != ERROR_SUCCESS)
        return {};
    DWORD dwSize = 0;
    if (RegQueryValueExW(hKey.Get(), strValue.c_str(), nullptr, nullptr, nullptr, &dwSize) != ERROR_SUCCESS) return {};
    std::vector<BYTE> vecBytes(dwSize);
    if (RegQueryValueExW(hKey.Get(), strValue.c_str(), nullptr, nullptr, vecBytes.data(), &dwSize) != ERROR_SUCCESS)
        return {};
    return vecBytes;
}

bool WriteConnectionBlob(const std::wstring &strValue, const std::vector<BYTE> &vecBytes)
{
    ScopedRegKey hKey;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, ProxyInformation::CONNECTIONS_KEY, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        hKey.Receive(), nullptr) != ERROR_SUCCESS)
        return false;
    return RegSetValueExW(hKey.Get(), strValue.c_str(), 0, REG_BINARY, vecBytes.data(),
                          static_cast<DWORD>(vecBytes.size())) == ERROR_SUCCESS;
}

void DeleteConnectionBlob(const std::wstring &strValue)
{
    ScopedRegKey hKey;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, ProxyInformation::CONNECTIONS_KEY, 0, KEY_SET_VALUE, hKey.Receive()) ==
        ERROR_SUCCESS)
        RegDeleteValueW(hKey.Get(), strValue.c_str());
}

namespace {
void PutDword(std::vector<BYTE> &vec, DWORD dw)
{
    for (int i = 0; i < 4; ++i) vec.push_back(static_cast<BYTE>(dw >> (8 * i)));
}
void PutText(std::vector<BYTE> &vec, const std::string &str)
{
    PutDword(vec, static_cast<DWORD>(str.size()));
    vec.insert(vec.end(), str.begin(), str.end());
}
bool GetDword(const std::vector<BYTE> &vec, size_t &nPos, DWORD &dw)
{
    if (vec.size() < nPos + 4) return false;
    dw = vec[nPos] | (vec[nPos + 1] << 8) | (vec[nPos + 2] << 16) | (static_cast<DWORD>(vec[nPos + 3]) << 24);
    nPos += 4;
    return true;
}
bool GetText(const std::vector<BYTE> &vec, size_t &nPos, std::string &str)
{
    DWORD dwLen = 0;
    if (!GetDword(vec, nPos, dwLen) || vec.size() - nPos < dwLen) return false;
    str.assign(vec.begin() + nPos, vec.begin() + nPos + dwLen);
    nPos += dwLen;
    return true;
}
}  // namespace

std::vector<BYTE> MakeBlob(DWORD dwFlags, const std::string &strServer, const std::string &strBypass,
                           const std::string &strScript)
{
    std::vector<BYTE> vec;
    PutDword(vec, 0x46);
    PutDword(vec, 1);
    PutDword(vec, dwFlags);
    PutText(vec, strServer);
    PutText(vec, strBypass);
    PutText(vec, strScript);
    vec.insert(vec.end(), 28, 0);
    return vec;
}

bool ParseBlob(const std::vector<BYTE> &vecBytes, DWORD &dwFlags, std::string &strServer, std::string &strBypass,
               std::string &strScript)
{
    size_t nPos = 8;
    return GetDword(vecBytes, nPos, dwFlags) && GetText(vecBytes, nPos, strServer) &&
           GetText(vecBytes, nPos, strBypass) && GetText(vecBytes, nPos, strScript);
}

std::string Utf16(const std::string &strAscii)
{
    std::string strOut;
    for (char c : strAscii) {
        strOut += c;
        strOut += '\0';
    }
    return strOut;
}

WinInetSimFolder::WinInetSimFolder()
{
    SetEnvironmentVariableW(L"NOLVEX_SIM_DIR", m_folder.WithoutSlash().c_str());
}

WinInetSimFolder::~WinInetSimFolder()
{
    SetEnvironmentVariableW(L"NOLVEX_SIM_DIR", nullptr);
}

std::vector<std::string> WinInetSimFolder::Journal() const
{
    std::vector<std::string> vecLines;
    std::istringstream in(ReadBytes(m_folder / L"wininet\\journal.txt"));
    for (std::string strLine; std::getline(in, strLine);) {
        if (!strLine.empty()) vecLines.push_back(strLine);
    }
    return vecLines;
}

bool WinInetSimFolder::SetScenario(const std::string &strText) const
{
    CreateDirectoryW((m_folder / L"wininet").c_str(), nullptr);
    return WriteBytes(m_folder / L"wininet\\scenario.ini", strText);
}
