#pragma once
// Where the simulator keeps its files, below C:\nolvex-sim\rasapi32 (or NOLVEX_SIM_DIR\rasapi32):
//   scenario.ini, journal.txt
//   phonebooks\<phonebook>\<entry>.entry   every RASENTRYW field
//   phonebooks\<phonebook>\<entry>.dial    the stored dial parameters
//   phonebooks\<phonebook>\<entry>.cred    the stored credentials
//   connections\<handle>.conn              one live connection; connections\next.txt the handle counter
// <phonebook> is "system" for the system phonebook (no path given), otherwise the path with ":",
// "\" and "/" replaced by "_", in lower case.
#include <windows.h>
#include <string>

class RasStore {
public:
    RasStore();
    const std::wstring &Folder() const { return m_strFolder; }
    std::wstring EntryFile(const wchar_t *pszPhonebook, const std::wstring &strEntry, const wchar_t *pszKind) const;
    std::wstring ConnectionsFolder() const { return m_strFolder + L"\\connections"; }
    // Creates the phonebook's folder (and the levels above it); false when that fails.
    bool EnsurePhonebook(const wchar_t *pszPhonebook) const;
    bool EnsureConnections() const;

    static std::wstring PhonebookId(const wchar_t *pszPhonebook);
    // Names the simulator cannot store (empty, too long, with characters a file name refuses).
    static bool IsValidEntryName(const std::wstring &strEntry);

private:
    std::wstring PhonebookFolder(const wchar_t *pszPhonebook) const;

    std::wstring m_strFolder;
};
