#include "MonitorUpdate.h"
#include "ActiveSession.h"
#include "AplicationInfo.h"
#include "ChangeListName.h"
#include "ChangeListSetting.h"
#include "FolderMirror.h"
#include "Log.h"
#include "MessageIds.h"
#include "MonitorView.h"
#include "ProductNames.h"
#include "ScopedHandle.h"
#include "StagingCopy.h"
#include "TokenIdentity.h"
#include "UpdateGate.h"
#include "UpdateManifest.h"
#include "UpdateManifestText.h"
#include "UpdateSource.h"
#include "UserImpersonation.h"
#include <memory>
#include <set>
#include <vector>

namespace {
const DWORD kErrorIconStyle = 16;   // MB_ICONERROR
const wchar_t kCaption[] = L"NolvexConnect";
const wchar_t kDesktop[] = L"winsta0\\default";
// Default error mode, Unicode environment, new console.
const DWORD kClientCreationFlags = CREATE_DEFAULT_ERROR_MODE | CREATE_UNICODE_ENVIRONMENT | CREATE_NEW_CONSOLE;
const wchar_t kFreshBackupSuffix[] = L"BakNew";
const wchar_t kOldBackupSuffix[] = L"BakOld";

bool Exists(const std::wstring &strPath)
{
    return GetFileAttributesW(strPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}
}  // namespace

MonitorUpdate::MonitorUpdate() : m_hUserToken(nullptr), m_pView(nullptr), m_pVerified(nullptr) {}

MonitorUpdate::MonitorUpdate(const Seams &seams)
    : m_seams(seams), m_hUserToken(nullptr), m_pView(nullptr), m_pVerified(nullptr)
{
}

MonitorUpdate::~MonitorUpdate() {}

std::wstring MonitorUpdate::GetInstallPath()
{
    if (!m_seams.strInstallPath.empty()) return m_seams.strInstallPath;
    std::unique_ptr<AplicationInfo> pInfo(CreateAplicationInfo());
    if (!pInfo) {
        LOGWRITE(LOG_ERROR, L"Failed to generate a WinRegInfo class");
        return std::wstring();
    }
    std::wstring strPath = pInfo->GetInstallPath();
    if (!strPath.empty() && strPath.back() != L'\\') strPath += L'\\';
    return strPath;
}

// The install folder without its last backslash; empty, with the designed error line, when the
// install path is unknown.
std::wstring MonitorUpdate::Ins()
{
    if (m_strInstallPath.empty()) m_strInstallPath = GetInstallPath();
    if (m_strInstallPath.empty()) {
        LOGWRITE(LOG_ERROR, L"apInfo->GetInstallPath is empty");
        return std::wstring();
    }
    return m_strInstallPath.substr(0, m_strInstallPath.size() - 1);
}

void MonitorUpdate::Show(long lMessageId)
{
    if (m_pView != nullptr) m_pView->ShowMessage(lMessageId, kCaption, kErrorIconStyle);
}

long MonitorUpdate::UpdateMainProc(const std::wstring &strDiffFolderPath)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] DiffFolderPath is %s", strDiffFolderPath.c_str());
    std::unique_ptr<MonitorView> pView(new (std::nothrow) MonitorView(m_strLanguage));
    if (!pView) {
        LOGWRITE(LOG_ERROR, L"MonitorView new Error");
        return -1;
    }
    m_pView = pView.get();
    const std::wstring strIns = Ins();
    long lResult = -1;
    if (!strIns.empty()) {
        const std::wstring strStaging = strIns + STAGING_SUFFIX;
        lResult = ApplyStaged(strDiffFolderPath, strStaging);
        FolderMirror::RemoveTree(strStaging);
        if (lResult == 0) lResult = RestartClient();
    }
    m_pView = nullptr;
    return lResult;
}

long MonitorUpdate::ApplyStaged(const std::wstring &strDiffFolderPath, const std::wstring &strStaging)
{
    std::wstring strChecked;   // the difference folder as checked (full path)
    UpdateManifestText::EntryMap verified;
    long lResult = CheckAndStage(strDiffFolderPath, strStaging, strChecked, verified);
    if (lResult != 0) return lResult;
    g_updateGate.Step(L"backup");
    LOGWRITE(LOG_INFO, L"BackupCopy Start");
    lResult = BackupCopy();
    if (lResult != 0) {
        Show(MSG_UPDATE_BACKUP_FAILED);
        LOGWRITE(LOG_ERROR, L"BackupCopy Error");
        return lResult;
    }
    g_updateGate.Step(L"copy");
    if (m_seams.pfnBeforeCopy) m_seams.pfnBeforeCopy(strStaging);
    m_pVerified = &verified;
    lResult = DiffFileCopy(strStaging);
    m_pVerified = nullptr;
    if (lResult != 0) {
        LOGWRITE(LOG_ERROR, L"DiffFileCopy Error");
        Show(MSG_UPDATE_BACKUP_FAILED);
        return lResult;
    }
    RemoveUserFolder(strChecked);
    return 0;
}

