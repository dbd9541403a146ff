// NolvexConnectProxyReset.exe: puts one saved proxy setting back in the user's session.
#include "CNolvexConnectProxyResetApp.h"
#include <windows.h>

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int)
{
    CNolvexConnectProxyResetApp app(hInstance);
    app.InitInstance();
    return app.GetExitCode();
}
