#pragma once
// Process-wide trace logger. Every class writes through the LOGWRITE macros of Log.h.
#include <windows.h>
#include <string>
#include <cstdarg>
#include <vector>

enum LogLevel { LOG_INFO = 0, LOG_ERROR = 1, LOG_WARN = 2, LOG_DEBUG = 3, LOG_TRACE = 4 };

class FileIO;

class TraceLog {
public:
    // Seams for tests: where "now" comes from, which executable name decides the behaviour and
    // which folder the log goes to. The product uses the defaults (system clock, own module name,
    // resolved application data folder).
    typedef void (*ClockFunc)(SYSTEMTIME *pstTime);
    struct Seams {
        ClockFunc pfnClock = nullptr;
        std::wstring strAppName;
        std::wstring strFolder;
        // Coding of braced identifiers (the string AES coding); tests give one that fails.
        int iIdCodeType = 8;
    };

    static TraceLog &GetInstance();

    TraceLog();
    explicit TraceLog(const Seams &seams);
    ~TraceLog();
    TraceLog(const TraceLog &) = delete;
    TraceLog &operator=(const TraceLog &) = delete;

    long Write(int iLevel, std::wstring strSourceFile, std::wstring strFunctionName, long lLine,
               const wchar_t *pszFormat, ...);
    long WriteV(int iLevel, const std::wstring &strSourceFile, const std::wstring &strFunctionName,
                long lLine, const wchar_t *pszFormat, va_list args);
    void SetLogLevel(unsigned int uiValue);

    // Identifiers written encoded (not masked) when they appear in braces.
    void SetUserIdValue(const std::wstring &strValue);
    void SetTerminalIdValue(const std::wstring &strValue);

    // For tests and diagnostics.
    std::wstring GetFolder() const { return m_strFolder; }
    std::wstring GetFileName() const { return m_strFileName; }
    int GetLevel() const { return m_iLevel; }

    // True while the calling thread is inside a logger's Write: its log calls are dropped, so the
    // macros skip building their texts.
    static bool IsWritingThread();

    // Each of : / . \ * ? < > | " becomes a blank: the user part is part of a file name.
    static std::wstring SanitizeUserPart(const std::wstring &strUserPart);

private:
    // Runs fn while holding the named mutex, with this thread marked as writing (nested log calls
    // of the helpers the logger uses are dropped). False when the mutex cannot be had.
    template <typename Fn>
    bool RunLocked(Fn fn);
    void ResolveAppName();
    bool EnsureMutex();
    bool IsMonitorService() const;

    void WriteLine(int iLevel, const std::wstring &strSourceFile, const std::wstring &strFunctionName,
                   long lLine, const std::wstring &strMessage);
    bool IsDebugOn();
    std::wstring ReadConfiguredLogLevel();
    bool UserPartChanged();
    void ResolveFolder();
    std::wstring ProductLogFolder();
    bool IsTraceOn();
    void ReadClock(SYSTEMTIME &stNow) const;
    void SwitchFile(const SYSTEMTIME &stNow, const std::wstring &strStamp);
    std::wstring ComputeUserPart();
    void DeleteOldFiles(const SYSTEMTIME &stNow);
    void DeleteOldFile(const std::wstring &strPath, int &iRetries, const SYSTEMTIME &stNow);
    std::wstring BuildLine(const std::wstring &strStamp, int iLevel, const std::wstring &strSourceFile,
                           const std::wstring &strFunctionName, long lLine, const std::wstring &strMessage);
    std::wstring MaskBraces(const std::wstring &strMessage);
    bool EncodeIdentifier(const std::wstring &strValue, std::wstring &strEncoded);

    void WriteToFile(const std::wstring &strLine);
    bool WritePending();
    void AppendText(const std::wstring &strText);
    void QueueNotice(const std::wstring &strNotice);
    void GiveUpLine(const std::wstring &strLine, const std::wstring &strReason);

    static std::wstring Format(const wchar_t *pszFormat, ...);
    static std::wstring FormatV(const wchar_t *pszFormat, va_list args);
    static std::wstring StampOf(const SYSTEMTIME &stTime);

    // Fields in the designed order; the implementation may add what it needs below them.
    int m_iLevel;
    std::wstring m_strExtension;
    std::wstring m_strUserPart;
    std::wstring m_strFolder;
    std::wstring m_strFileName;
    std::wstring m_strAppName;
    int m_iFileOpen;
    // The threads inside Write are marked per thread (thread-local, see TraceLog.cpp), not in a
    // list here: the mark must be seen before the mutex is taken and across logger instances.
    std::vector<std::wstring> m_vecPending;
    FileIO *m_pFile;
    std::wstring m_strLastStamp;
    HANDLE m_hMutex;
    std::wstring m_strUserIdValue;
    std::wstring m_strTerminalIdValue;
    Seams m_seams;
};
