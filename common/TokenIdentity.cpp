#include "TokenIdentity.h"
#include "ActiveSession.h"
#include "Log.h"
#include "ScopedHandle.h"
#include <sddl.h>
#include <wtsapi32.h>

namespace {
const DWORD kNameChars = 256;
}  // namespace

bool TokenIdentity::FromToken(HANDLE hToken)
{
    m_vecSid.clear();
    DWORD dwBytes = 0;
    GetTokenInformation(hToken, TokenUser, nullptr, 0, &dwBytes);
    if (dwBytes == 0) {
        LOG_API_ERROR(L"GetTokenInformation", GetLastError());
        return false;
    }
    std::vector<BYTE> vecInfo(dwBytes);
    if (!GetTokenInformation(hToken, TokenUser, vecInfo.data(), dwBytes, &dwBytes)) {
        LOG_API_ERROR(L"GetTokenInformation", GetLastError());
        return false;
    }
    PSID pSid = reinterpret_cast<TOKEN_USER *>(vecInfo.data())->User.Sid;
    if (!IsValidSid(pSid)) return false;
    const BYTE *pbSid = static_cast<const BYTE *>(pSid);
    m_vecSid.assign(pbSid, pbSid + GetLengthSid(pSid));
    return true;
}

bool TokenIdentity::FromActiveSession()
{
    DWORD dwSession = 0;
    long lFound = ActiveSession::Find(dwSession);
    if (lFound > 0) LOG_API_ERROR(L"WTSEnumerateSessions", lFound);
    if (lFound != ActiveSession::FOUND) return false;   // nobody logged on
    ScopedHandle hToken;
    if (!WTSQueryUserToken(dwSession, hToken.Receive())) {
        DWORD dwErr = GetLastError();
        hToken.Release();
        LOG_API_ERROR(L"WTSQueryUserToken", dwErr);
        return false;
    }
    return FromToken(hToken.Get());
}

std::wstring TokenIdentity::SidText() const
{
    if (m_vecSid.empty()) return std::wstring();
    LPWSTR pszSid = nullptr;
    if (!ConvertSidToStringSidW(Sid(), &pszSid)) {
        LOG_API_ERROR(L"ConvertSidToStringSid", GetLastError());
        return std::wstring();
    }
    ScopedLocal hSid(pszSid);
    return std::wstring(pszSid);
}

std::wstring TokenIdentity::AccountName() const
{
    if (m_vecSid.empty()) return std::wstring();
    wchar_t szName[kNameChars] = {};
    wchar_t szDomain[kNameChars] = {};
    DWORD dwName = kNameChars, dwDomain = kNameChars;
    SID_NAME_USE use;
    if (!LookupAccountSidW(nullptr, Sid(), szName, &dwName, szDomain, &dwDomain, &use)) {
        LOG_API_ERROR(L"LookupAccountSid", GetLastError());
        return std::wstring();
    }
    return szDomain[0] != L'\0' ? std::wstring(szDomain) + L"\\" + szName : std::wstring(szName);
}

bool TokenIdentity::SameUser(const TokenIdentity &other) const
{
    return !m_vecSid.empty() && m_vecSid == other.m_vecSid;
}

bool TokenIdentity::SessionOf(HANDLE hToken, DWORD &dwSessionId)
{
    DWORD dwBytes = 0;
    if (!GetTokenInformation(hToken, TokenSessionId, &dwSessionId, sizeof(dwSessionId), &dwBytes)) {
        LOG_API_ERROR(L"GetTokenInformation", GetLastError());
        return false;
    }
    return true;
}
