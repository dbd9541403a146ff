#pragma once
// The monitor pipe's messages as the client application composes them: UTF-16LE text without a
// terminator, "Keyword=field,field,...". Fields are passed through as given, so tests can also
// send what a faulty client would (commas in a folder, non-numeric levels).
#include <windows.h>
#include <string>

class PipeMessage {
public:
    // The service reads at most 511 characters of one message.
    static const size_t kMaxChars = 511;

    static std::wstring MonitorStart(DWORD dwProcessId, const std::wstring &strUserFolder,
                                     const std::wstring &strLanguage, const std::wstring &strLogLevel);
    static std::wstring MonitorEnd(const std::wstring &strUserFolder);
    static std::wstring LogLevel(const std::wstring &strLevel);
    static std::wstring DoUpdate(const std::wstring &strProcessId, const std::wstring &strUpdateFolder);
    // "RollBackUpdate" alone when the text is empty, else "RollBackUpdate=<text>".
    static std::wstring RollBackUpdate(const std::wstring &strText);

    // The bytes on the wire: two per UTF-16 unit, low byte first, no terminator.
    static std::string ToBytes(const std::wstring &strMessage);
    // Hex digits, two per byte; blanks, ":" and "-" between bytes are allowed. false on anything else
    // or on half a byte.
    static bool FromHex(const std::wstring &strHex, std::string &strBytes);
    // Reproducible noise: the same count and seed give the same bytes on every run.
    static std::string Random(size_t nCount, unsigned long ulSeed);
};
