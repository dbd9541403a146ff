#include "TraceLog.h"
#include "Coding.h"
#include "Date.h"
#include "FileIO.h"
#include "IniFile.h"
#include "NolvexException.h"
#include "OSInformation.h"
#include "UserSettingFile.h"
#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <new>

namespace {

const wchar_t kMonitorAppName[] = L"NolvexConnectMonitor";
const wchar_t kMutexPrefix[] = L"NolvexConnectLogs_";
const wchar_t kFilePrefix[] = L"NolvexConnectLog_";
const wchar_t kNoLogPath[] = L"Logs Err : Can't Get Log File Path";
const wchar_t kMasked[] = L"*****";
// Key of the identifiers encoded in the lines; support decodes them with the same key.
const wchar_t kLogKey[] = L"Lr7QvN2xKp4Tb";
const int kMaxRetries = 5;
const DWORD kRetryPauseMs = 200;
// A log folder that stays unwritable must not make the notices grow without end.
const size_t kMaxPending = 1000;
const size_t kMaxExceptionText = 512;

// Set while a thread is inside a logger's Write: the file, folder and OS classes the logger calls
// log themselves, and those nested calls must produce no lines (nor take the mutex again). One
// mark per thread for the whole process, so that it also holds for a second logger instance
// (tests, benchmark), whose helpers log through the process logger.
thread_local const TraceLog *t_pWritingLogger = nullptr;

const wchar_t *LevelTag(int iLevel)
{
    switch (iLevel) {
    case LOG_INFO: return L"INFO   :";
    case LOG_ERROR: return L"ERROR  :";
    case LOG_WARN: return L"WARN   :";
    case LOG_DEBUG: return L"DEBUG  :";
    case LOG_TRACE: return L"TRACE  :";
    default: return L"UNKNOWN\uFF1A";
    }
}

bool SameDate(const SYSTEMTIME &stA, const SYSTEMTIME &stB)
{
    return stA.wYear == stB.wYear && stA.wMonth == stB.wMonth && stA.wDay == stB.wDay;
}

ULONGLONG TimeValue(const SYSTEMTIME &stTime)
{
    FILETIME ft = {};
    if (!SystemTimeToFileTime(&stTime, &ft)) return 0;
    return ((ULONGLONG)ft.dwHighDateTime << 32) | ft.dwLowDateTime;
}

std::wstring WithBackslash(const std::wstring &strFolder)
{
    if (!strFolder.empty() && strFolder.back() != L'\\') return strFolder + L"\\";
    return strFolder;
}

std::wstring Widen(const char *pszText)
{
    std::string str(pszText != nullptr ? pszText : "");
    if (str.size() > kMaxExceptionText) str.resize(kMaxExceptionText);
    return std::wstring(str.begin(), str.end());
}

}  // namespace

bool TraceLog::IsWritingThread()
{
    return t_pWritingLogger != nullptr;
}

TraceLog &TraceLog::GetInstance()
{
    static TraceLog instance;
    return instance;
}

TraceLog::TraceLog() : TraceLog(Seams())
{
}

TraceLog::TraceLog(const Seams &seams)
    : m_iLevel(-1), m_strExtension(L".dat"), m_strAppName(seams.strAppName), m_iFileOpen(0),
      m_pFile(nullptr), m_strLastStamp(L"0000/00/00"), m_hMutex(nullptr), m_seams(seams)
{
    // GetModuleName logs; with this thread marked as writing, those calls are skipped instead of
    // reaching a process logger that is still being constructed.
    const TraceLog *pOuter = t_pWritingLogger;
    t_pWritingLogger = this;
    try {
        if (m_strAppName.empty()) ResolveAppName();
        EnsureMutex();   // a failure leaves it missing: Write tries again
    } catch (...) {
    }
    t_pWritingLogger = pOuter;
}

TraceLog::~TraceLog()
{
    delete m_pFile;
    if (m_hMutex != nullptr) CloseHandle(m_hMutex);
}

long TraceLog::Write(int iLevel, std::wstring strSourceFile, std::wstring strFunctionName, long lLine,
                     const wchar_t *pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    long lResult = WriteV(iLevel, strSourceFile, strFunctionName, lLine, pszFormat, args);
    va_end(args);
    return lResult;
}

long TraceLog::WriteV(int iLevel, const std::wstring &strSourceFile, const std::wstring &strFunctionName,
                      long lLine, const wchar_t *pszFormat, va_list args)
{
    if (pszFormat == nullptr) return 0;
    RunLocked([&]() {
        std::wstring strMessage = FormatV(pszFormat, args);
        std::replace(strMessage.begin(), strMessage.end(), L'\r', L' ');
        std::replace(strMessage.begin(), strMessage.end(), L'\n', L' ');
        WriteLine(iLevel, strSourceFile, strFunctionName, lLine, strMessage);
    });
    return 0;
}

