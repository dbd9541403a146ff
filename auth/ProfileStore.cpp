#include "ProfileStore.h"
#include "AplicationInfo.h"
#include "Coding.h"
#include "Date.h"
#include "FileIO.h"
#include "Log.h"
#include "MessageIds.h"
#include "ProfileCommit.h"
#include "TerminalProfile.h"
#include "UserSettingFile.h"
#include <memory>

namespace {
// "YYYY/MM/DD hh:mm:ss" of the local time stamp, without "/", " " and ":".
const size_t kUpdateDateSourceChars = 19;
}   // namespace

ProfileStore::ProfileStore(TerminalProfile &profile, UserSettingFile &settings)
    : ProfileStore(profile, settings, Seams())
{
}

ProfileStore::ProfileStore(TerminalProfile &profile, UserSettingFile &settings, const Seams &seams)
    : m_profile(profile), m_settings(settings), m_seams(seams)
{
}

AplicationInfo *ProfileStore::CreateRegInfo()
{
    return m_seams.pfnCreateRegInfo ? m_seams.pfnCreateRegInfo() : CreateAplicationInfo();
}

void ProfileStore::Hook(Step step)
{
    if (m_seams.pfnStepHook) m_seams.pfnStepHook(step);
}

std::wstring ProfileStore::NewKey()
{
    std::unique_ptr<Coding> pCoding(Coding::GetCode(Coding::CODE_AES));
    if (!pCoding) {
        LOGWRITE(LOG_ERROR, L"Failed to generate a AESCoding class");
        return std::wstring();
    }
    std::wstring strKey = pCoding->GetRandKey(KEY_LENGTH);
    return strKey.size() == static_cast<size_t>(KEY_LENGTH) ? strKey : std::wstring();
}

void ProfileStore::RemovePending(const std::wstring &strPath)
{
    std::wstring strPending = strPath + ProfileCommit::PENDING_SUFFIX;
    if (!DeleteFileW(strPending.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
        LOG_API_ERROR(L"DeleteFileW", GetLastError());
}

long ProfileStore::Store(const std::wstring &strText, long lWriteFailureId)
{
    LOG_SCOPE();
    if (!ProfileCommit::LooksLikeProfile(strText)) {
        LOGWRITE(LOG_ERROR, L"The answer is no whole terminal profile: nothing stored");
        return MSG_AUTH_PROFILE_INVALID;
    }
    std::wstring strFolder = m_profile.GetDirPath();
    if (strFolder.empty()) return lWriteFailureId;
    std::wstring strPath = strFolder + TerminalProfile::FILE_NAME;
    long lResult = 0;
    m_profile.WithOperationLock([&]() { lResult = Commit(strPath, strText, lWriteFailureId); });
    if (lResult != 0) return lResult;
    Hook(STEP_UPDATE_SETTING);
    lResult = UpdateSettingDate();
    if (lResult != 0) return lResult;
    Hook(STEP_RELOAD);
    if (!m_profile.ProfileLoad()) {
        LOGWRITE(LOG_ERROR, L"Can't Reload TerminalProfile");
        return MSG_AUTH_PROFILE_INVALID;
    }
    Hook(STEP_BACKUP);
    m_profile.BackupFile();
    if (!m_settings.GetFilePath().empty()) m_settings.BackupFile();
    return 0;
}

long ProfileStore::Commit(const std::wstring &strPath, const std::wstring &strText, long lWriteFailureId)
{
    std::wstring strKey = NewKey();
    if (strKey.empty()) {
        LOGWRITE(LOG_ERROR, L"Failure to AES Encode");
        return MSG_ENCRYPTION_ERROR;
    }
    Hook(STEP_WRITE_PENDING);
    long lResult = WritePending(strPath, strText, strKey, lWriteFailureId);
    if (lResult != 0) return lResult;
    std::unique_ptr<AplicationInfo> pRegInfo(CreateRegInfo());
    if (!pRegInfo) {
        LOGWRITE(LOG_ERROR, L"Failed to generate a AplicationInfo class");
        RemovePending(strPath);
        return MSG_REGISTRY_WRITE_FAILED;
    }
    return SwitchKeyAndMove(*pRegInfo, strPath, strKey, lWriteFailureId);
}

// The encrypted file under its pending name, read back before it counts as written.
long ProfileStore::WritePending(const std::wstring &strPath, const std::wstring &strText, const std::wstring &strKey,
                                long lWriteFailureId)
{
    std::wstring strPending = strPath + ProfileCommit::PENDING_SUFFIX;
    DWORD dwBytes = static_cast<DWORD>(strText.size() * sizeof(wchar_t));
    for (int iTry = 0; iTry <= WRITE_RETRIES; ++iTry) {
        if (iTry > 0) {
            Sleep(m_seams.dwRetryPauseMs);
            LOGWRITE(LOG_WARN, L"Retrying to write the profile [%d]", iTry);
        }
        FileIO file;
        if (file.WriteData_Encode(strPending, strText.data(), dwBytes, strKey, Coding::CODE_AES) &&
            ProfileCommit::ReadsUnder(strPending, strKey)) {
            LOGWRITE(LOG_INFO, L"Downloaded the Terminal ProFile");
            return 0;
        }
    }
    LOGWRITE(LOG_ERROR, L"Error! Writing Failure Terminal ProFile");
    RemovePending(strPath);
    return lWriteFailureId;
}

// The registry value switches the profile; the move that follows is finished by the next load if
// the process ends in between. A failed move puts the old key back.
long ProfileStore::SwitchKeyAndMove(AplicationInfo &regInfo, const std::wstring &strPath, const std::wstring &strKey,
                                    long lWriteFailureId)
{
    std::wstring strOldKey = regInfo.GetTerminalProfileKeyInfo();
    Hook(STEP_SET_KEY);
    long lError = regInfo.SetTerminalProfileKeyInfo(strKey);
    if (lError != ERROR_SUCCESS) {
        LOGWRITE(LOG_ERROR, L"Can't Set Registory Key is [{%s}]", strKey.c_str());
        RemovePending(strPath);
        return MSG_REGISTRY_WRITE_FAILED;
    }
    Hook(STEP_MOVE_IN_PLACE);
    if (ProfileCommit::MovePendingOver(strPath) == ERROR_SUCCESS) return 0;
    LOGWRITE(LOG_ERROR, L"Error! Writing Failure Terminal ProFile");
    if (regInfo.SetTerminalProfileKeyInfo(strOldKey) != ERROR_SUCCESS)
        LOGWRITE(LOG_ERROR, L"The previous profile key could not be put back");
    RemovePending(strPath);
    return lWriteFailureId;
}

std::wstring ProfileStore::UpdateDateNow()
{
    Date date;
    std::wstring strStamp = date.GetLocalTimeStamp().substr(0, kUpdateDateSourceChars);
    std::wstring strDate;
    for (wchar_t ch : strStamp)
        if (ch != L'/' && ch != L' ' && ch != L':') strDate += ch;
    return strDate;
}

long ProfileStore::UpdateSettingDate()
{
    if (!m_settings.GetFilePath().empty()) m_settings.ReadSetting();
    m_settings.SetUpdateDate(UpdateDateNow());
    if (!m_settings.WriteSetting()) {
        LOGWRITE(LOG_ERROR, L"Can't Update UserSettingFile");
        return MSG_FILE_IO_ERROR;
    }
    return 0;
}
