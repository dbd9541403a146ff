#pragma once
// Starts a program or script through the shell and waits for it to end. On Vista and later the
// shell is asked for administrator elevation ("runas"); Windows 2000/XP/2003 (major version 5)
// know no elevation, so no verb is given there.
#include <windows.h>

class ShellLauncher {
public:
    explicit ShellLauncher(DWORD dwOsMajorVersion);

    // The verb for an OS major version: "runas", or nullptr for version 5.
    static const char *VerbFor(DWORD dwOsMajorVersion);

    // Starts pszFile (shown normally) with pszParameters and waits without limit for its end.
    // false when the shell could not start it (also when the user declined the elevation).
    bool RunAndWait(const char *pszFile, const char *pszParameters) const;

private:
    const char *m_pszVerb;
};
