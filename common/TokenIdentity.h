#pragma once
// The user of a token: the one place that reads a token's user (its SID), for comparing two users,
// for the SID text of the user's registry keys and for the account name of a pipe's sender.
#include <windows.h>
#include <string>
#include <vector>

class TokenIdentity {
public:
    TokenIdentity() = default;
    // false (logged) when the token cannot be read.
    bool FromToken(HANDLE hToken);
    // The user of the active session (ActiveSession, WTSQueryUserToken); false when there is none.
    bool FromActiveSession();
    bool SameUser(const TokenIdentity &other) const;
    // "S-1-5-21-..." of the user; empty (logged) when it cannot be converted or nothing was read.
    std::wstring SidText() const;
    // "DOMAIN\name" (or "name" without a domain); empty (logged) when the account cannot be found.
    std::wstring AccountName() const;
    // The token's session id, or false.
    static bool SessionOf(HANDLE hToken, DWORD &dwSessionId);

private:
    PSID Sid() const { return m_vecSid.empty() ? nullptr : const_cast<BYTE *>(m_vecSid.data()); }

    std::vector<BYTE> m_vecSid;
};
