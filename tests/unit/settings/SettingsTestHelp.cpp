#include "SettingsTestHelp.h"
#include "ScopedHandle.h"
#include "UserSettingFile.h"
#include "WinRegInfo.h"
#include <vector>

const wchar_t kTestSettingKey[] = L"Q2x5dGVzdEtleUZvclNldHRpbmdzMDE0";

namespace {
const REGSAM kView = KEY_WOW64_32KEY;
const size_t kMaxValueChars = 1024;
const unsigned long kConnectTypes = 4;

std::wstring NumberedId(const std::wstring &strNumber)
{
    return L"user<" + strNumber + L">&co";
}
}  // namespace

ProductKeyValue::ProductKeyValue(const std::wstring &strName) : m_strName(strName)
{
    m_bHad = Read(strName, m_strOld);
}

ProductKeyValue::~ProductKeyValue()
{
    if (m_bHad) Write(m_strName, m_strOld);
    else Delete(m_strName);
}

bool ProductKeyValue::Set(const std::wstring &strValue)
{
    return Write(m_strName, strValue);
}

bool ProductKeyValue::Remove()
{
    Delete(m_strName);
    std::wstring strValue;
    return !Read(m_strName, strValue);
}

std::wstring ProductKeyValue::Get() const
{
    std::wstring strValue;
    Read(m_strName, strValue);
    return strValue;
}

bool ProductKeyValue::Write(const std::wstring &strName, const std::wstring &strValue)
{
    ScopedRegKey hKey;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, WinRegInfo::ProductKey(), 0, nullptr, 0, KEY_ALL_ACCESS | kView, nullptr,
                        hKey.Receive(), nullptr) != ERROR_SUCCESS)
        return false;
    return RegSetValueExW(hKey.Get(), strName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(strValue.c_str()),
                          (DWORD)((strValue.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool ProductKeyValue::Read(const std::wstring &strName, std::wstring &strValue)
{
    strValue.clear();
    ScopedRegKey hKey;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, WinRegInfo::ProductKey(), 0, KEY_READ | kView, hKey.Receive()) !=
        ERROR_SUCCESS)
        return false;
    std::vector<wchar_t> vecBuffer(kMaxValueChars + 1, L'\0');
    DWORD dwBytes = (DWORD)(kMaxValueChars * sizeof(wchar_t));
    if (RegQueryValueExW(hKey.Get(), strName.c_str(), nullptr, nullptr, reinterpret_cast<BYTE *>(vecBuffer.data()),
                         &dwBytes) != ERROR_SUCCESS)
        return false;
    strValue = vecBuffer.data();
    return true;
}

bool ProductKeyValue::Delete(const std::wstring &strName)
{
    ScopedRegKey hKey;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, WinRegInfo::ProductKey(), 0, KEY_ALL_ACCESS | kView, hKey.Receive()) !=
        ERROR_SUCCESS)
        return false;
    return RegDeleteValueW(hKey.Get(), strName.c_str()) == ERROR_SUCCESS;
}

bool WriteNumbered(UserSettingFile &file, const std::wstring &strPath, unsigned long ulNumber)
{
    std::wstring strNumber = std::to_wstring(ulNumber);
    file.SetLastConnectType(std::to_wstring(ulNumber % kConnectTypes));
    file.SetNolvexID(NumberedId(strNumber));
    file.SetUpdateDate(strNumber);
    file.SetLanguage(L"0");
    file.SetMinimize(L"0");
    file.SetAutoReconnect(L"1");
    file.SetAutoUpdate(L"0");
    file.SetLogLevel(L"0");
    return file.WriteSetting(strPath);
}

long ReadNumbered(UserSettingFile &file, const std::wstring &strPath, std::wstring &strProblem)
{
    if (!file.ReadSetting(strPath)) {
        strProblem = L"read failed, error " + std::to_wstring(file.GetLastReadError());
        return -1;
    }
    std::wstring strNumber = file.GetUpdateDate();
    unsigned long ulNumber = wcstoul(strNumber.c_str(), nullptr, 10);
    if (strNumber.empty() || file.GetNolvexID() != NumberedId(strNumber) ||
        file.GetLastConnectType() != std::to_wstring(ulNumber % kConnectTypes) || file.GetLogLevel() != L"0") {
        strProblem = L"mixed values: " + file.GetLastConnectType() + L" " + file.GetNolvexID() + L" " + strNumber;
        return -1;
    }
    return (long)ulNumber;
}

namespace {
const char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64(const std::string &strBytes)
{
    std::string strOut;
    for (size_t i = 0; i < strBytes.size(); i += 3) {
        unsigned long ul = (unsigned long)(unsigned char)strBytes[i] << 16;
        if (i + 1 < strBytes.size()) ul |= (unsigned long)(unsigned char)strBytes[i + 1] << 8;
        if (i + 2 < strBytes.size()) ul |= (unsigned char)strBytes[i + 2];
        strOut += kBase64Alphabet[(ul >> 18) & 63];
        strOut += kBase64Alphabet[(ul >> 12) & 63];
        strOut += i + 1 < strBytes.size() ? kBase64Alphabet[(ul >> 6) & 63] : '=';
        strOut += i + 2 < strBytes.size() ? kBase64Alphabet[ul & 63] : '=';
    }
    return strOut;
}

std::string Utf16Bytes(const std::wstring &str)
{
    return std::string(reinterpret_cast<const char *>(str.data()), str.size() * sizeof(wchar_t));
}
}  // namespace

std::string IniFileBytes(const std::wstring &strXml)
{
    std::string strText = Base64(Utf16Bytes(strXml));
    return Utf16Bytes(std::wstring(strText.begin(), strText.end()));
}
