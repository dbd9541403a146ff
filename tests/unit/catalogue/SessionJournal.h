#pragma once
// The terminal-services simulator's journal ("journal.txt", one JSON object per line) of a
// simulator folder, read back as records of text fields.
#include <map>
#include <string>
#include <vector>

class SessionJournal {
public:
    typedef std::map<std::string, std::wstring> Record;   // field -> value (numbers and booleans as text)

    explicit SessionJournal(const std::wstring &strFolder);
    // Complete lines whose "call" is the given one, oldest first.
    std::vector<Record> Calls(const std::wstring &strCall) const;

private:
    static Record ParseLine(const std::string &strLine);
    static std::wstring ParseString(const std::string &strLine, size_t &nPos);

    std::wstring m_strFolder;
};
