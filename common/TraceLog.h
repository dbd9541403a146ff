#pragma once
// Process-wide trace logger. Every class writes through the LOGWRITE macros of Log.h.
//
// The logger calls nothing that logs: its file and folder work are its own (LogAppender,
// LogFolder), and what it needs from the rest of the library (the program's name, the
// application data folder, the settings' LogLevel and NolvexID, the coding of identifiers) comes
// through the function pointers of Seams, which the product fills in TraceLogSeams.cpp.
#include "CriticalSection.h"
#include "LogAppender.h"
#include <windows.h>
#include <string>
#include <cstdarg>
#include <memory>
#include <vector>

enum LogLevel { LOG_INFO = 0, LOG_ERROR = 1, LOG_WARN = 2, LOG_DEBUG = 3, LOG_TRACE = 4 };

// Source file name and "Class::Method" of one log call site, worked out once (Log.h keeps one per
// site in a function-local static).
struct LogSite {
    LogSite(const char *pszFile, const char *pszPrettyFunction);
    std::wstring strSource;
    std::wstring strFunction;
};

class TraceLog {
public:
    // The outcome of coding an identifier for a line.
    enum IdCoding { ID_ENCODED, ID_NO_SIZE, ID_NOT_ENCODED };

    typedef void (*ClockFunc)(SYSTEMTIME *pstTime);
    typedef std::wstring (*TextFunc)();
    typedef std::wstring (*BaseFolderFunc)(bool bMachine);
    typedef bool (*FlagFunc)();
    typedef IdCoding (*EncodeFunc)(const std::wstring &strValue, std::wstring &strEncoded);

    // What the logger takes from outside. A default-constructed Seams is the product's (the
    // functions of TraceLogSeams.cpp); tests replace single members.
    struct Seams {
        Seams();
        ClockFunc pfnClock;                  // nullptr: the local system time
        std::wstring strAppName;             // empty: pfnAppName
        std::wstring strFolder;              // empty: pfnBaseFolder + "Logs\"
        TextFunc pfnAppName;                 // the executable's name without folder and extension
        BaseFolderFunc pfnBaseFolder;        // application data folder (all users when bMachine)
        TextFunc pfnConfiguredLogLevel;      // LogLevel of the user setting or initialization file
        TextFunc pfnUserId;                  // NolvexID of the user setting file
        FlagFunc pfnTakeUserChange;          // reads and clears the user setting's changed flag
        EncodeFunc pfnEncodeId;              // string AES coding under the log key
        DWORD dwTraceSwitchCheckMs;          // how long a look for the trace switch holds
    };

    static TraceLog &GetInstance();

    TraceLog();
    explicit TraceLog(const Seams &seams);
    ~TraceLog();
    TraceLog(const TraceLog &) = delete;
    TraceLog &operator=(const TraceLog &) = delete;

    long Write(int iLevel, std::wstring strSourceFile, std::wstring strFunctionName, long lLine,
               const wchar_t *pszFormat, ...);
    // The macros' entry: the site's names are not copied, and a line that will be dropped costs
    // no lock and no formatting.
    long WriteAt(int iLevel, const LogSite &site, long lLine, const wchar_t *pszFormat, ...);
    long WriteV(int iLevel, const std::wstring &strSourceFile, const std::wstring &strFunctionName,
                long lLine, const wchar_t *pszFormat, va_list args);
    void SetLogLevel(unsigned int uiValue);

    // Identifiers written encoded (not masked) when they appear in braces.
    void SetUserIdValue(const std::wstring &strValue);
    void SetTerminalIdValue(const std::wstring &strValue);

    // For tests and diagnostics.
    std::wstring GetFolder();
    std::wstring GetFileName();
    int GetLevel() const { return (int)m_iLevel; }

    // True while the calling thread is inside a logger's Write: its log calls are dropped, so the
    // macros skip building their texts.
    static bool IsWritingThread();

    // Each of : / . \ * ? < > | " becomes a blank: the user part is part of a file name.
    static std::wstring SanitizeUserPart(const std::wstring &strUserPart);

    // "%04d/%02d/%02d %02d:%02d:%02d.%03d" of a local time.
    static std::wstring StampOf(const SYSTEMTIME &stTime);

private:
    class WritingMark;
    class NamedMutexTurn;

    bool WillDrop(int iLevel);
    bool TraceSwitchOn();
    void ResolveAppName();
    bool EnsureMutex();
    bool IsMonitorService() const;

    std::wstring PrepareLine(int iLevel, const SYSTEMTIME &stNow, const std::wstring &strStamp,
                             const std::wstring &strHead, std::wstring &strMessage);
    bool IsDebugOn();
    bool UserPartChanged();
    void ResolveFolder();
    std::wstring ProductLogFolder();
    void ReadClock(SYSTEMTIME &stNow) const;
    void SwitchFile(const SYSTEMTIME &stNow, const std::wstring &strStamp);
    void OpenFile();
    std::wstring ComputeUserPart();
    void DeleteOldFiles(const SYSTEMTIME &stNow);
    void DeleteOldFile(const std::wstring &strPath, int &iRetries, const SYSTEMTIME &stNow);
    static std::wstring BuildHead(const std::wstring &strStamp, int iLevel, const std::wstring &strSourceFile,
                                  const std::wstring &strFunctionName, long lLine);
    void MaskBraces(std::wstring &strMessage);
    bool EncodeIdentifier(const std::wstring &strValue, std::wstring &strEncoded);

    LONG Enqueue(const std::wstring &strLine, bool &bWriter);
    bool IsWritten(LONG lTicket) const;
    void WriteQueued(LONG lTicket);
    void AwaitWritten(LONG lTicket);
    void WriteBatch(LogAppender &file, const std::wstring &strText);
    void GiveUpBatch(const std::wstring &strNotices, const std::wstring &strText, DWORD dwError);
    void QueueNotice(const std::wstring &strNotice);

    static std::wstring Format(const wchar_t *pszFormat, ...);
    static std::wstring FormatV(const wchar_t *pszFormat, va_list args);

    // Fields in the designed order; the implementation adds what it needs below them. m_lock
    // guards all of them between the threads of this process; m_iLevel and m_lFolderReady are
    // also read without it (the drop test of a line).
    volatile LONG m_iLevel;
    std::wstring m_strExtension;
    std::wstring m_strUserPart;
    std::wstring m_strFolder;
    std::wstring m_strFileName;
    std::wstring m_strAppName;
    int m_iFileOpen;
    // The threads inside Write are marked per thread (thread-local, see TraceLog.cpp), not in a
    // list here: the mark must be seen before any lock is taken and across logger instances.
    std::vector<std::wstring> m_vecPending;
    std::shared_ptr<LogAppender> m_pFile;   // replaced at each switch; a writer holds its own copy
    std::wstring m_strLastStamp;
    HANDLE m_hMutex;
    std::wstring m_strUserIdValue;
    std::wstring m_strTerminalIdValue;
    Seams m_seams;
    CriticalSection m_lock;
    volatile LONG m_lFolderReady;
    // The last look for the trace switch: its answer, its time, and whether there was one.
    volatile LONG m_lTraceOn;
    volatile LONG m_lTraceCheckedAt;
    volatile LONG m_lTraceKnown;
    // The lines waiting for the writer (behind their notices), the tickets handed out and the
    // last one written (read without m_lock), and whether a thread is the writer.
    std::wstring m_strBatch;
    LONG m_lQueued;
    volatile LONG m_lWritten;
    bool m_bWriting;
};
