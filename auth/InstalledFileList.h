#pragma once
// The installed files as the update server wants them: for each file under the install folder
// (not under a "\Logs\" folder), its path relative to the folder with "/" separators, URL-encoded,
// then "*", then the MD5 digest of its bytes ("%s*%s").
#include <windows.h>
#include <string>
#include <vector>

class InstalledFileList {
public:
    // Stops early (with what it has) when *plCancel becomes non-zero.
    static std::vector<std::wstring> Build(const std::wstring &strInstallFolder, const volatile LONG *plCancel);

private:
    static std::wstring Digest(const std::wstring &strPath);
    static std::wstring RelativeName(const std::wstring &strBase, const std::wstring &strPath);
};
