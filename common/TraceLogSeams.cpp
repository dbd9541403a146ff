// What the product's trace log takes from the rest of the library. These functions log
// themselves; the logger calls them with its thread marked as writing, so those lines are dropped
// instead of coming back into it.
#include "Coding.h"
#include "IniFile.h"
#include "OSInformation.h"
#include "TraceLog.h"
#include "UserSettingFile.h"
#include <memory>
#include <vector>

namespace {

// Key of the identifiers encoded in the lines; support decodes them with the same key.
const wchar_t kLogKey[] = L"Lr7QvN2xKp4Tb";
// A look for the trace switch file costs a file system call (some 20 us under Wine): made at most
// this often, so that a program switches within half a second of the file's coming or going.
const DWORD kTraceSwitchCheckMs = 500;

std::wstring ProductAppName()
{
    std::unique_ptr<OSInformation> pInfo(CreateOSInformation());
    return pInfo ? pInfo->GetModuleName() : std::wstring();
}

std::wstring ProductBaseFolder(bool bMachine)
{
    std::unique_ptr<OSInformation> pInfo(CreateOSInformation());
    if (!pInfo) return std::wstring();
    return bMachine ? pInfo->GetAllUsersAppDataFolderPath() : pInfo->GetAppDataFolderPath(nullptr);
}

// LogLevel of the user setting file when it has a path, else of the initialization file. Only
// what the two process-wide objects have published is read, and their operation locks are never
// waited for (TryReadOnce): a thread that holds one of them may itself be waiting for the logger
// (docs/settings.md, lock order).
std::wstring ProductLogLevel()
{
    UserSettingFile &settings = UserSettingFile::GetInstance();
    settings.TryReadOnce();
    if (!settings.GetFilePath().empty()) return settings.GetLogLevel();
    IniFile &ini = IniFile::GetInstance();
    ini.TryReadOnce();
    return ini.GetLogLevel();
}

std::wstring ProductUserId()
{
    UserSettingFile &settings = UserSettingFile::GetInstance();
    settings.TryReadOnce();
    return settings.GetNolvexID();
}

bool ProductTakeUserChange()
{
    return UserSettingFile::GetInstance().TakeChanged();
}

// The string AES coding (code type 8) under the fixed log key: the size is asked for first, then
// a zeroed buffer with room for a terminating zero character receives the text.
TraceLog::IdCoding ProductEncodeId(const std::wstring &strValue, std::wstring &strEncoded)
{
    std::unique_ptr<Coding> pCoding(Coding::GetCode(Coding::CODE_AES_STR));
    const BYTE *pbValue = reinterpret_cast<const BYTE *>(strValue.c_str());
    const DWORD dwValueBytes = (DWORD)(strValue.size() * sizeof(wchar_t));
    long lSize = pCoding ? pCoding->Encode(pbValue, dwValueBytes, nullptr, kLogKey) : -1;
    if (lSize < 1) return TraceLog::ID_NO_SIZE;
    std::vector<BYTE> buffer((size_t)lSize + 2, 0);
    long lText = pCoding->Encode(pbValue, dwValueBytes, buffer.data(), kLogKey);
    if (lText < 1 || lText > lSize) return TraceLog::ID_NOT_ENCODED;
    strEncoded.assign(reinterpret_cast<const wchar_t *>(buffer.data()), (size_t)lText / sizeof(wchar_t));
    return TraceLog::ID_ENCODED;
}

}  // namespace

TraceLog::Seams::Seams()
    : pfnClock(nullptr), pfnAppName(&ProductAppName), pfnBaseFolder(&ProductBaseFolder),
      pfnConfiguredLogLevel(&ProductLogLevel), pfnUserId(&ProductUserId), pfnTakeUserChange(&ProductTakeUserChange),
      pfnEncodeId(&ProductEncodeId), dwTraceSwitchCheckMs(kTraceSwitchCheckMs)
{
}