void TraceLog::SetLogLevel(unsigned int uiValue)
{
    if (uiValue != 0 && uiValue != 1) return;
    RunLocked([&]() { m_iLevel = (int)uiValue; });
}

void TraceLog::SetUserIdValue(const std::wstring &strValue)
{
    RunLocked([&]() { m_strUserIdValue = strValue; });
}

void TraceLog::SetTerminalIdValue(const std::wstring &strValue)
{
    RunLocked([&]() { m_strTerminalIdValue = strValue; });
}

template <typename Fn>
bool TraceLog::RunLocked(Fn fn)
{
    if (t_pWritingLogger != nullptr) return false;   // a nested call: see t_pWritingLogger
    t_pWritingLogger = this;
    bool bDone = false;
    try {
        if (EnsureMutex()) {
            DWORD dwWait = WaitForSingleObject(m_hMutex, INFINITE);
            // An abandoned mutex is ours now; the file is consistent because every line closes it.
            if (dwWait == WAIT_OBJECT_0 || dwWait == WAIT_ABANDONED) {
                try {
                    fn();
                    bDone = true;
                } catch (...) {
                    // Logging never throws to its caller; WriteLine has queued what it could.
                }
                ReleaseMutex(m_hMutex);
            }
        }
    } catch (...) {
    }
    t_pWritingLogger = nullptr;
    return bDone;
}

void TraceLog::ResolveAppName()
{
    std::unique_ptr<OSInformation> pInfo(CreateOSInformation());
    if (pInfo) m_strAppName = pInfo->GetModuleName();
}

bool TraceLog::EnsureMutex()
{
    if (m_hMutex != nullptr) return true;
    // Same name in every process of one program: they share one file and take turns on it.
    std::wstring strName = kMutexPrefix + m_strAppName;
    HANDLE hMutex = CreateMutexW(nullptr, FALSE, strName.c_str());
    if (hMutex == nullptr) return false;
    // Threads of this process may get here together after a failure in the constructor.
    if (InterlockedCompareExchangePointer(&m_hMutex, hMutex, nullptr) != nullptr) CloseHandle(hMutex);
    return true;
}

bool TraceLog::IsMonitorService() const
{
    return m_strAppName == kMonitorAppName;
}

void TraceLog::WriteLine(int iLevel, const std::wstring &strSourceFile, const std::wstring &strFunctionName,
                         long lLine, const std::wstring &strMessage)
{
    try {
        if (iLevel == LOG_DEBUG && !IsDebugOn()) return;
        if (m_pFile == nullptr) m_pFile = new FileIO();
        ResolveFolder();
        if (m_strFolder.empty()) {
            if (!m_vecPending.empty() && m_vecPending.back() != kNoLogPath) QueueNotice(kNoLogPath);
            return;
        }
        if (iLevel == LOG_TRACE && !IsTraceOn()) return;

        SYSTEMTIME stNow;
        ReadClock(stNow);
        std::wstring strStamp = StampOf(stNow);
        bool bUserChanged = UserPartChanged();
        if (bUserChanged || strStamp.compare(0, 10, m_strLastStamp, 0, 10) != 0) SwitchFile(stNow, strStamp);

        WriteToFile(BuildLine(strStamp, iLevel, strSourceFile, strFunctionName, lLine, strMessage));
    } catch (const std::bad_alloc &e) {
        QueueNotice(L"Logs Err : Exception!! Catch CMemoryException " + Widen(e.what()));
    } catch (const NolvexException &e) {
        QueueNotice(L"Logs Err : Exception!! Catch CException " + e.GetText());
    } catch (const std::exception &e) {
        QueueNotice(L"Logs Err : Exception!! Catch CException " + Widen(e.what()));
    } catch (...) {
        QueueNotice(L"Logs Err : Exception!! The unexpected exception occurred.");
    }
}

bool TraceLog::IsDebugOn()
{
    if (m_iLevel == 0 || m_iLevel == 1) return m_iLevel == 1;
    if (IsMonitorService()) {
        m_iLevel = 0;   // the service is switched to debug only by its pipe message
        return false;
    }
    std::wstring strValue = ReadConfiguredLogLevel();
    long lValue = strValue.empty() ? 0 : wcstol(strValue.c_str(), nullptr, 10);
    // Only the two known values are kept; another value answers this one line.
    if (lValue == 0 || lValue == 1) m_iLevel = (int)lValue;
    return lValue != 0;
}

