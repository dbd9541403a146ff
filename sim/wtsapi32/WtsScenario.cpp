#include "WtsScenario.h"
#include "ScopedHandle.h"
#include "SimLog.h"
#include "SimText.h"
#include <cwchar>
#include <vector>

namespace {
const ULONGLONG kTicksPerSecond = 10000000ULL;
const DWORD kMaxScenarioBytes = 64 * 1024;


ULONGLONG FileTimeValue(const FILETIME &ft)
{
    return (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

DWORD Number(const std::wstring &str) { return static_cast<DWORD>(wcstoul(str.c_str(), nullptr, 10)); }
}  // namespace

WtsScenario::WtsScenario()
    : m_bLoggedOn(true), m_dwLogonAfterSeconds(0), m_ullWritten(0), m_dwMessageResponse(IDOK),
      m_dwFailEnumerate(0), m_dwFailQueryInformation(0), m_dwFailQueryUserToken(0), m_dwFailSendMessage(0)
{
}

bool WtsScenario::Load(const std::wstring &strFolder)
{
    std::wstring strPath = strFolder + L"\\scenario.ini";
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(strPath.c_str(), GetFileExInfoStandard, &data)) {
        DWORD dwError = GetLastError();
        if (dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND) return true;
        SimLog::ApiError(L"GetFileAttributesExW", dwError);
        return false;
    }
    m_ullWritten = FileTimeValue(data.ftLastWriteTime);
    std::wstring strText;
    if (!ReadFileText(strPath, strText)) return false;
    Parse(strText);
    return true;
}

bool WtsScenario::ReadFileText(const std::wstring &strPath, std::wstring &strText)
{
    ScopedFileHandle hFile(CreateFileW(strPath.c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!hFile) {
        SimLog::ApiError(L"CreateFileW", GetLastError());
        return false;
    }
    std::vector<char> vecBytes(kMaxScenarioBytes);
    DWORD dwRead = 0;
    if (!ReadFile(hFile.Get(), vecBytes.data(), kMaxScenarioBytes, &dwRead, nullptr)) {
        SimLog::ApiError(L"ReadFile", GetLastError());
        return false;
    }
    std::string strBytes(vecBytes.data(), dwRead);
    if (strBytes.compare(0, 3, "\xEF\xBB\xBF") == 0) strBytes.erase(0, 3);
    strText = SimText::FromUtf8(strBytes);
    return true;
}

void WtsScenario::Parse(const std::wstring &strText)
{
    for (const auto &pair : SimText::ScenarioPairs(strText)) Apply(pair.first, pair.second);
}

void WtsScenario::Apply(const std::wstring &strKey, const std::wstring &strValue)
{
    if (strKey == L"logged_on") m_bLoggedOn = Number(strValue) != 0;
    else if (strKey == L"logon_after_seconds") m_dwLogonAfterSeconds = Number(strValue);
    else if (strKey == L"user") m_strUser = strValue;
    else if (strKey == L"domain") m_strDomain = strValue;
    else if (strKey == L"message_response") m_dwMessageResponse = Number(strValue);
    else if (strKey == L"fail_enumerate") m_dwFailEnumerate = Number(strValue);
    else if (strKey == L"fail_query_information") m_dwFailQueryInformation = Number(strValue);
    else if (strKey == L"fail_query_user_token") m_dwFailQueryUserToken = Number(strValue);
    else if (strKey == L"fail_send_message") m_dwFailSendMessage = Number(strValue);
    // Unknown keys are ignored: scenarios of newer tests stay readable by older builds.
}

bool WtsScenario::IsLoggedOn(ULONGLONG ullNow) const
{
    if (!m_bLoggedOn) return false;
    if (m_dwLogonAfterSeconds == 0) return true;
    return ullNow >= m_ullWritten + m_dwLogonAfterSeconds * kTicksPerSecond;
}

std::wstring WtsScenario::GetUser() const
{
    if (!m_strUser.empty()) return m_strUser;
    wchar_t szName[256 + 1];
    DWORD dwLen = sizeof(szName) / sizeof(szName[0]);
    if (!GetUserNameW(szName, &dwLen)) {
        SimLog::ApiError(L"GetUserNameW", GetLastError());
        return L"user";
    }
    return szName;
}

std::wstring WtsScenario::GetDomain() const
{
    // A local account's domain is the computer name.
    if (!m_strDomain.empty()) return m_strDomain;
    wchar_t szName[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD dwLen = sizeof(szName) / sizeof(szName[0]);
    if (!GetComputerNameW(szName, &dwLen)) {
        SimLog::ApiError(L"GetComputerNameW", GetLastError());
        return L"WORKGROUP";
    }
    return szName;
}
