// NolvexConnect.exe, the console test client: sends the monitor pipe's messages and leaves the
// client's files in its user folder, in place of the user interface (docs/testclient.md).
#include "ClientOptions.h"
#include "ConsoleOut.h"
#include "TestClientApp.h"

int wmain(int argc, wchar_t **argv)
{
    ClientOptions options;
    if (!options.Parse(argc, argv)) {
        ConsoleOut::Err(L"NolvexConnect: " + options.GetError());
        ConsoleOut::Err(ClientOptions::Usage());
        return TestClientApp::EXIT_USAGE;
    }
    return TestClientApp(options).Run();
}
