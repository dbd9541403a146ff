#pragma once
// The user SID of a token, for comparing two users.
#include <windows.h>
#include <vector>

class TokenIdentity {
public:
    TokenIdentity() = default;
    // false (logged) when the token cannot be read.
    bool FromToken(HANDLE hToken);
    // The user of the active console session (WTSQueryUserToken); false when there is none.
    bool FromConsoleSession();
    bool SameUser(const TokenIdentity &other) const;
    // The token's session id, or false.
    static bool SessionOf(HANDLE hToken, DWORD &dwSessionId);

private:
    std::vector<BYTE> m_vecSid;
};
