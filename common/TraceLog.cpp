#include "TraceLog.h"
#include "LogFolder.h"
#include "SpinBackoff.h"
#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <new>
#include <stdexcept>

std::wstring SystemErrorText(DWORD dwError);   // Log.cpp: FormatMessage only, it does not log

namespace {

const wchar_t kMonitorAppName[] = L"NolvexConnectMonitor";
const wchar_t kMutexPrefix[] = L"NolvexConnectLogs_";
const wchar_t kFilePrefix[] = L"NolvexConnectLog_";
const wchar_t kNoLogPath[] = L"Logs Err : Can't Get Log File Path";
const wchar_t kMasked[] = L"*****";
const wchar_t kTraceSwitch[] = L"trace";
const int kMaxRetries = 5;
const DWORD kRetryPauseMs = 200;
// A log folder that stays unwritable must not make the notices grow without end.
const size_t kMaxPending = 1000;
const size_t kMaxExceptionText = 512;
// The lock is held for one append: threads that meet there spin a little before they sleep.
const DWORD kLockSpinCount = 4000;
// How often a thread waiting for the writer looks whether the writer's role was handed on.
const int kWriterCheckInterval = 16;
// The named mutex guards only the file switch and the deletion of old files; a process that keeps
// it longer than this (hung, or suspended in a debugger) is passed by.
const DWORD kMutexWaitMs = 10000;
// Set while a thread is inside a logger's Write: what the logger calls through its seams may log
// itself, and those nested calls must produce no lines (nor take the locks again). One mark per
// thread for the whole process, so that it also holds for a second logger instance (tests,
// benchmark), whose seams log through the process logger.
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

bool IsGone(DWORD dwError)
{
    return dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND;
}

}  // namespace

// Marks the calling thread as inside this logger for its lifetime.
class TraceLog::WritingMark {
public:
    explicit WritingMark(const TraceLog *pLog) : m_pOuter(t_pWritingLogger) { t_pWritingLogger = pLog; }
    ~WritingMark() { t_pWritingLogger = m_pOuter; }
    WritingMark(const WritingMark &) = delete;
    WritingMark &operator=(const WritingMark &) = delete;

private:
    const TraceLog *m_pOuter;
};

// The processes of one program one at a time, for a bounded time.
class TraceLog::NamedMutexTurn {
public:
    explicit NamedMutexTurn(TraceLog &log) : m_hMutex(log.EnsureMutex() ? log.m_hMutex : nullptr), m_bOwned(false)
    {
        if (m_hMutex == nullptr) return;
        DWORD dwWait = WaitForSingleObject(m_hMutex, kMutexWaitMs);
        // An abandoned mutex is ours now: its holder died, the file work is done again anyway.
        m_bOwned = dwWait == WAIT_OBJECT_0 || dwWait == WAIT_ABANDONED;
    }
    ~NamedMutexTurn()
    {
        if (m_bOwned) ReleaseMutex(m_hMutex);
    }
    NamedMutexTurn(const NamedMutexTurn &) = delete;
    NamedMutexTurn &operator=(const NamedMutexTurn &) = delete;

private:
    HANDLE m_hMutex;
    bool m_bOwned;
};

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
      m_strLastStamp(L"0000/00/00"), m_hMutex(nullptr), m_seams(seams), m_lock(kLockSpinCount), m_lFolderReady(0), m_lTraceOn(0), m_lTraceCheckedAt(0),
      m_lTraceKnown(0), m_lQueued(0), m_lWritten(0),
      m_bWriting(false)
{
    // The name comes through a seam that logs; with this thread marked as writing, those calls
    // are skipped instead of reaching a process logger that is still being constructed.
    WritingMark mark(this);
    try {
        if (m_strAppName.empty()) ResolveAppName();
    } catch (...) {
        // Without a name the logger still writes, under the mutex of the empty name.
    }
    EnsureMutex();   // a failure leaves it missing: the next file switch tries again
}

