// setuprun.exe: started from the installation medium, runs "setup.exe" elevated with installer
// logging and then, if present and wanted, "extra.bat".
#include <windows.h>

#include "SetupRunApp.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE /*hPrevInstance*/, LPSTR /*pszCmdLine*/, int /*iCmdShow*/)
{
    SetupRunApp app;
    return app.Run(hInstance);
}