long MonitorUpdate::RestartClient()
{
    g_updateGate.Step(L"start");
    LOGWRITE(LOG_INFO, L"NolvexConnectClient Application Start");
    long lResult = NolvexConnectStartProc();
    if (lResult != 0) {
        LOGWRITE(LOG_ERROR, L"NolvexConnectStartProc Error");
        Show(MSG_UPDATE_BACKUP_FAILED);
    }
    return lResult;
}

long MonitorUpdate::CheckAndStage(const std::wstring &strDiffFolderPath, const std::wstring &strStaging,
                                  std::wstring &strFolder, UpdateManifestText::EntryMap &verified)
{
    // Where the update comes from: nothing is touched when this fails.
    std::wstring strReason;
    UpdateSource source;
    {
        UserImpersonation asUser(m_hUserToken);
        if (m_hUserToken == nullptr || !asUser.IsActive()) {
            LOGWRITE(LOG_ERROR, L"The update is refused: the sender cannot be impersonated.");
            return -1;
        }
        std::wstring strRoot = UpdateSource::AllowedRootOf(m_hUserToken);
        if (!source.Check(strDiffFolderPath, strRoot, strFolder, strReason)) {
            LOGWRITE(LOG_ERROR, L"The update is refused: %s.", strReason.c_str());
            return -1;
        }
    }
    g_updateGate.Step(L"staging");
    StagingCopy staging(m_hUserToken);
    DWORD dwErr = staging.Copy(strFolder, strStaging, strReason);
    if (dwErr != ERROR_SUCCESS) {
        LOGWRITE(LOG_ERROR, L"The update is refused: %s (%lu).", strReason.c_str(), dwErr);
        Show(MSG_UPDATE_BACKUP_FAILED);
        return (long)dwErr;
    }
    g_updateGate.Step(L"verification");
    if (!VerifyStaged(strStaging, verified)) {
        Show(MSG_UPDATE_BACKUP_FAILED);
        return -1;
    }
    return 0;
}

bool MonitorUpdate::VerifyStaged(const std::wstring &strStaging, UpdateManifestText::EntryMap &verified)
{
    UpdateSignature signature = m_seams.pbPublicKey != nullptr
                                    ? UpdateSignature(m_seams.pbPublicKey, m_seams.dwPublicKeySize)
                                    : UpdateSignature::BuiltIn();
    UpdateManifest manifest(signature);
    std::wstring strReason;
    if (manifest.Verify(strStaging, strReason, &verified)) return true;
    LOGWRITE(LOG_ERROR, L"The update is refused: %s.", strReason.c_str());
    return false;
}

void MonitorUpdate::RemoveUserFolder(const std::wstring &strFolder)
{
    // The user's folder is removed as the user: a link placed there meanwhile cannot make the
    // service delete anything the user could not.
    UserImpersonation asUser(m_hUserToken);
    DWORD dwErr = asUser.IsActive() ? FolderMirror::RemoveTree(strFolder) : ERROR_CANNOT_IMPERSONATE;
    if (dwErr == ERROR_SUCCESS) LOGWRITE(LOG_INFO, L"Delete folder diff path:%s", strFolder.c_str());
    else LOGWRITE(LOG_WARN, L"Difference folder %s can not delete", strFolder.c_str());
}

long MonitorUpdate::BackupCopy()
{
    LOG_SCOPE();
    const std::wstring strIns = Ins();
    if (strIns.empty()) return -1;
    // The new backup is complete before it replaces the previous one.
    const std::wstring strFresh = strIns + kFreshBackupSuffix;
    FolderMirror::RemoveTree(strFresh);
    FolderMirror mirror{std::wstring()};
    DWORD dwErr = mirror.Mirror(strIns, strFresh);
    if (dwErr != ERROR_SUCCESS) {
        LOGWRITE(LOG_ERROR, L"clFileIO->CopyFolder Error");
        FolderMirror::RemoveTree(strFresh);
        return (long)dwErr;
    }
    long lResult = ReplaceBackup(strFresh);
    if (lResult == 0) LOGWRITE(LOG_DEBUG, L"[OutputInfo] BackupCopy OK");
    return lResult;
}

