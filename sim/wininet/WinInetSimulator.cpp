#include "WinInetSimulator.h"
#include "ScopedHandle.h"
#include "SimLog.h"
#include "SimText.h"
#include "WtsJournal.h"
#include <cwchar>
#include <vector>

const wchar_t WinInetSimulator::CONNECTIONS_KEY[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";
const wchar_t WinInetSimulator::DEFAULT_VALUE[] = L"DefaultConnectionSettings";

namespace {
const DWORD NO_FAIL_OPTION = 0xFFFFFFFF;
const DWORD MAX_BLOB_SIZE = 64 * 1024;

std::wstring ReadWholeText(const std::wstring &strPath)
{
    ScopedFileHandle hFile(CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!hFile) return L"";
    std::string strBytes;
    char acBuffer[4096];
    DWORD dwRead = 0;
    while (::ReadFile(hFile.Get(), acBuffer, sizeof(acBuffer), &dwRead, nullptr) && dwRead > 0)
        strBytes.append(acBuffer, dwRead);
    return SimText::FromUtf8(strBytes);
}
}  // namespace

WinInetSimulator::WinInetSimulator() : m_dwFailOption(NO_FAIL_OPTION)
{
    for (const auto &pair : SimText::ScenarioPairs(ReadWholeText(Folder() + L"\\scenario.ini"))) {
        if (pair.first == L"fail_option") m_dwFailOption = wcstoul(pair.second.c_str(), nullptr, 0);
    }
}

std::wstring WinInetSimulator::Folder()
{
    return WtsJournal::SimulatorFolder(L"wininet");
}

BOOL WinInetSimulator::Finish(DWORD dwError)
{
    SetLastError(dwError);
    return dwError == ERROR_SUCCESS ? TRUE : FALSE;
}

bool WinInetSimulator::IsScriptedFailure(DWORD dwOption) const
{
    return m_dwFailOption != NO_FAIL_OPTION && m_dwFailOption == dwOption;
}

void WinInetSimulator::Journal(const char *pszCall, DWORD dwOption, const std::wstring &strConnection,
                               const ConnectionSettingsBlob *pBlob, DWORD dwError) const
{
    JsonLine record = WtsJournal::NewRecord(pszCall);
    record.Add("option", dwOption).Add("connection", strConnection);
    if (pBlob != nullptr) {
        record.Add("flags", pBlob->dwFlags).Add("server", pBlob->strServer).Add("bypass", pBlob->strBypass);
        record.Add("script", pBlob->strScript);
    }
    record.Add("error", dwError);
    std::wstring strFolder = Folder();
    if (WtsJournal::EnsureFolder(strFolder)) WtsJournal(strFolder).Append(record.Text());
}

std::wstring WinInetSimulator::ValueName(const wchar_t *pszConnection)
{
    return (pszConnection == nullptr || *pszConnection == L'\0') ? DEFAULT_VALUE : pszConnection;
}

bool WinInetSimulator::LoadBlob(const std::wstring &strValue, ConnectionSettingsBlob &blob)
{
    ScopedRegKey hKey;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, CONNECTIONS_KEY, 0, KEY_READ, hKey.Receive()) != ERROR_SUCCESS)
        return false;
    DWORD dwType = 0;
    DWORD dwSize = 0;
    if (RegQueryValueExW(hKey.Get(), strValue.c_str(), nullptr, &dwType, nullptr, &dwSize) != ERROR_SUCCESS ||
        dwType != REG_BINARY || dwSize > MAX_BLOB_SIZE)
        return false;
    std::vector<BYTE> vecBytes(dwSize);
    if (RegQueryValueExW(hKey.Get(), strValue.c_str(), nullptr, &dwType, vecBytes.data(), &dwSize) != ERROR_SUCCESS)
        return false;
    vecBytes.resize(dwSize);
    return blob.Decode(vecBytes);
}

DWORD WinInetSimulator::SaveBlob(const std::wstring &strValue, const ConnectionSettingsBlob &blob)
{
    ScopedRegKey hKey;
    LONG lRc = RegCreateKeyExW(HKEY_CURRENT_USER, CONNECTIONS_KEY, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                               hKey.Receive(), nullptr);
    if (lRc != ERROR_SUCCESS) {
        SimLog::ApiError(L"RegCreateKeyExW", static_cast<DWORD>(lRc));
        return static_cast<DWORD>(lRc);
    }
    std::vector<BYTE> vecBytes = blob.Encode();
    lRc = RegSetValueExW(hKey.Get(), strValue.c_str(), 0, REG_BINARY, vecBytes.data(),
                         static_cast<DWORD>(vecBytes.size()));
    if (lRc != ERROR_SUCCESS) SimLog::ApiError(L"RegSetValueExW", static_cast<DWORD>(lRc));
    return static_cast<DWORD>(lRc);
}

wchar_t *WinInetSimulator::CopyForCaller(const std::wstring &strText)
{
    if (strText.empty()) return nullptr;
    size_t nBytes = (strText.size() + 1) * sizeof(wchar_t);
    wchar_t *pszCopy = static_cast<wchar_t *>(GlobalAlloc(GPTR, nBytes));
    if (pszCopy != nullptr) memcpy(pszCopy, strText.c_str(), nBytes);
    return pszCopy;
}

bool WinInetSimulator::IsValidList(const INTERNET_PER_CONN_OPTION_LISTW *pList, DWORD dwLength)
{
    return pList != nullptr && dwLength >= sizeof(INTERNET_PER_CONN_OPTION_LISTW) &&
           pList->dwSize == sizeof(INTERNET_PER_CONN_OPTION_LISTW) &&
           (pList->dwOptionCount == 0 || pList->pOptions != nullptr);
}

