#pragma once
// Process-wide trace logger. Every class writes through the LOGWRITE macros of Log.h.
#include <windows.h>
#include <string>
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

private:
    // Fields in the designed order; the implementation may add what it needs below them.
    int m_iLevel;
    std::wstring m_strExtension;
    std::wstring m_strUserPart;
    std::wstring m_strFolder;
    std::wstring m_strFileName;
    std::wstring m_strAppName;
    int m_iFileOpen;
    std::vector<std::wstring> m_vecActiveThreads;
    std::vector<std::wstring> m_vecPending;
    FileIO *m_pFile;
    std::wstring m_strLastStamp;
    HANDLE m_hMutex;
    std::wstring m_strUserIdValue;
    std::wstring m_strTerminalIdValue;
    Seams m_seams;
};
