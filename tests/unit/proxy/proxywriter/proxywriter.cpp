// Replaces the saved proxy file given as argument in a loop with two alternating value sets,
// until it is killed (ProxySettingTest).
#include "ProxySetting.h"
#include <windows.h>

int wmain(int argc, wchar_t **argv)
{
    if (argc != 2) return 2;
    ProxySetting setting(L"kill");
    setting.SetValue(ProxySetting::AUTO_DETECT, L"off");
    setting.SetValue(ProxySetting::AUTO_PROXY, L"off");
    setting.SetValue(ProxySetting::AUTO_CONFIG_URL, L"");
    setting.SetValue(ProxySetting::DIRECT, L"off");
    for (unsigned long ulRound = 0;; ++ulRound) {
        bool bFirst = (ulRound % 2) == 0;
        setting.SetValue(ProxySetting::PROXY_ADDRESS, bFirst ? L"first:1" : L"second:2");
        setting.SetValue(ProxySetting::PROXY_BYPASS, bFirst ? L"first-bypass" : L"second-bypass");
        if (!setting.WriteSetting(argv[1], L"")) return 1;
    }
}
