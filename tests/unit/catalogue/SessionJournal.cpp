#include "TestFiles.h"
#include "SessionJournal.h"
#include "TestData.h"
#include <windows.h>

SessionJournal::SessionJournal(const std::wstring &strFolder) : m_strFolder(strFolder)
{
}

std::vector<SessionJournal::Record> SessionJournal::Calls(const std::wstring &strCall) const
{
    std::vector<Record> vecRecords;
    std::string strAll = ReadBytes(m_strFolder + L"\\journal.txt");
    size_t nStart = 0;
    for (size_t nEnd = strAll.find('\n'); nEnd != std::string::npos; nEnd = strAll.find('\n', nStart)) {
        Record record = ParseLine(strAll.substr(nStart, nEnd - nStart));
        if (record[std::string("call")] == strCall) vecRecords.push_back(record);
        nStart = nEnd + 1;
    }
    return vecRecords;
}

// Flat objects only: "key":"text" or "key":token, separated by commas.
SessionJournal::Record SessionJournal::ParseLine(const std::string &strLine)
{
    Record record;
    size_t nPos = strLine.find('{');
    while (nPos != std::string::npos && nPos < strLine.size()) {
        size_t nKey = strLine.find('"', nPos);
        if (nKey == std::string::npos) break;
        nPos = nKey;
        std::wstring strKey = ParseString(strLine, nPos);
        nPos = strLine.find(':', nPos);
        if (nPos == std::string::npos) break;
        ++nPos;
        std::string strName(strKey.begin(), strKey.end());
        if (nPos < strLine.size() && strLine[nPos] == '"') {
            record[strName] = ParseString(strLine, nPos);
        } else {
            size_t nEnd = strLine.find_first_of(",}", nPos);
            std::string strToken = strLine.substr(nPos, nEnd - nPos);
            record[strName] = std::wstring(strToken.begin(), strToken.end());
            nPos = nEnd;
        }
        if (nPos != std::string::npos) nPos = strLine.find(',', nPos);
    }
    return record;
}

// nPos at the opening quote; afterwards just past the closing one.
std::wstring SessionJournal::ParseString(const std::string &strLine, size_t &nPos)
{
    std::string strRaw;
    std::wstring strOut;
    for (++nPos; nPos < strLine.size() && strLine[nPos] != '"'; ++nPos) {
        char c = strLine[nPos];
        if (c != '\\' || nPos + 1 >= strLine.size()) {
            strRaw += c;
            continue;
        }
        char cEscape = strLine[++nPos];
        if (cEscape == 'u' && nPos + 4 < strLine.size()) {
            strOut += TestData::Utf8ToWide(strRaw);
            strRaw.clear();
            strOut += (wchar_t)std::stoul(strLine.substr(nPos + 1, 4), nullptr, 16);
            nPos += 4;
        } else {
            strRaw += cEscape == 'n' ? '\n' : cEscape == 'r' ? '\r' : cEscape == 't' ? '\t' : cEscape;
        }
    }
    ++nPos;
    return strOut + TestData::Utf8ToWide(strRaw);
}
