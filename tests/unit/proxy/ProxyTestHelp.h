#pragma once
// Shared by the proxy test cases: the trace log, the registry value of a connection, the
// wininet simulator's journal in a folder of the test's own.
#include "TestFiles.h"
#include <windows.h>
#include <string>
#include <vector>

// True when the test program's trace log holds the text.
bool LogHas(const std::wstring &strText);
// The bytes of a value under HKCU\...\Internet Settings\Connections; empty when missing.
std::vector<BYTE> ConnectionBlob(const std::wstring &strValue);
bool WriteConnectionBlob(const std::wstring &strValue, const std::vector<BYTE> &vecBytes);
void DeleteConnectionBlob(const std::wstring &strValue);
// A blob in the layout Windows keeps: version, counter, flags, server, bypass, script.
std::vector<BYTE> MakeBlob(DWORD dwFlags, const std::string &strServer, const std::string &strBypass,
                           const std::string &strScript);
// Reads a blob back: flags and the three texts; false when it is too short.
bool ParseBlob(const std::vector<BYTE> &vecBytes, DWORD &dwFlags, std::string &strServer, std::string &strBypass,
               std::string &strScript);
// UTF-16LE bytes of an ASCII text.
std::string Utf16(const std::string &strAscii);

// Points the wininet simulator at a folder of the test's own (NOLVEX_SIM_DIR) for its lifetime.
class WinInetSimFolder {
public:
    WinInetSimFolder();
    ~WinInetSimFolder();
    // The journal lines (JSON text) in the order written.
    std::vector<std::string> Journal() const;
    // Writes the simulator's scenario file.
    bool SetScenario(const std::string &strText) const;

private:
    TestFolder m_folder;
};