long MonitorUpdate::ReplaceBackup(const std::wstring &strFresh)
{
    const std::wstring strBackup = Ins() + BACKUP_SUFFIX;
    const std::wstring strOld = Ins() + kOldBackupSuffix;
    FolderMirror::RemoveTree(strOld);
    if (Exists(strBackup) && !MoveFileW(strBackup.c_str(), strOld.c_str())) {
        DWORD dwErr = GetLastError();
        LOG_API_ERROR(L"MoveFile", dwErr);
        FolderMirror::RemoveTree(strFresh);
        return (long)dwErr;
    }
    if (!MoveFileW(strFresh.c_str(), strBackup.c_str())) {
        DWORD dwErr = GetLastError();
        LOG_API_ERROR(L"MoveFile", dwErr);
        if (Exists(strOld) && !MoveFileW(strOld.c_str(), strBackup.c_str())) LOG_API_ERROR(L"MoveFile", GetLastError());
        FolderMirror::RemoveTree(strFresh);
        return (long)dwErr;
    }
    if (FolderMirror::RemoveTree(strOld) != ERROR_SUCCESS) LOGWRITE(LOG_WARN, L"The old backup %s stays.", strOld.c_str());
    return 0;
}

long MonitorUpdate::DiffFileCopy(const std::wstring &strDiffFolderPath)
{
    LOG_SCOPE();
    const std::wstring strIns = Ins();
    if (strIns.empty()) {
        RollbackOrLog();
        return -1;
    }
    const std::wstring strList = strDiffFolderPath + L"\\" + CHANGE_LIST;
    if (!Exists(strList)) {
        LOGWRITE(LOG_INFO, L"ChgListFile %s does not exist", strList.c_str());
    } else {
        ChangeListSetting list;
        if (!list.ReadSetting(strList)) {
            LOGWRITE(LOG_ERROR, L"ChangeList->ReadSetting Error");
            RollbackOrLog();
            return -1;
        }
        for (int i = 0; i < list.GetCount(); ++i) DeleteItem(list.GetMethod(i), list.GetType(i), list.GetName(i));
    }
    FolderMirror mirror(strIns + ASIDE_SUFFIX);
    std::vector<std::wstring> vecSkip(1, UpdateManifestText::FILE_NAME);
    DWORD dwErr = mirror.Overlay(strDiffFolderPath, strIns, vecSkip);
    if (dwErr == ERROR_SUCCESS) {
        std::wstring strMissing = MissingFromCopy(mirror, strIns);
        if (!strMissing.empty()) {
            LOGWRITE(LOG_ERROR, L"The verified file %s was not copied: it left the staging folder after the verification.",
                     strMissing.c_str());
            dwErr = ERROR_FILE_NOT_FOUND;
        }
    }
    if (dwErr != ERROR_SUCCESS) {
        LOGWRITE(LOG_ERROR, L"clFileIO->CopyFolder Error");
        RollbackOrLog();
        return (long)dwErr;
    }
    return 0;
}

std::wstring MonitorUpdate::MissingFromCopy(const FolderMirror &mirror, const std::wstring &strIns)
{
    if (m_pVerified == nullptr) return std::wstring();
    std::set<std::wstring> setPut;
    const size_t nRoot = strIns.size() + 1;   // the install folder and its backslash
    for (const std::wstring &strPut : mirror.GetFilesPut())
        if (strPut.size() > nRoot) setPut.insert(UpdateManifestText::Key(strPut.substr(nRoot)));
    for (const auto &item : *m_pVerified)
        if (setPut.count(item.first) == 0) return item.second.strPath;
    return std::wstring();
}

long MonitorUpdate::RollbackOrLog()
{
    long lResult = CopyRollback();
    if (lResult != 0) LOGWRITE(LOG_ERROR, L"CopyRollback Error");
    return lResult;
}

void MonitorUpdate::DeleteItem(const std::wstring &strMethod, const std::wstring &strType, const std::wstring &strName)
{
    if (strMethod != L"D") {
        LOGWRITE(LOG_INFO, L"continue Next strMethod");
        return;
    }
    std::wstring strNormal;
    ChangeListName::Verdict verdict = ChangeListName::Check(strName, strNormal);
    if (verdict == ChangeListName::NAME_PROTECTED) {
        LOGWRITE(LOG_WARN, L"Can't Delete File %s", strName.c_str());
        return;
    }
    if (verdict == ChangeListName::NAME_LOGS) {
        LOGWRITE(LOG_WARN, L"Log folder does not delete");
        return;
    }
    if (verdict != ChangeListName::NAME_OK) {
        LOGWRITE(LOG_ERROR, L"The change list name [%s] is refused: %s.", strName.c_str(),
                 ChangeListName::VerdictText(verdict));
        return;
    }
    if (!NoReparseBelowInstall(strNormal)) return;
    const std::wstring strPath = m_strInstallPath + strNormal;
    if (strType == L"D") DeleteFolderItem(strPath);
    else if (strType == L"F") DeleteFileItem(strPath);
}

