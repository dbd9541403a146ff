#include "RasEntryFields.h"
#include <cstddef>
#include <cstdio>
#include <cwchar>

namespace {
typedef RASENTRYW EntryRecord;
enum FieldKind { kNumber, kOptions, kText, kAddress, kGuid };

struct Field {
    const char *pszName;
    size_t nOffset;
    FieldKind kind;
    size_t nChars;   // capacity of a text field, terminator included
};

#define NUMBER_FIELD(name) {#name, offsetof(EntryRecord, name), kNumber, 0}
#define OPTIONS_FIELD(name) {#name, offsetof(EntryRecord, name), kOptions, 0}
#define TEXT_FIELD(name) {#name, offsetof(EntryRecord, name), kText, sizeof(EntryRecord::name) / sizeof(WCHAR)}
#define ADDRESS_FIELD(name) {#name, offsetof(EntryRecord, name), kAddress, 0}

const Field kFields[] = {
    OPTIONS_FIELD(dwfOptions), NUMBER_FIELD(dwCountryID), NUMBER_FIELD(dwCountryCode), TEXT_FIELD(szAreaCode),
    TEXT_FIELD(szLocalPhoneNumber), NUMBER_FIELD(dwAlternateOffset), ADDRESS_FIELD(ipaddr),
    ADDRESS_FIELD(ipaddrDns), ADDRESS_FIELD(ipaddrDnsAlt), ADDRESS_FIELD(ipaddrWins), ADDRESS_FIELD(ipaddrWinsAlt),
    NUMBER_FIELD(dwFrameSize), NUMBER_FIELD(dwfNetProtocols), NUMBER_FIELD(dwFramingProtocol), TEXT_FIELD(szScript),
    TEXT_FIELD(szAutodialDll), TEXT_FIELD(szAutodialFunc), TEXT_FIELD(szDeviceType), TEXT_FIELD(szDeviceName),
    TEXT_FIELD(szX25PadType), TEXT_FIELD(szX25Address), TEXT_FIELD(szX25Facilities), TEXT_FIELD(szX25UserData),
    NUMBER_FIELD(dwChannels), NUMBER_FIELD(dwReserved1), NUMBER_FIELD(dwReserved2), NUMBER_FIELD(dwSubEntries),
    NUMBER_FIELD(dwDialMode), NUMBER_FIELD(dwDialExtraPercent), NUMBER_FIELD(dwDialExtraSampleSeconds),
    NUMBER_FIELD(dwHangUpExtraPercent), NUMBER_FIELD(dwHangUpExtraSampleSeconds),
    NUMBER_FIELD(dwIdleDisconnectSeconds), NUMBER_FIELD(dwType), NUMBER_FIELD(dwEncryptionType),
    NUMBER_FIELD(dwCustomAuthKey), {"guidId", offsetof(EntryRecord, guidId), kGuid, 0}, TEXT_FIELD(szCustomDialDll),
    NUMBER_FIELD(dwVpnStrategy), OPTIONS_FIELD(dwfOptions2), OPTIONS_FIELD(dwfOptions3), TEXT_FIELD(szDnsSuffix),
    NUMBER_FIELD(dwTcpWindowSize), TEXT_FIELD(szPrerequisitePbk), TEXT_FIELD(szPrerequisiteEntry),
    NUMBER_FIELD(dwRedialCount), NUMBER_FIELD(dwRedialPause),
};

std::wstring AddressText(const RASIPADDR &addr)
{
    wchar_t szText[16];
    swprintf(szText, 16, L"%u.%u.%u.%u", addr.a, addr.b, addr.c, addr.d);
    return szText;
}

void ParseAddress(const std::wstring &str, RASIPADDR &addr)
{
    unsigned int a = 0, b = 0, c = 0, d = 0;
    if (swscanf(str.c_str(), L"%u.%u.%u.%u", &a, &b, &c, &d) != 4) return;
    addr.a = static_cast<BYTE>(a);
    addr.b = static_cast<BYTE>(b);
    addr.c = static_cast<BYTE>(c);
    addr.d = static_cast<BYTE>(d);
}

std::wstring GuidText(const GUID &guid)
{
    wchar_t szText[40];
    swprintf(szText, 40, L"{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.Data1, guid.Data2, guid.Data3,
             guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6],
             guid.Data4[7]);
    return szText;
}

void ParseGuid(const std::wstring &str, GUID &guid)
{
    unsigned long ulData1 = 0;
    unsigned int uiParts[10] = {};
    if (swscanf(str.c_str(), L"{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", &ulData1, &uiParts[0],
                &uiParts[1], &uiParts[2], &uiParts[3], &uiParts[4], &uiParts[5], &uiParts[6], &uiParts[7],
                &uiParts[8], &uiParts[9]) != 11)
        return;
    guid.Data1 = ulData1;
    guid.Data2 = static_cast<unsigned short>(uiParts[0]);
    guid.Data3 = static_cast<unsigned short>(uiParts[1]);
    for (int i = 0; i < 8; ++i) guid.Data4[i] = static_cast<unsigned char>(uiParts[2 + i]);
}

std::wstring OptionsText(DWORD dwValue)
{
    wchar_t szText[16];
    swprintf(szText, 16, L"0x%08lX", dwValue);
    return szText;
}
}  // namespace

void RasEntryFields::ToRecord(const RASENTRYW &entry, RasRecord &record)
{
    const BYTE *pBase = reinterpret_cast<const BYTE *>(&entry);
    for (const Field &field : kFields) {
        const BYTE *pField = pBase + field.nOffset;
        switch (field.kind) {
        case kNumber: record[field.pszName] = std::to_wstring(*reinterpret_cast<const DWORD *>(pField)); break;
        case kOptions: record[field.pszName] = OptionsText(*reinterpret_cast<const DWORD *>(pField)); break;
        case kAddress: record[field.pszName] = AddressText(*reinterpret_cast<const RASIPADDR *>(pField)); break;
        case kGuid: record[field.pszName] = GuidText(*reinterpret_cast<const GUID *>(pField)); break;
        case kText: {
            const WCHAR *pszText = reinterpret_cast<const WCHAR *>(pField);
            record[field.pszName] = std::wstring(pszText, wcsnlen(pszText, field.nChars));
            break;
        }
        }
    }
}

void RasEntryFields::FromRecord(const RasRecord &record, RASENTRYW &entry)
{
    BYTE *pBase = reinterpret_cast<BYTE *>(&entry);
    for (const Field &field : kFields) {
        auto it = record.find(field.pszName);
        if (it == record.end()) continue;
        BYTE *pField = pBase + field.nOffset;
        switch (field.kind) {
        case kNumber:
        case kOptions: *reinterpret_cast<DWORD *>(pField) = RasKeyValueFile::Number(record, field.pszName); break;
        case kAddress: ParseAddress(it->second, *reinterpret_cast<RASIPADDR *>(pField)); break;
        case kGuid: ParseGuid(it->second, *reinterpret_cast<GUID *>(pField)); break;
        case kText: {
            WCHAR *pszText = reinterpret_cast<WCHAR *>(pField);
            size_t nLen = it->second.size() < field.nChars ? it->second.size() : field.nChars - 1;
            wmemcpy(pszText, it->second.data(), nLen);
            pszText[nLen] = L'\0';
            break;
        }
        }
    }
}
