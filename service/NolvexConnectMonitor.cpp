// Process entry of the monitor service.
#include "CNolvexConnectMonitorModule.h"

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR lpCmdLine, int nShowCmd)
{
    CNolvexConnectMonitorModule module;
    return module.WinMain(hInstance, lpCmdLine, nShowCmd);
}
