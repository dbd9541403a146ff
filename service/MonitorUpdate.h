#pragma once
// Module update of the install folder and its rollback, run by the client worker that received
// DoUpdate or RollBackUpdate (one at a time: the caller holds g_updateGate).
//
// Folders, all beside the install folder ("Ins" is the install path without its backslash):
// Ins + "Bak" the backup taken fresh before each update, Ins + "_NG" the failed state kept during
// a rollback, Ins + "_Update" the staging folder (SYSTEM and administrators only), Ins + "_InUse"
// the files in use that a copy renamed aside (removed at the next service start).
#include "UpdateManifestText.h"
#include "UpdateSignature.h"
#include <windows.h>
#include <functional>
#include <string>

class FolderMirror;
class MonitorView;

class MonitorUpdate {
public:
    // Test seams: an install path instead of the registry's, another update key, the attributes
    // the change list's way is examined with, and a look at the staged update right before its copy.
    struct Seams {
        std::wstring strInstallPath;   // with a trailing backslash; empty: the registry's
        const BYTE *pbPublicKey = nullptr;
        DWORD dwPublicKeySize = 0;
        std::function<DWORD(const std::wstring &strPath)> pfnGetAttributes;   // null: GetFileAttributesW
        std::function<void(const std::wstring &strStaging)> pfnBeforeCopy;    // null: nothing
    };

    MonitorUpdate();
    explicit MonitorUpdate(const Seams &seams);
    ~MonitorUpdate();
    MonitorUpdate(const MonitorUpdate &) = delete;
    MonitorUpdate &operator=(const MonitorUpdate &) = delete;

    // The sender of DoUpdate (impersonation token, not owned, valid while the update runs): the
    // difference folder is read as this user and the client is started again in its session.
    void SetRequester(HANDLE hUserToken) { m_hUserToken = hUserToken; }

    // 0 when the update of the difference folder was applied, else an error code.
    long UpdateMainProc(const std::wstring &strDiffFolderPath);
    // 0 when a fresh backup of the install folder replaced the previous one.
    long BackupCopy();
    // Deletions by the change list and the copy of the (staged) difference folder: 0, -1 or the
    // copy's error code; a failed copy is rolled back.
    long DiffFileCopy(const std::wstring &strDiffFolderPath);
    // 0 when the install folder equals the backup again.
    long CopyRollback();
    // 0 when the client was started in the requester's session.
    long NolvexConnectStartProc();

    // The install path with its trailing backslash, or empty text.
    std::wstring GetInstallPath();
    // Removes what earlier updates renamed aside (their programs have ended by now).
    void RemoveSetAside();

    static constexpr const wchar_t *BACKUP_SUFFIX = L"Bak";
    static constexpr const wchar_t *FAILED_SUFFIX = L"_NG";
    static constexpr const wchar_t *STAGING_SUFFIX = L"_Update";
    static constexpr const wchar_t *ASIDE_SUFFIX = L"_InUse";
    static constexpr const wchar_t *CHANGE_LIST = L"changelist.xml";

private:
    std::wstring Ins();
    // Check, stage, verify, back up, delete and copy: 0, or the failing step's code.
    long ApplyStaged(const std::wstring &strDiffFolderPath, const std::wstring &strStaging);
    long RestartClient();
    long CheckAndStage(const std::wstring &strDiffFolderPath, const std::wstring &strStaging, std::wstring &strFolder,
                       UpdateManifestText::EntryMap &verified);
    bool VerifyStaged(const std::wstring &strStaging, UpdateManifestText::EntryMap &verified);
    void RemoveUserFolder(const std::wstring &strFolder);
    void DeleteByChangeList(const std::wstring &strDiffFolderPath);
    void DeleteItem(const std::wstring &strMethod, const std::wstring &strType, const std::wstring &strName);
    void DeleteFolderItem(const std::wstring &strPath);
    void DeleteFileItem(const std::wstring &strPath);
    bool NoReparseBelowInstall(const std::wstring &strNormal);
    DWORD Attributes(const std::wstring &strPath);
    // The first verified file that the copy did not put in place (empty: none).
    std::wstring MissingFromCopy(const FolderMirror &mirror, const std::wstring &strIns);
    long ReplaceBackup(const std::wstring &strFresh);
    long RollbackOrLog();
    void Show(long lMessageId);
    HANDLE SessionToken(DWORD &dwError);

    Seams m_seams;
    std::wstring m_strLanguage;   // never filled: the messages use the default language
    std::wstring m_strInstallPath;
    HANDLE m_hUserToken;
    MonitorView *m_pView;         // set while UpdateMainProc runs
    // The staged files that verified, set while UpdateMainProc copies them: the copy must put
    // every one of them in place.
    const UpdateManifestText::EntryMap *m_pVerified;
};