bool MonitorUpdate::NoReparseBelowInstall(const std::wstring &strNormal)
{
    for (size_t nPos = strNormal.find(L'\\');; nPos = strNormal.find(L'\\', nPos + 1)) {
        const std::wstring strStep = m_strInstallPath + strNormal.substr(0, nPos);
        DWORD dwAttr = Attributes(strStep);
        if (dwAttr != INVALID_FILE_ATTRIBUTES && (dwAttr & FILE_ATTRIBUTE_REPARSE_POINT) &&
            nPos != std::wstring::npos) {
            LOGWRITE(LOG_ERROR, L"The change list name [%s] is refused: a reparse point is on its way.",
                     strNormal.c_str());
            return false;
        }
        if (nPos == std::wstring::npos) return true;
    }
}

DWORD MonitorUpdate::Attributes(const std::wstring &strPath)
{
    return m_seams.pfnGetAttributes ? m_seams.pfnGetAttributes(strPath) : GetFileAttributesW(strPath.c_str());
}

void MonitorUpdate::DeleteFolderItem(const std::wstring &strPath)
{
    if (!Exists(strPath)) {
        LOGWRITE(LOG_INFO, L"clFileIO->isExistsPath Next");
        return;
    }
    if (FolderMirror::RemoveTree(strPath) == ERROR_SUCCESS) LOGWRITE(LOG_INFO, L"Delete Folder %s", strPath.c_str());
    else LOGWRITE(LOG_WARN, L"Folder %s can not delete", strPath.c_str());
}

