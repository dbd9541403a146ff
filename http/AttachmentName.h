#pragma once
// The file name of an attachment, taken from the server's Content-Disposition header. The server
// is not trusted: only a plain file name is accepted, never a path.
#include <string>

class AttachmentName {
public:
    // True when the header marks an attachment ("attachment" anywhere in it).
    static bool IsAttachment(const std::wstring &strHeader);
    // The text behind "filename=" up to the next ";", with every double quote removed and outer
    // blanks trimmed; empty when "filename=" is missing or stands at the very start.
    static std::wstring FromHeader(const std::wstring &strHeader);
    // True for a plain file name: not empty, no "\" or "/", no ":", not "." or "..", no control
    // characters, no characters Windows refuses in names, not ending in a dot or a blank. Otherwise
    // false with the reason for the log.
    static bool IsPlainFileName(const std::wstring &strName, std::wstring &strReason);
    // The folder with a backslash at its end, then the name.
    static std::wstring JoinFolder(const std::wstring &strFolder, const std::wstring &strName);
};