TraceLog::~TraceLog()
{
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

long TraceLog::WriteAt(int iLevel, const LogSite &site, long lLine, const wchar_t *pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    long lResult = WriteV(iLevel, site.strSource, site.strFunction, lLine, pszFormat, args);
    va_end(args);
    return lResult;
}

long TraceLog::WriteV(int iLevel, const std::wstring &strSourceFile, const std::wstring &strFunctionName,
                      long lLine, const wchar_t *pszFormat, va_list args)
{
    // A nested call (see t_pWritingLogger) and a line that will be dropped end here.
    if (pszFormat == nullptr || t_pWritingLogger != nullptr || WillDrop(iLevel)) return 0;
    WritingMark mark(this);
    try {
        // What needs none of the logger's state is done before its lock: the threads of a busy
        // process format their lines side by side and queue only for the file.
        SYSTEMTIME stNow;
        ReadClock(stNow);
        std::wstring strStamp = StampOf(stNow);
        std::wstring strMessage = FormatV(pszFormat, args);
        std::replace(strMessage.begin(), strMessage.end(), L'\r', L' ');
        std::replace(strMessage.begin(), strMessage.end(), L'\n', L' ');
        std::wstring strHead = BuildHead(strStamp, iLevel, strSourceFile, strFunctionName, lLine);
        LONG lTicket = 0;
        bool bWriter = false;
        {
            CriticalSection::Lock lock(m_lock);
            std::wstring strLine = PrepareLine(iLevel, stNow, strStamp, strHead, strMessage);
            if (strLine.empty()) return 0;
            lTicket = Enqueue(strLine, bWriter);
        }
        if (bWriter) WriteQueued(lTicket);
        else AwaitWritten(lTicket);
    } catch (const std::bad_alloc &e) {
        CriticalSection::Lock lock(m_lock);
        QueueNotice(L"Logs Err : Exception!! Catch CMemoryException " + Widen(e.what()));
    } catch (...) {
        // WriteLine queues its own failures; only the formatting can get here.
    }
    return 0;
}

// Without any lock: a DEBUG line while the switch is known to be off, a TRACE line while the
// folder is known and holds no switch.
bool TraceLog::WillDrop(int iLevel)
{
    if (iLevel == LOG_DEBUG) return m_iLevel == 0;
    if (iLevel == LOG_TRACE) return m_lFolderReady != 0 && !TraceSwitchOn();
    return false;
}

// m_strFolder does not change once m_lFolderReady is set. The answer of a look is kept for the
// seam's interval; two threads that look at once both write what they saw.
bool TraceLog::TraceSwitchOn()
{
    DWORD dwNow = GetTickCount();
    if (m_lTraceKnown != 0 && dwNow - (DWORD)m_lTraceCheckedAt < m_seams.dwTraceSwitchCheckMs) return m_lTraceOn != 0;
    LONG lOn = LogFolder::Exists(m_strFolder + kTraceSwitch) ? 1 : 0;
    InterlockedExchange(&m_lTraceOn, lOn);
    InterlockedExchange(&m_lTraceCheckedAt, (LONG)dwNow);
    InterlockedExchange(&m_lTraceKnown, 1);
    return lOn != 0;
}

void TraceLog::SetLogLevel(unsigned int uiValue)
{
    if (uiValue != 0 && uiValue != 1) return;
    InterlockedExchange(&m_iLevel, (LONG)uiValue);
}

void TraceLog::SetUserIdValue(const std::wstring &strValue)
{
    CriticalSection::Lock lock(m_lock);
    m_strUserIdValue = strValue;
}

void TraceLog::SetTerminalIdValue(const std::wstring &strValue)
{
    CriticalSection::Lock lock(m_lock);
    m_strTerminalIdValue = strValue;
}

std::wstring TraceLog::GetFolder()
{
    CriticalSection::Lock lock(m_lock);
    return m_strFolder;
}

std::wstring TraceLog::GetFileName()
{
    CriticalSection::Lock lock(m_lock);
    return m_strFileName;
}

void TraceLog::ResolveAppName()
{
    if (m_seams.pfnAppName != nullptr) m_strAppName = m_seams.pfnAppName();
}

bool TraceLog::EnsureMutex()
{
    if (m_hMutex != nullptr) return true;
    // Same name in every process of one program: they take turns at the file switch.
    std::wstring strName = kMutexPrefix + m_strAppName;
    HANDLE hMutex = CreateMutexW(nullptr, FALSE, strName.c_str());
    if (hMutex == nullptr) return false;
    if (InterlockedCompareExchangePointer(&m_hMutex, hMutex, nullptr) != nullptr) CloseHandle(hMutex);
    return true;
}

bool TraceLog::IsMonitorService() const
{
    return m_strAppName == kMonitorAppName;
}

// The line to write (with its line break), or empty when it is dropped. Under m_lock.
std::wstring TraceLog::PrepareLine(int iLevel, const SYSTEMTIME &stNow, const std::wstring &strStamp,
                                   const std::wstring &strHead, std::wstring &strMessage)
{
    try {
        if (iLevel == LOG_DEBUG && !IsDebugOn()) return std::wstring();
        ResolveFolder();
        if (m_strFolder.empty()) {
            if (!m_vecPending.empty() && m_vecPending.back() != kNoLogPath) QueueNotice(kNoLogPath);
            return std::wstring();
        }
        if (iLevel == LOG_TRACE && !TraceSwitchOn()) return std::wstring();

        bool bUserChanged = UserPartChanged();
        if (bUserChanged || strStamp.compare(0, 10, m_strLastStamp, 0, 10) != 0) SwitchFile(stNow, strStamp);
        MaskBraces(strMessage);
        std::wstring strLine;
        strLine.reserve(strHead.size() + strMessage.size() + 2);
        strLine.append(strHead).append(strMessage).append(L"\r\n");
        return strLine;
    } catch (const std::bad_alloc &e) {
        QueueNotice(L"Logs Err : Exception!! Catch CMemoryException " + Widen(e.what()));
    } catch (const std::exception &e) {
        QueueNotice(L"Logs Err : Exception!! Catch CException " + Widen(e.what()));
    } catch (...) {
        QueueNotice(L"Logs Err : Exception!! The unexpected exception occurred.");
    }
    return std::wstring();
}

bool TraceLog::IsDebugOn()
{
    LONG lLevel = m_iLevel;
    if (lLevel == 0 || lLevel == 1) return lLevel == 1;
    if (IsMonitorService()) {
        InterlockedExchange(&m_iLevel, 0);   // the service is switched to debug only by its pipe message
        return false;
    }
    std::wstring strValue = m_seams.pfnConfiguredLogLevel != nullptr ? m_seams.pfnConfiguredLogLevel() : L"";
    long lValue = strValue.empty() ? 0 : wcstol(strValue.c_str(), nullptr, 10);
    // Only the two known values are kept; another value answers this one line.
    if (lValue == 0 || lValue == 1) InterlockedCompareExchange(&m_iLevel, (LONG)lValue, -1);
    return lValue != 0;
}

// A new user setting was written (its changed flag, cleared here): the user part is computed
// again and a different one switches the file.
bool TraceLog::UserPartChanged()
{
    if (IsMonitorService() || m_seams.pfnTakeUserChange == nullptr || !m_seams.pfnTakeUserChange()) return false;
    std::wstring strUserPart = ComputeUserPart();
    if (strUserPart == m_strUserPart) return false;
    m_strUserPart = strUserPart;
    return true;
}

void TraceLog::ResolveFolder()
{
    if (m_lFolderReady != 0) return;
    std::wstring strFolder = m_seams.strFolder.empty() ? ProductLogFolder() : WithBackslash(m_seams.strFolder);
    // Make also refuses a file standing where the folder should be.
    if (!strFolder.empty() && LogFolder::Make(strFolder) != 0) {
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
    InterlockedExchange(&m_lFolderReady, 1);
}

// The monitor service (LocalSystem) logs for the machine, every other program for its user.
std::wstring TraceLog::ProductLogFolder()
{
    std::wstring strBase = m_seams.pfnBaseFolder != nullptr ? m_seams.pfnBaseFolder(IsMonitorService()) : L"";
    if (strBase.empty()) {
        QueueNotice(L"Logs Warn  :Can't Get Apllication Data Folder");
        return strBase;
    }
    return WithBackslash(strBase) + L"Logs\\";
}

void TraceLog::ReadClock(SYSTEMTIME &stNow) const
{
    if (m_seams.pfnClock != nullptr) m_seams.pfnClock(&stNow);
    else GetLocalTime(&stNow);
}

std::wstring TraceLog::StampOf(const SYSTEMTIME &stTime)
{
    wchar_t szStamp[32] = {};
    _snwprintf(szStamp, 31, L"%04d/%02d/%02d %02d:%02d:%02d.%03d", stTime.wYear, stTime.wMonth, stTime.wDay,
               stTime.wHour, stTime.wMinute, stTime.wSecond, stTime.wMilliseconds);
    return szStamp;
}

// The first line, the first after midnight and the first after a user change: old files go
// (the processes of this program one at a time) and the new file is opened for the day.
void TraceLog::SwitchFile(const SYSTEMTIME &stNow, const std::wstring &strStamp)
{
    NamedMutexTurn turn(*this);
    DeleteOldFiles(stNow);
    if (m_strUserPart.empty()) m_strUserPart = ComputeUserPart();
    std::wstring strDate = Format(L"%04d%02d%02d", stNow.wYear, stNow.wMonth, stNow.wDay);
    m_strFileName = kFilePrefix + strDate + (m_strUserPart.empty() ? L"" : L"_" + m_strUserPart) + m_strExtension;
    m_strLastStamp = strStamp;
    OpenFile();
}

// Only the user's programs share their file with other processes; the service's is its own.
// A new appender for the new file: a writer busy with the old one (outside m_lock) keeps it
// until it is done.
void TraceLog::OpenFile()
{
    std::shared_ptr<LogAppender> pFile = std::make_shared<LogAppender>();
    m_iFileOpen = pFile->Open(m_strFolder + m_strFileName, !IsMonitorService()) == 0 ? 1 : 0;
    m_pFile = pFile;
}

// Elsewhere than in the monitor service the user part is the NolvexID of the user setting file
// (also kept as userIdValue).
std::wstring TraceLog::ComputeUserPart()
{
    if (IsMonitorService()) return SanitizeUserPart(kMonitorAppName);
    std::wstring strId = m_seams.pfnUserId != nullptr ? m_seams.pfnUserId() : L"";
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
    std::vector<LogFolder::Entry> vecFiles = LogFolder::List(m_strFolder, kFilePrefix + std::wstring(L"*") + m_strExtension);
    if (vecFiles.empty()) return;
    std::sort(vecFiles.begin(), vecFiles.end(), [](const LogFolder::Entry &a, const LogFolder::Entry &b) {
        return a.ullCreatedUTC > b.ullCreatedUTC;
    });
    // Another writer of this folder has already switched to today and done the pass.
    if (SameDate(vecFiles.front().stCreatedLocal, stNow)) return;

    size_t nFirstToDelete = vecFiles.size();
    int iDateChanges = 0;
    for (size_t i = 1; i < vecFiles.size(); ++i) {
        if (!SameDate(vecFiles[i - 1].stCreatedLocal, vecFiles[i].stCreatedLocal) && ++iDateChanges == 2) {
            nFirstToDelete = i;
            break;
        }
    }
    int iRetries = 0;   // shared by the whole pass
    for (size_t i = nFirstToDelete; i < vecFiles.size(); ++i) DeleteOldFile(vecFiles[i].strPath, iRetries, stNow);
}

// A file already deleted by another program of the same folder (the client and the proxy reset
// tool of one user take turns under different mutexes) is no failure and no news.
void TraceLog::DeleteOldFile(const std::wstring &strPath, int &iRetries, const SYSTEMTIME &stNow)
{
    for (;;) {
        DWORD dwError = LogFolder::Remove(strPath);
        if (IsGone(dwError)) return;
        if (dwError == 0) break;
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

// The line up to its message: stamp, tag, source, line number, thread and function.
std::wstring TraceLog::BuildHead(const std::wstring &strStamp, int iLevel, const std::wstring &strSourceFile,
                                 const std::wstring &strFunctionName, long lLine)
{
    size_t nSep = strSourceFile.find_last_of(L"\\/");
    const wchar_t *pszSource = nSep == std::wstring::npos ? strSourceFile.c_str() : strSourceFile.c_str() + nSep + 1;
    return Format(L"%s  %s%-25s(%05ld) (ThID=%08ld) %-40s ", strStamp.c_str(), LevelTag(iLevel), pszSource, lLine,
                  (long)GetCurrentThreadId(), strFunctionName.c_str());
}

// "{secret}" becomes "*****"; the current user's or terminal's identifier keeps its braces and is
// written encoded, so that support can match lines of one user without reading the id.
void TraceLog::MaskBraces(std::wstring &str)
{
    size_t nOpen = str.find(L'{');
    size_t nPos = 0;
    for (; nOpen != std::wstring::npos; nOpen = str.find(L'{', nPos)) {
        size_t nClose = str.find(L'}', nOpen + 1);
        if (nClose == std::wstring::npos) break;
        std::wstring strContent = str.substr(nOpen + 1, nClose - nOpen - 1);
        std::wstring strEncoded;
        if (strContent.empty()) {
            nPos = nClose + 1;
        } else if ((strContent == m_strUserIdValue || strContent == m_strTerminalIdValue) &&
                   EncodeIdentifier(strContent, strEncoded)) {
            str.replace(nOpen + 1, strContent.size(), strEncoded);
            nPos = nOpen + 1 + strEncoded.size() + 1;
        } else {
            // A secret, or an id that cannot be encoded: hidden either way, and the rest of the
            // message is still masked (a failing coder must not put ids or passwords in clear).
            str.replace(nOpen, nClose - nOpen + 1, kMasked);
            nPos = nOpen + wcslen(kMasked);
        }
    }
}

// False (with a notice) when the coding fails. Notices are never masked, so they name the id
// only as "*****".
bool TraceLog::EncodeIdentifier(const std::wstring &strValue, std::wstring &strEncoded)
{
    IdCoding result = m_seams.pfnEncodeId != nullptr ? m_seams.pfnEncodeId(strValue, strEncoded) : ID_NO_SIZE;
    if (result == ID_NO_SIZE) QueueNotice(Format(L"Logs Warn  :Can't Get Encode Size %s", kMasked));
    if (result == ID_NOT_ENCODED) QueueNotice(Format(L"Logs Warn  :Can't Encode Text %s", kMasked));
    return result == ID_ENCODED;
}

// Lines are written in the order they pass m_lock. A thread adds its line (behind the queued
// notices) to the batch and gets a ticket; when no thread is writing, it becomes the writer. The
// writer appends whole batches (the lines that came while it wrote go together in one append),
// so threads that meet wait for one write instead of queueing for one each. Every Write returns
// only once its own line is in the file (or given up): a crash loses no line that was logged.
LONG TraceLog::Enqueue(const std::wstring &strLine, bool &bWriter)
{
    for (const std::wstring &strNotice : m_vecPending) m_strBatch += strNotice + L"\r\n";
    m_vecPending.clear();
    m_strBatch += strLine;
    bWriter = !m_bWriting;
    m_bWriting = true;
    return ++m_lQueued;
}

bool TraceLog::IsWritten(LONG lTicket) const
{
    return (LONG)(m_lWritten - lTicket) >= 0;   // tickets wrap around
}

// The writer: appends batches until its own ticket is written, then hands the role on (a waiting
// thread takes it up, see AwaitWritten).
void TraceLog::WriteQueued(LONG lTicket)
{
    for (;;) {
        std::wstring strText;
        std::shared_ptr<LogAppender> pFile;
        LONG lUpTo = 0;
        {
            CriticalSection::Lock lock(m_lock);
            if (m_strBatch.empty() || IsWritten(lTicket)) {
                m_bWriting = false;
                return;
            }
            strText.swap(m_strBatch);
            lUpTo = m_lQueued;
            pFile = m_pFile;
        }
        if (pFile) {
            WriteBatch(*pFile, strText);
        } else {
            CriticalSection::Lock lock(m_lock);
            GiveUpBatch(std::wstring(), strText, ERROR_INVALID_HANDLE);   // no file was ever made
        }
        InterlockedExchange(&m_lWritten, lUpTo);
    }
}

// Spins, then yields, then sleeps while another thread writes; takes the writer's role when it
// was handed on with lines still queued. The writer always ends (its retries are bounded).
void TraceLog::AwaitWritten(LONG lTicket)
{
    for (SpinBackoff backoff; !IsWritten(lTicket); backoff.Pause()) {
        if (backoff.Rounds() % kWriterCheckInterval == kWriterCheckInterval - 1) {
            bool bTake = false;
            {
                CriticalSection::Lock lock(m_lock);
                bTake = !m_bWriting && !m_strBatch.empty() && !IsWritten(lTicket);
                if (bTake) m_bWriting = true;
            }
            if (bTake) {
                WriteQueued(lTicket);
                return;
            }
        }
    }
}

// One append of the batch; a failure is retried after 200 ms, at most five times, the file
// opened again (and its folder made again when it was removed). The retries' notices go ahead of
// the lines they held up; a batch still not written is kept for the next line that succeeds.
void TraceLog::WriteBatch(LogAppender &file, const std::wstring &strText)
{
    std::wstring strNotices;
    for (int iRetry = 0;; ++iRetry) {
        DWORD dwError = file.IsOpen() ? 0 : file.Reopen();
        if (dwError == 0) dwError = file.Append(strNotices.empty() ? strText : strNotices + strText);
        if (dwError == 0) return;
        if (iRetry >= kMaxRetries) {
            CriticalSection::Lock lock(m_lock);
            GiveUpBatch(strNotices, strText, dwError);
            return;
        }
        Sleep(kRetryPauseMs);
        strNotices += Format(L"Retrying to write the logfile [%d]\r\n", iRetry + 1);
        file.Close();
        if (!LogFolder::Exists(m_strFolder)) LogFolder::Make(m_strFolder);
    }
}

void TraceLog::QueueNotice(const std::wstring &strNotice)
{
    if (m_vecPending.size() < kMaxPending) m_vecPending.push_back(strNotice);
}

// The notices and the lines are kept (behind a notice of the failure) to reach the file ahead of
// the next line that succeeds. Under m_lock.
void TraceLog::GiveUpBatch(const std::wstring &strNotices, const std::wstring &strText, DWORD dwError)
{
    std::vector<std::wstring> vecKept;
    for (const std::wstring *pText : {&strNotices, &strText}) {
        size_t nStart = 0;
        for (size_t nEnd; (nEnd = pText->find(L"\r\n", nStart)) != std::wstring::npos; nStart = nEnd + 2)
            vecKept.push_back(pText->substr(nStart, nEnd - nStart));
        if (pText == &strNotices)
            vecKept.push_back(Format(L"Logs Err : Can't Write The Logfile rc:[%lu] msg:[%s]", dwError,
                                     SystemErrorText(dwError).c_str()));
    }
    // Ahead of whatever was queued meanwhile: the order of the file stays the order of the calls.
    m_vecPending.insert(m_vecPending.begin(), vecKept.begin(), vecKept.end());
    if (m_vecPending.size() > kMaxPending) m_vecPending.resize(kMaxPending);
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
    // Most lines fit a buffer on the stack: measured and formatted in one go.
    wchar_t szBuffer[512];
    va_list argsFirst;
    va_copy(argsFirst, args);
    int iLen = _vsnwprintf(szBuffer, sizeof(szBuffer) / sizeof(szBuffer[0]), pszFormat, argsFirst);
    va_end(argsFirst);
    if (iLen >= 0 && iLen < (int)(sizeof(szBuffer) / sizeof(szBuffer[0]))) return std::wstring(szBuffer, iLen);
    va_list argsSize;
    va_copy(argsSize, args);
    iLen = _vscwprintf(pszFormat, argsSize);
    va_end(argsSize);
    if (iLen < 0) return pszFormat;   // a broken format: the text as it stands
    std::vector<wchar_t> vecBuffer(iLen + 1, L'\0');
    va_list argsText;
    va_copy(argsText, args);
    _vsnwprintf(&vecBuffer[0], iLen + 1, pszFormat, argsText);
    va_end(argsText);
    return std::wstring(&vecBuffer[0], iLen);
}
