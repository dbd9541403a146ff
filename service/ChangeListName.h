#pragma once
// A name of the change list checked before anything is deleted: a relative path inside the
// install folder, normalised (separators, trailing dots and blanks, doubled backslashes), with the
// names an update never deletes recognised in any letter case and at any depth.
#include <string>

class ChangeListName {
public:
    enum Verdict {
        NAME_OK,
        NAME_EMPTY,          // empty, "." or nothing left after normalising
        NAME_PARENT,         // a ".." component
        NAME_ABSOLUTE,       // a drive, a root, a UNC or device prefix
        NAME_STREAM,         // a colon (alternate data streams, drive letters in the middle)
        NAME_WILDCARD,       // "*" or "?" (never a real name; FindFirstFile would expand it)
        NAME_PROTECTED,      // one of the product's own files, at any depth and in any letter case
        NAME_LOGS,           // the folder "Logs" itself (a folder below it may go)
    };

    // Checks strName as the change list gives it; on NAME_OK strNormal is the normalised relative
    // path (components joined by one backslash, no leading or trailing backslash).
    static Verdict Check(const std::wstring &strName, std::wstring &strNormal);
    // A text for the log.
    static const wchar_t *VerdictText(Verdict verdict);

private:
    static Verdict Normalise(const std::wstring &strName, std::wstring &strNormal);
    static std::wstring TrimComponent(const std::wstring &strComponent);
    static bool IsProtectedFile(const std::wstring &strComponent);
    static bool IsLogsFolder(const std::wstring &strNormal);
    static bool IsProtectedPath(const std::wstring &strNormal);
    static bool SameText(const std::wstring &strLeft, const std::wstring &strRight);
};