void MonitorUpdate::DeleteFileItem(const std::wstring &strPath)
{
    DWORD dwAttr = GetFileAttributesW(strPath.c_str());
    if (dwAttr == INVALID_FILE_ATTRIBUTES) return;
    // A link is removed as a link; a folder named as a file is not touched.
    if ((dwAttr & FILE_ATTRIBUTE_DIRECTORY) && !(dwAttr & FILE_ATTRIBUTE_REPARSE_POINT)) {
        LOGWRITE(LOG_WARN, L"File %s could not delete", strPath.c_str());
        return;
    }
    BOOL bDeleted = (dwAttr & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(strPath.c_str()) : DeleteFileW(strPath.c_str());
    if (!bDeleted) LOG_API_ERROR(L"DeleteFile", GetLastError());
    if (Exists(strPath)) LOGWRITE(LOG_WARN, L"File %s could not delete", strPath.c_str());
    else LOGWRITE(LOG_INFO, L"File %s was deleted", strPath.c_str());
}

long MonitorUpdate::CopyRollback()
{
    LOG_SCOPE();
    const std::wstring strIns = Ins();
    if (strIns.empty()) return -1;
    const std::wstring strBackup = strIns + BACKUP_SUFFIX;
    const std::wstring strFailed = strIns + FAILED_SUFFIX;
    if (!Exists(strBackup)) {
        LOGWRITE(LOG_ERROR, L"There is no backup to restore: %s", strBackup.c_str());
        return -1;
    }
    FolderMirror mirror(strIns + ASIDE_SUFFIX);
    FolderMirror::RemoveTree(strFailed);
    DWORD dwErr = mirror.Snapshot(strIns, strFailed);
    if (dwErr != ERROR_SUCCESS) {
        LOGWRITE(LOG_ERROR, L"clFileIO->CopyFolder Error");
        return (long)dwErr;
    }
    LOGWRITE(LOG_INFO, L"RenameFolder Copy OK");
    g_updateGate.Step(L"restore");
    dwErr = mirror.Mirror(strBackup, strIns);
    if (dwErr == ERROR_SUCCESS) {
        LOGWRITE(LOG_INFO, L"BackupFolder to InstallFolder Copy OK");
        if (FolderMirror::RemoveTree(strFailed) != ERROR_SUCCESS) {
            LOGWRITE(LOG_ERROR, L"clFileIO->RemoveFolder Error");
            return -1;
        }
        return 0;
    }
    LOGWRITE(LOG_ERROR, L"clFileIO->CopyFolder Error");
    // The backup could not be put back: the install folder returns to the state before the
    // rollback, and the rollback still reports its failure.
    DWORD dwBack = mirror.Mirror(strFailed, strIns);
    if (dwBack != ERROR_SUCCESS) {
        LOGWRITE(LOG_ERROR, L"The state before the rollback could not be restored from %s.", strFailed.c_str());
        return (long)dwBack;
    }
    LOGWRITE(LOG_INFO, L"RenameFolder to InstallFolder Copy OK");
    LOGWRITE(LOG_ERROR, L"The rollback failed; the install folder is as it was before the rollback.");
    return (long)dwErr;
}

HANDLE MonitorUpdate::SessionToken(DWORD &dwError)
{
    // The session of the user who asked; without a requester, the first active session.
    DWORD dwSession = 0;
    bool bSession = m_hUserToken != nullptr ? TokenIdentity::SessionOf(m_hUserToken, dwSession)
                                            : ActiveSession::Find(dwSession) == ActiveSession::FOUND;
    HANDLE hToken = nullptr;
    if (bSession) {
        LOGWRITE(LOG_INFO, L"Active SessionId  %ld", (long)dwSession);
        if (WTSQueryUserToken(dwSession, &hToken)) return hToken;
        dwError = GetLastError();
        LOG_API_ERROR(L"WTSQueryUserToken", dwError);
        hToken = nullptr;
    }
    if (m_hUserToken == nullptr) return nullptr;
    // The requester's own token stands in: the same user in the same session.
    if (!DuplicateTokenEx(m_hUserToken, TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation, TokenPrimary, &hToken)) {
        dwError = GetLastError();
        LOG_API_ERROR(L"DuplicateTokenEx", dwError);
        return nullptr;
    }
    return hToken;
}

long MonitorUpdate::NolvexConnectStartProc()
{
    LOG_SCOPE();
    const std::wstring strIns = Ins();
    if (strIns.empty()) {
        RollbackOrLog();
        return -1;
    }
    const std::wstring strExe = m_strInstallPath + ProductNames::ClientExe();
    if (!Exists(strExe)) {
        LOGWRITE(LOG_ERROR, L"[OutputInfo] %s File is not exist error", strExe.c_str());
        return -1;
    }
    DWORD dwErr = ERROR_NO_TOKEN;
    ScopedHandle hSession(SessionToken(dwErr));
    if (!hSession) return (long)dwErr;
    ScopedHandle hPrimary;
    if (!DuplicateTokenEx(hSession.Get(), TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation, TokenPrimary,
                          hPrimary.Receive())) {
        dwErr = GetLastError();
        LOG_API_ERROR(L"DuplicateTokenEx", dwErr);
        return (long)dwErr;
    }
    ScopedEnvironmentBlock environment;
    if (!CreateEnvironmentBlock(environment.Receive(), hPrimary.Get(), FALSE)) {
        dwErr = GetLastError();
        LOG_API_ERROR(L"CreateEnvironmentBlock", dwErr);
        return (long)dwErr;
    }
    std::wstring strCommand = L"\"" + strExe + L"\"";
    std::vector<wchar_t> vecDesktop(kDesktop, kDesktop + sizeof(kDesktop) / sizeof(kDesktop[0]));
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.lpDesktop = vecDesktop.data();
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessAsUserW(hPrimary.Get(), strExe.c_str(), &strCommand[0], nullptr, nullptr, FALSE,
                              kClientCreationFlags, environment.Get(), strIns.c_str(), &si, &pi)) {
        dwErr = GetLastError();
        LOG_API_ERROR(L"CreateProcessAsUser", dwErr);
        return (long)dwErr;
    }
    ScopedHandle hProcess(pi.hProcess);
    ScopedHandle hThread(pi.hThread);
    LOGWRITE(LOG_INFO, L"The client %lu was started: %s", pi.dwProcessId, strCommand.c_str());
    return 0;
}

void MonitorUpdate::RemoveSetAside()
{
    const std::wstring strIns = Ins();
    if (strIns.empty()) return;
    const std::wstring strAside = strIns + ASIDE_SUFFIX;
    if (!Exists(strAside)) return;
    if (FolderMirror::RemoveTree(strAside) == ERROR_SUCCESS) LOGWRITE(LOG_INFO, L"Removed the files set aside: %s", strAside.c_str());
    else LOGWRITE(LOG_WARN, L"The files set aside stay: %s", strAside.c_str());
}
