#include "ProxyCommand.h"
#include "ConsoleOut.h"
#include "ProxyInformation.h"

namespace {
const int kExitDone = 0;
const int kExitUsage = 2;
const int kExitFailed = 3;

const wchar_t *OnOff(bool bOn)
{
    return bOn ? ProxySetting::FLAG_ON : ProxySetting::FLAG_OFF;
}
}  // namespace

ProxyCommand::ProxyCommand(const std::vector<std::wstring> &vecArgs) : m_vecArgs(vecArgs)
{
}

std::wstring ProxyCommand::Arg(size_t nIndex) const
{
    return nIndex < m_vecArgs.size() ? m_vecArgs[nIndex] : std::wstring();
}

void ProxyCommand::Print(const ProxyInformation &info)
{
    ConsoleOut::Out(std::wstring(L"ProxyTypeAutoDetect=") + OnOff(info.IsAutoDetect()));
    ConsoleOut::Out(std::wstring(L"AutoProxy=") + OnOff(info.IsAutoProxy()));
    ConsoleOut::Out(L"AutoConfigURL=" + info.GetAutoConfigURL());
    ConsoleOut::Out(std::wstring(L"ProxyTypeDirect=") + OnOff(info.IsDirect()));
    ConsoleOut::Out(L"ProxyAddress=" + info.GetProxyAddress());
    ConsoleOut::Out(L"ProxyBypass=" + info.GetProxyBypass());
    ConsoleOut::Out(L"Flags=" + std::to_wstring(info.ComposeFlags()));
}

int ProxyCommand::Run()
{
    std::wstring strSub = Arg(0);
    if (strSub == L"show" && m_vecArgs.size() <= 2) return RunShow();
    if (strSub == L"save" && m_vecArgs.size() >= 2) return RunSave();
    if (strSub == L"apply" && m_vecArgs.size() >= 2) return RunApply();
    ConsoleOut::Err(L"NolvexConnect: proxy: show [entry] | save ID [entry] | apply FILE [entry]");
    return kExitUsage;
}

int ProxyCommand::RunShow()
{
    ProxyInformation info(L"");
    if (!info.GetProxySetting(Arg(1))) {
        ConsoleOut::Err(L"NolvexConnect: proxy: the settings could not be read");
        return kExitFailed;
    }
    Print(info);
    return kExitDone;
}

int ProxyCommand::RunSave()
{
    ProxyInformation info(Arg(1));
    if (!info.GetProxySetting(Arg(2))) {
        ConsoleOut::Err(L"NolvexConnect: proxy: the settings could not be read");
        return kExitFailed;
    }
    if (!info.WriteSetting(L"", Arg(2))) {
        ConsoleOut::Err(L"NolvexConnect: proxy: the saved file could not be written");
        return kExitFailed;
    }
    ConsoleOut::Out(L"Written=" + info.Setting().ComposePath(L"", Arg(2)));
    return kExitDone;
}

int ProxyCommand::RunApply()
{
    ProxyInformation info(L"");
    if (!info.ReadSetting(Arg(1), L"")) {
        ConsoleOut::Err(L"NolvexConnect: proxy: the saved file could not be read: " + Arg(1));
        return kExitFailed;
    }
    if (!info.ApplyProxySetting(Arg(2))) {
        ConsoleOut::Err(L"NolvexConnect: proxy: the settings could not be applied");
        return kExitFailed;
    }
    Print(info);
    return kExitDone;
}
