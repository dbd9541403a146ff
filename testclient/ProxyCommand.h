#pragma once
// "proxy show [entry]", "proxy save ID [entry]", "proxy apply FILE [entry]": the live WinINet proxy
// settings through the product's proxy classes (docs/testclient.md). An empty or missing entry is
// the LAN default.
#include <string>
#include <vector>

class ProxyInformation;

class ProxyCommand {
public:
    explicit ProxyCommand(const std::vector<std::wstring> &vecArgs);
    // The test client's exit code: 0 done, 3 when the proxy classes failed, 2 for bad input.
    int Run();

private:
    int RunShow();
    int RunSave();
    int RunApply();
    std::wstring Arg(size_t nIndex) const;
    static void Print(const ProxyInformation &info);

    std::vector<std::wstring> m_vecArgs;
};
