#pragma once
// Structure sizes the simulated system accepts in dwSize: those of Windows XP (the headers this
// program is built with), and on later systems also the larger records of Vista and Windows 7.
// Anything else fails with ERROR_INVALID_SIZE (632), as Windows does.
#include <windows.h>
#include <ras.h>

class RasSizes {
public:
    explicit RasSizes(bool bXp) : m_bXp(bXp) {}
    bool Connection(DWORD dwSize) const;
    bool ConnectStatus(DWORD dwSize) const;
    bool DialParams(DWORD dwSize) const;
    bool Entry(DWORD dwSize) const { return dwSize == sizeof(RASENTRYW); }
    bool DeviceInfo(DWORD dwSize) const { return dwSize == sizeof(RASDEVINFOW); }
    bool Credentials(DWORD dwSize) const { return dwSize == sizeof(RASCREDENTIALSW); }

private:
    bool m_bXp;
};
