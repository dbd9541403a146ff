#include "UpdateRequester.h"
#include "Log.h"
#include "PipeSender.h"
#include "ProductNames.h"
#include "TokenIdentity.h"

UpdateRequester::Facts UpdateRequester::FromSender(const PipeSender &sender)
{
    Facts facts;
    facts.bProcessKnown = sender.IsProcessKnown();
    facts.dwProcessId = sender.GetProcessId();
    facts.strImagePath = sender.GetImagePath();
    facts.hUserToken = sender.GetUserToken();
    return facts;
}

UpdateRequester::UpdateRequester(ConsoleUserTest pfnConsoleUser)
    : m_pfnConsoleUser(pfnConsoleUser ? pfnConsoleUser : ConsoleUserTest(TokenIsConsoleUser))
{
}

bool UpdateRequester::SamePath(const std::wstring &strLeft, const std::wstring &strRight)
{
    return !strLeft.empty() && CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, strLeft.c_str(), (int)strLeft.size(),
                                              strRight.c_str(), (int)strRight.size()) == CSTR_EQUAL;
}

bool UpdateRequester::IsAllowed(const Facts &facts, const std::wstring &strInstallPath, bool bCheckNamed,
                                DWORD dwNamedProcess, std::wstring &strReason) const
{
    if (strInstallPath.empty()) {
        strReason = L"the install path is unknown";
        return false;
    }
    if (facts.hUserToken == nullptr) {
        strReason = L"the sender's user is unknown";
        return false;
    }
    if (!facts.bProcessKnown) {
        if (!m_pfnConsoleUser(facts.hUserToken)) {
            strReason = L"the sender's process is unknown and its user is not the console user";
            return false;
        }
        LOGWRITE(LOG_WARN, L"The sender's process could not be checked on this system; its user is the console user.");
        return true;
    }
    const std::wstring strClient = strInstallPath + ProductNames::ClientExe();
    if (!SamePath(facts.strImagePath, strClient)) {
        strReason = L"the sender [" + facts.strImagePath + L"] is not the installed client";
        return false;
    }
    if (bCheckNamed && dwNamedProcess != facts.dwProcessId) {
        strReason = L"the message names process " + std::to_wstring(dwNamedProcess) + L", the sender is process " +
                    std::to_wstring(facts.dwProcessId);
        return false;
    }
    return true;
}

bool UpdateRequester::TokenIsConsoleUser(HANDLE hToken)
{
    TokenIdentity console;
    if (!console.FromActiveSession()) return false;
    TokenIdentity sender;
    if (!sender.FromToken(hToken)) return false;
    return console.SameUser(sender);
}
