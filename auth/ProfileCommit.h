#pragma once
// How a new terminal profile replaces the old one so that a process ended at any moment leaves a
// file/key pair that loads (old or new):
//   1. the new document is written, encrypted under a new key, to "TerminalRegist.xml.new" and
//      read back;
//   2. the new key replaces the old one in the registry (one value: atomic);
//   3. the ".new" file is moved over "TerminalRegist.xml".
// A ".new" file found at the next load is finished: when it reads under the key in the registry,
// step 2 happened and it is moved over the profile (roll forward); otherwise the key is still the
// old one and the file is deleted (roll back).
#include <windows.h>
#include <string>

class ProfileCommit {
public:
    static const wchar_t PENDING_SUFFIX[];

    // The text is a whole profile: "<SystemInformation>" ... "</SystemInformation>" holding a
    // "<Common>" ... "</Common>" section.
    static bool LooksLikeProfile(const std::wstring &strText);
    // The file decrypts under the key into a whole profile.
    static bool ReadsUnder(const std::wstring &strPath, const std::wstring &strKey);
    // Finishes an interrupted replacement of the profile at strPath (see above).
    static void Recover(const std::wstring &strPath, const std::wstring &strKey);
    // Moves the pending file over the profile (write-through); 0 or the system error.
    static DWORD MovePendingOver(const std::wstring &strPath);
};
