#pragma once
// One connection's proxy options in the binary form Windows keeps under
// HKCU\...\Internet Settings\Connections ("DefaultConnectionSettings" for the LAN, one value per
// dial-up or VPN entry): version, change counter, flags at offset 8, then the proxy server, the
// bypass list and the script address, each as a 32-bit length and that many ANSI bytes, then the
// detection state that Windows keeps after them (written as zeros).
#include <windows.h>
#include <string>
#include <vector>

class ConnectionSettingsBlob {
public:
    static const DWORD VERSION = 0x46;
    static const DWORD FLAGS_OFFSET = 8;
    static const DWORD TRAILER_SIZE = 28;

    ConnectionSettingsBlob();

    // False when the bytes are too short for the fixed head; missing texts read as empty.
    bool Decode(const std::vector<BYTE> &vecBytes);
    std::vector<BYTE> Encode() const;

    DWORD dwCounter;
    DWORD dwFlags;
    std::wstring strServer;
    std::wstring strBypass;
    std::wstring strScript;

private:
    static void PutDword(std::vector<BYTE> &vecOut, DWORD dwValue);
    static void PutText(std::vector<BYTE> &vecOut, const std::wstring &strText);
    static bool GetDword(const std::vector<BYTE> &vecIn, size_t &nPos, DWORD &dwValue);
    static bool GetText(const std::vector<BYTE> &vecIn, size_t &nPos, std::wstring &strText);
};
