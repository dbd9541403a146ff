#include "RasStore.h"
#include "WtsJournal.h"
#include <ras.h>
#include <cwctype>

RasStore::RasStore()
{
    m_strFolder = WtsJournal::SimulatorFolder(L"rasapi32");
}

std::wstring RasStore::PhonebookId(const wchar_t *pszPhonebook)
{
    if (pszPhonebook == nullptr || *pszPhonebook == L'\0') return L"system";
    std::wstring strId;
    for (const wchar_t *p = pszPhonebook; *p != L'\0'; ++p) {
        wchar_t c = static_cast<wchar_t>(towlower(*p));
        strId += (c == L':' || c == L'\\' || c == L'/') ? L'_' : c;
    }
    return strId;
}

bool RasStore::IsValidEntryName(const std::wstring &strEntry)
{
    if (strEntry.empty() || strEntry.size() > RAS_MaxEntryName) return false;
    if (strEntry[0] == L'.' || strEntry.find_first_of(L"\\/:*?\"<>|") != std::wstring::npos) return false;
    return true;
}

std::wstring RasStore::PhonebookFolder(const wchar_t *pszPhonebook) const
{
    return m_strFolder + L"\\phonebooks\\" + PhonebookId(pszPhonebook);
}

std::wstring RasStore::EntryFile(const wchar_t *pszPhonebook, const std::wstring &strEntry,
                                 const wchar_t *pszKind) const
{
    return PhonebookFolder(pszPhonebook) + L"\\" + strEntry + L"." + pszKind;
}

bool RasStore::EnsurePhonebook(const wchar_t *pszPhonebook) const
{
    return WtsJournal::EnsureFolder(PhonebookFolder(pszPhonebook));
}

bool RasStore::EnsureConnections() const { return WtsJournal::EnsureFolder(ConnectionsFolder()); }