// LogLevel of the user setting file when it has a path, else of the initialization file. The
// logger only reads what the two process-wide objects have published and never waits for their
// operation locks (TryReadOnce): a thread that holds one of them may itself be waiting for the
// logger's mutex (docs/settings.md, lock order).
std::wstring TraceLog::ReadConfiguredLogLevel()
{
    UserSettingFile &settings = UserSettingFile::GetInstance();
    settings.TryReadOnce();
    if (!settings.GetFilePath().empty()) return settings.GetLogLevel();
    IniFile &ini = IniFile::GetInstance();
    ini.TryReadOnce();
    return ini.GetLogLevel();
}

// A new user setting was written (its changed flag, cleared here): the user part is computed
// again and a different one switches the file.
bool TraceLog::UserPartChanged()
{
    if (IsMonitorService() || !UserSettingFile::GetInstance().TakeChanged()) return false;
    std::wstring strUserPart = ComputeUserPart();
    if (strUserPart == m_strUserPart) return false;
    m_strUserPart = strUserPart;
    return true;
}

void TraceLog::ResolveFolder()
{
    if (!m_strFolder.empty()) return;
    std::wstring strFolder = m_seams.strFolder.empty() ? ProductLogFolder() : WithBackslash(m_seams.strFolder);
    // MakeFolder also refuses a file standing where the folder should be.
    if (!strFolder.empty() && m_pFile->MakeFolder(strFolder) != 0) {
        QueueNotice(Format(L"Logs Warn  :Failure to Create Folder %s", strFolder.c_str()));
        strFolder.clear();
    }
    if (strFolder.empty()) {
        wchar_t szCurrent[MAX_PATH + 1] = {};
        DWORD dwLen = GetCurrentDirectoryW(MAX_PATH, szCurrent);
        if (dwLen == 0 || dwLen > MAX_PATH) return;   // the line is dropped; tried again next line
        strFolder = szCurrent;
        QueueNotice(Format(L"Logs Warn  :Change Folder Log Outputs To %s", strFolder.c_str()));
    }
    m_strFolder = WithBackslash(strFolder);
}

// The monitor service (LocalSystem) logs for the machine, every other program for its user.
std::wstring TraceLog::ProductLogFolder()
{
    std::unique_ptr<OSInformation> pInfo(CreateOSInformation());
    std::wstring strBase;
    if (pInfo) strBase = IsMonitorService() ? pInfo->GetAllUsersAppDataFolderPath() : pInfo->GetAppDataFolderPath(nullptr);
    if (strBase.empty()) {
        QueueNotice(L"Logs Warn  :Can't Get Apllication Data Folder");
        return strBase;
    }
    return WithBackslash(strBase) + L"Logs\\";
}

bool TraceLog::IsTraceOn()
{
    return m_pFile->isExistsPath(m_strFolder + L"trace");
}

void TraceLog::ReadClock(SYSTEMTIME &stNow) const
{
    if (m_seams.pfnClock != nullptr) m_seams.pfnClock(&stNow);
    else GetLocalTime(&stNow);
}

std::wstring TraceLog::StampOf(const SYSTEMTIME &stTime)
{
    Date date;
    date.SetTime(stTime);
    return date.GetTimeStamp();
}

void TraceLog::SwitchFile(const SYSTEMTIME &stNow, const std::wstring &strStamp)
{
    DeleteOldFiles(stNow);
    if (m_strUserPart.empty()) m_strUserPart = ComputeUserPart();
    std::wstring strDate = Format(L"%04d%02d%02d", stNow.wYear, stNow.wMonth, stNow.wDay);
    m_strFileName = kFilePrefix + strDate + (m_strUserPart.empty() ? L"" : L"_" + m_strUserPart) + m_strExtension;
    m_strLastStamp = strStamp;
}

// Elsewhere than in the monitor service the user part is the NolvexID of the user setting file
// (also kept as userIdValue), read once if nobody has read it yet.
std::wstring TraceLog::ComputeUserPart()
{
    if (IsMonitorService()) return SanitizeUserPart(kMonitorAppName);
    UserSettingFile &settings = UserSettingFile::GetInstance();
    settings.TryReadOnce();
    std::wstring strId = settings.GetNolvexID();
    // An id set by the program (SetUserIdValue) is not forgotten for want of a file.
    if (!strId.empty()) m_strUserIdValue = strId;
    return SanitizeUserPart(strId);
}

std::wstring TraceLog::SanitizeUserPart(const std::wstring &strUserPart)
{
    std::wstring str = strUserPart;
    for (wchar_t &c : str) {
        if (wcschr(L":/.\\*?<>|\"", c) != nullptr && c != L'\0') c = L' ';
    }
    return str;
}