BOOL WinInetSimulator::SetOption(HINTERNET hInternet, DWORD dwOption, void *pBuffer, DWORD dwLength)
{
    if (IsScriptedFailure(dwOption)) {
        Journal("InternetSetOptionW", dwOption, L"", nullptr, ERROR_INTERNET_INTERNAL_ERROR);
        return Finish(ERROR_INTERNET_INTERNAL_ERROR);
    }
    if (hInternet != nullptr) return Finish(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    switch (dwOption) {
    case INTERNET_OPTION_PER_CONNECTION_OPTION:
        return SetPerConnection(static_cast<const INTERNET_PER_CONN_OPTION_LISTW *>(pBuffer), dwLength);
    case INTERNET_OPTION_PROXY_SETTINGS_CHANGED:
    case INTERNET_OPTION_SETTINGS_CHANGED:
    case INTERNET_OPTION_REFRESH:
        return Notify(dwOption, pBuffer);
    default:
        Journal("InternetSetOptionW", dwOption, L"", nullptr, ERROR_INTERNET_INVALID_OPTION);
        return Finish(ERROR_INTERNET_INVALID_OPTION);
    }
}

BOOL WinInetSimulator::Notify(DWORD dwOption, const void *pBuffer)
{
    DWORD dwError = pBuffer == nullptr ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
    Journal("InternetSetOptionW", dwOption, L"", nullptr, dwError);
    return Finish(dwError);
}

BOOL WinInetSimulator::SetPerConnection(const INTERNET_PER_CONN_OPTION_LISTW *pList, DWORD dwLength)
{
    if (!IsValidList(pList, dwLength)) return Finish(ERROR_INVALID_PARAMETER);
    std::wstring strValue = ValueName(pList->pszConnection);
    ConnectionSettingsBlob blob;
    LoadBlob(strValue, blob);
    for (DWORD i = 0; i < pList->dwOptionCount; ++i) {
        const INTERNET_PER_CONN_OPTIONW &option = pList->pOptions[i];
        const wchar_t *pszText = option.Value.pszValue ? option.Value.pszValue : L"";
        switch (option.dwOption) {
        case INTERNET_PER_CONN_FLAGS: blob.dwFlags = option.Value.dwValue; break;
        case INTERNET_PER_CONN_PROXY_SERVER: blob.strServer = pszText; break;
        case INTERNET_PER_CONN_PROXY_BYPASS: blob.strBypass = pszText; break;
        case INTERNET_PER_CONN_AUTOCONFIG_URL: blob.strScript = pszText; break;
        case INTERNET_PER_CONN_AUTODISCOVERY_FLAGS: break;
        default: return Finish(ERROR_INVALID_PARAMETER);
        }
    }
    ++blob.dwCounter;
    DWORD dwError = SaveBlob(strValue, blob);
    Journal("InternetSetOptionW", INTERNET_OPTION_PER_CONNECTION_OPTION, strValue, &blob, dwError);
    return Finish(dwError);
}

BOOL WinInetSimulator::QueryOption(HINTERNET hInternet, DWORD dwOption, void *pBuffer, DWORD *pdwLength)
{
    if (IsScriptedFailure(dwOption)) {
        Journal("InternetQueryOptionW", dwOption, L"", nullptr, ERROR_INTERNET_INTERNAL_ERROR);
        return Finish(ERROR_INTERNET_INTERNAL_ERROR);
    }
    if (hInternet != nullptr) return Finish(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    if (dwOption != INTERNET_OPTION_PER_CONNECTION_OPTION) return Finish(ERROR_INTERNET_INVALID_OPTION);
    if (pdwLength == nullptr) return Finish(ERROR_INVALID_PARAMETER);
    return QueryPerConnection(static_cast<INTERNET_PER_CONN_OPTION_LISTW *>(pBuffer), pdwLength);
}

BOOL WinInetSimulator::QueryPerConnection(INTERNET_PER_CONN_OPTION_LISTW *pList, DWORD *pdwLength)
{
    if (!IsValidList(pList, *pdwLength)) return Finish(ERROR_INVALID_PARAMETER);
    std::wstring strValue = ValueName(pList->pszConnection);
    ConnectionSettingsBlob blob;
    LoadBlob(strValue, blob);
    for (DWORD i = 0; i < pList->dwOptionCount; ++i) {
        INTERNET_PER_CONN_OPTIONW &option = pList->pOptions[i];
        switch (option.dwOption) {
        case INTERNET_PER_CONN_FLAGS: option.Value.dwValue = blob.dwFlags; break;
        case INTERNET_PER_CONN_AUTODISCOVERY_FLAGS: option.Value.dwValue = 0; break;
        case INTERNET_PER_CONN_PROXY_SERVER: option.Value.pszValue = CopyForCaller(blob.strServer); break;
        case INTERNET_PER_CONN_PROXY_BYPASS: option.Value.pszValue = CopyForCaller(blob.strBypass); break;
        case INTERNET_PER_CONN_AUTOCONFIG_URL: option.Value.pszValue = CopyForCaller(blob.strScript); break;
        default: return Finish(ERROR_INVALID_PARAMETER);
        }
    }
    *pdwLength = sizeof(INTERNET_PER_CONN_OPTION_LISTW);
    Journal("InternetQueryOptionW", INTERNET_OPTION_PER_CONNECTION_OPTION, strValue, &blob, ERROR_SUCCESS);
    return Finish(ERROR_SUCCESS);
}
