#pragma once
// The designed catalogue and the named ids, as compiled into the test program, and the small
// text and file helpers the catalogue tests share.
#include <map>
#include <string>

// Message 28603 as the Japanese library words it.
inline constexpr wchar_t kJapaneseRollbackFailed[] =
    L"\u65E7\u30D0\u30FC\u30B8\u30E7\u30F3\u3078\u306E\u5FA9\u5143\u51E6\u7406\u306B\u5931\u6557\u3057\u307E"
    L"\u3057\u305F\u3002";

class TestData {
public:
    // id -> designed English text ("\n" of the table made a line break).
    static std::map<unsigned, std::wstring> DesignedCatalogue();
    // constant name -> id, as MessageIds.h declares them.
    static std::map<std::string, unsigned> NamedIds();

    static std::wstring Utf8ToWide(const std::string &str);
    // Folder of the test program, with a trailing backslash: the library and simulator sit there.
    static std::wstring ProgramFolder();

private:
    static std::string Resource(int iId);
};