// Keeps the log files of the two most recent days that have files; runs at each file switch,
// before the new day's file exists.
void TraceLog::DeleteOldFiles(const SYSTEMTIME &stNow)
{
    std::vector<FileEntryInfo> vecFiles;
    m_pFile->GetFileListSubFolder(m_strFolder, kFilePrefix + std::wstring(L"*") + m_strExtension, vecFiles, false);
    if (vecFiles.empty()) return;
    std::sort(vecFiles.begin(), vecFiles.end(), [](const FileEntryInfo &a, const FileEntryInfo &b) {
        return TimeValue(a.stCreationUTC) > TimeValue(b.stCreationUTC);
    });
    // Another writer of this folder has already switched to today and done the pass.
    if (SameDate(vecFiles.front().stCreationLocal, stNow)) return;

    size_t nFirstToDelete = vecFiles.size();
    int iDateChanges = 0;
    for (size_t i = 1; i < vecFiles.size(); ++i) {
        if (!SameDate(vecFiles[i - 1].stCreationLocal, vecFiles[i].stCreationLocal) && ++iDateChanges == 2) {
            nFirstToDelete = i;
            break;
        }
    }
    int iRetries = 0;   // shared by the whole pass
    for (size_t i = nFirstToDelete; i < vecFiles.size(); ++i)
        DeleteOldFile(vecFiles[i].strFolder + vecFiles[i].strName, iRetries, stNow);
}

void TraceLog::DeleteOldFile(const std::wstring &strPath, int &iRetries, const SYSTEMTIME &stNow)
{
    while (m_pFile->RemoveFile2(strPath) == 0) {
        if (iRetries >= kMaxRetries) {
            // Said as it is: the file is still there.
            QueueNotice(Format(L"%s Logs Err : Can't Delete Old Log File %s", StampOf(stNow).c_str(), strPath.c_str()));
            return;
        }
        Sleep(kRetryPauseMs);
        ++iRetries;
        QueueNotice(Format(L"Retrying to delete the logfile [%d]", iRetries));
    }
    QueueNotice(Format(L"%s Logs Info  :Delete Old Log File %s", StampOf(stNow).c_str(), strPath.c_str()));
}

std::wstring TraceLog::BuildLine(const std::wstring &strStamp, int iLevel, const std::wstring &strSourceFile,
                                 const std::wstring &strFunctionName, long lLine, const std::wstring &strMessage)
{
    size_t nSep = strSourceFile.find_last_of(L"\\/");
    std::wstring strSource = nSep == std::wstring::npos ? strSourceFile : strSourceFile.substr(nSep + 1);
    return Format(L"%s  %s%-25s(%05ld) (ThID=%08ld) %-40s %s", strStamp.c_str(), LevelTag(iLevel), strSource.c_str(),
                  lLine, (long)GetCurrentThreadId(), strFunctionName.c_str(), MaskBraces(strMessage).c_str());
}

// "{secret}" becomes "*****"; the current user's or terminal's identifier keeps its braces and is
// written encoded, so that support can match lines of one user without reading the id.
std::wstring TraceLog::MaskBraces(const std::wstring &strMessage)
{
    std::wstring str = strMessage;
    size_t nPos = 0;
    for (;;) {
        size_t nOpen = str.find(L'{', nPos);
        if (nOpen == std::wstring::npos) break;
        size_t nClose = str.find(L'}', nOpen + 1);
        if (nClose == std::wstring::npos) break;
        std::wstring strContent = str.substr(nOpen + 1, nClose - nOpen - 1);
        if (strContent.empty()) {
            nPos = nClose + 1;
        } else if (strContent == m_strUserIdValue || strContent == m_strTerminalIdValue) {
            std::wstring strEncoded;
            if (EncodeIdentifier(strContent, strEncoded)) {
                str.replace(nOpen + 1, strContent.size(), strEncoded);
                nPos = nOpen + 1 + strEncoded.size() + 1;
            } else {
                // An id that cannot be encoded is hidden like any secret, and the rest of the
                // message is still masked: a failing coder must not put ids or passwords in clear.
                str.replace(nOpen, nClose - nOpen + 1, kMasked);
                nPos = nOpen + wcslen(kMasked);
            }
        } else {
            str.replace(nOpen, nClose - nOpen + 1, kMasked);
            nPos = nOpen + wcslen(kMasked);
        }
    }
    return str;
}

