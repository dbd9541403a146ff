#pragma once
// Stores a terminal profile received from the registration server: checked in memory first,
// encrypted under a fresh 32-character key, put in place in the order of ProfileCommit (the
// previous profile stays usable on every failure and after a crash at any moment), then the user
// setting's UpdateDate, a reload of the process-wide profile and the backups.
#include <windows.h>
#include <functional>
#include <string>

class AplicationInfo;
class TerminalProfile;
class UserSettingFile;

class ProfileStore {
public:
    // The steps, in order; the step hook is called before each one (tests end the process there).
    enum Step {
        STEP_WRITE_PENDING = 1,
        STEP_SET_KEY,
        STEP_MOVE_IN_PLACE,
        STEP_UPDATE_SETTING,
        STEP_RELOAD,
        STEP_BACKUP,
    };
    static constexpr int KEY_LENGTH = 32;
    static constexpr int WRITE_RETRIES = 5;
    static constexpr DWORD WRITE_RETRY_PAUSE_MS = 200;

    struct Seams {
        std::function<AplicationInfo *()> pfnCreateRegInfo;   // null: CreateAplicationInfo
        std::function<void(Step)> pfnStepHook;                 // null: none
        DWORD dwRetryPauseMs = WRITE_RETRY_PAUSE_MS;
    };

    ProfileStore(TerminalProfile &profile, UserSettingFile &settings);
    ProfileStore(TerminalProfile &profile, UserSettingFile &settings, const Seams &seams);

    // 0, or the message id of the failure: 5120 not a whole profile (nothing stored), 4003 no key
    // or no encryption, lWriteFailureId when the file cannot be written after the retries, 4180
    // the key cannot be stored, 4001 the user setting cannot be updated, 5120 the reload failed.
    long Store(const std::wstring &strText, long lWriteFailureId);

private:
    AplicationInfo *CreateRegInfo();
    void Hook(Step step);
    long WritePending(const std::wstring &strPath, const std::wstring &strText, const std::wstring &strKey,
                      long lWriteFailureId);
    long Commit(const std::wstring &strPath, const std::wstring &strText, long lWriteFailureId);
    long SwitchKeyAndMove(AplicationInfo &regInfo, const std::wstring &strPath, const std::wstring &strKey,
                          long lWriteFailureId);
    long UpdateSettingDate();
    static std::wstring NewKey();
    static void RemovePending(const std::wstring &strPath);
    static std::wstring UpdateDateNow();

    TerminalProfile &m_profile;
    UserSettingFile &m_settings;
    Seams m_seams;
};
