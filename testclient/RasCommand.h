#pragma once
// "ras entry|dial|status|hangup|list [key=value ...]": runs the RAS adapter with the values given
// and prints what it returned (docs/testclient.md).
#include "ConnectionAdapter.h"
#include <map>
#include <string>
#include <vector>

class RasCommand {
public:
    explicit RasCommand(const std::vector<std::wstring> &vecArgs);
    // The test client's exit code: 0 when the adapter returned 0, 3 otherwise, 2 for bad input.
    int Run();

private:
    bool ParseValues();
    bool ToConnectInfo(AdapterConnectInfo &info);
    static bool ParseAddress(const std::wstring &strText, DWORD &dwAddress);
    std::wstring Value(const wchar_t *pszKey, const wchar_t *pszDefault = L"") const;
    int RunEntry(bool bDial);
    int RunStatus();
    int RunHangUp();
    int RunList();
    static int Report(const wchar_t *pszName, long lResult);

    std::vector<std::wstring> m_vecArgs;
    std::map<std::wstring, std::wstring> m_mapValues;
};
