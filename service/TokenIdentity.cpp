#include "TokenIdentity.h"
#include "Log.h"
#include "ScopedHandle.h"
#include <wtsapi32.h>

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

bool TokenIdentity::FromConsoleSession()
{
    DWORD dwSession = WTSGetActiveConsoleSessionId();
    if (dwSession == 0xFFFFFFFF) return false;   // nobody attached to the console
    ScopedHandle hToken;
    if (!WTSQueryUserToken(dwSession, hToken.Receive())) {
        DWORD dwErr = GetLastError();
        hToken.Release();
        LOG_API_ERROR(L"WTSQueryUserToken", dwErr);
        return false;
    }
    return FromToken(hToken.Get());
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