// The identifier's text in the log: its string AES coding (code type 8) under the fixed log key,
// so that support can match the lines of one user without the id standing in plain text. False
// (with a notice) when the coding fails. Notices are never masked, so they name the id only as
// "*****".
bool TraceLog::EncodeIdentifier(const std::wstring &strValue, std::wstring &strEncoded)
{
    std::unique_ptr<Coding> pCoding(Coding::GetCode(m_seams.iIdCodeType));
    const BYTE *pbValue = reinterpret_cast<const BYTE *>(strValue.c_str());
    const DWORD dwValueBytes = (DWORD)(strValue.size() * sizeof(wchar_t));
    long lSize = pCoding ? pCoding->Encode(pbValue, dwValueBytes, nullptr, kLogKey) : -1;
    if (lSize < 1) {
        QueueNotice(Format(L"Logs Warn  :Can't Get Encode Size %s", kMasked));
        return false;
    }
    // Zeroed, with room for a terminating zero character behind the text.
    std::vector<BYTE> buffer((size_t)lSize + 2, 0);
    long lText = pCoding->Encode(pbValue, dwValueBytes, buffer.data(), kLogKey);
    if (lText < 1 || lText > lSize) {
        QueueNotice(Format(L"Logs Warn  :Can't Encode Text %s", kMasked));
        return false;
    }
    strEncoded.assign(reinterpret_cast<const wchar_t *>(buffer.data()), (size_t)lText / sizeof(wchar_t));
    return true;
}

// The file is open only while this process holds the mutex: open, write the notices and the
// line, close. Held open for the day with write denied to others, a second process of the same
// program could never write its lines; this way every process of the program gets its turn, and
// only a different program colliding on the same file needs the retries.
void TraceLog::WriteToFile(const std::wstring &strLine)
{
    for (int iRetry = 0;; ++iRetry) {
        bool bNoticesWritten = false;
        try {
            m_iFileOpen = m_pFile->FileOpen(m_strFolder + m_strFileName);
            bNoticesWritten = WritePending();
            AppendText(strLine);
            m_pFile->FileClose();
            return;
        } catch (const NolvexException &e) {
            m_pFile->FileClose();
            if (bNoticesWritten || iRetry >= kMaxRetries) {
                GiveUpLine(strLine, e.GetText());
                return;
            }
            Sleep(kRetryPauseMs);
            QueueNotice(Format(L"Retrying to write the logfile [%d]", iRetry + 1));
            // A log folder removed while the program runs is made again rather than failing
            // (and waiting through the retries) on every line from now on.
            if (!m_pFile->isExistsPath(m_strFolder)) m_pFile->MakeFolder(m_strFolder);
        } catch (...) {
            m_pFile->FileClose();
            throw;   // memory and other failures: WriteLine queues them, the line is given up
        }
    }
}

// Writes all queued notices as bare lines in one piece. True when there were any.
bool TraceLog::WritePending()
{
    if (m_vecPending.empty()) return false;
    std::wstring strText;
    for (const std::wstring &strNotice : m_vecPending) strText += strNotice + L"\r\n";
    AppendText(strText.substr(0, strText.size() - 2));
    m_vecPending.clear();
    return true;
}

void TraceLog::AppendText(const std::wstring &strText)
{
    std::wstring strOut = strText + L"\r\n";
    // The file is UTF-16LE without byte-order mark: wchar_t is exactly that on this platform.
    m_pFile->AppendWrite(strOut.data(), (DWORD)(strOut.size() * sizeof(wchar_t)));
}

void TraceLog::QueueNotice(const std::wstring &strNotice)
{
    if (m_vecPending.size() < kMaxPending) m_vecPending.push_back(strNotice);
}

// The line is kept with the notice, to reach the file before the next line that succeeds.
void TraceLog::GiveUpLine(const std::wstring &strLine, const std::wstring &strReason)
{
    QueueNotice(L"Logs Err : Exception!! Catch CException " + strReason);
    QueueNotice(strLine);
}

std::wstring TraceLog::Format(const wchar_t *pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    std::wstring str = FormatV(pszFormat, args);
    va_end(args);
    return str;
}

std::wstring TraceLog::FormatV(const wchar_t *pszFormat, va_list args)
{
    va_list argsSize;
    va_copy(argsSize, args);
    int iLen = _vscwprintf(pszFormat, argsSize);
    va_end(argsSize);
    if (iLen < 0) return pszFormat;   // a broken format: the text as it stands
    std::vector<wchar_t> vecBuffer(iLen + 1, L'\0');
    va_list argsText;
    va_copy(argsText, args);
    _vsnwprintf(&vecBuffer[0], iLen + 1, pszFormat, argsText);
    va_end(argsText);
    return std::wstring(&vecBuffer[0], iLen);
}
