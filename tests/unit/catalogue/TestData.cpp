#include "TestData.h"
#include "TestFiles.h"
#include "TestDataIds.h"
#include <windows.h>
#include <regex>
#include <sstream>

std::string TestData::Resource(int iId)
{
    HRSRC hInfo = FindResourceW(nullptr, MAKEINTRESOURCEW(iId), MAKEINTRESOURCEW(10));   // RT_RCDATA
    if (hInfo == nullptr) return std::string();
    HGLOBAL hData = LoadResource(nullptr, hInfo);
    const char *pData = hData ? static_cast<const char *>(LockResource(hData)) : nullptr;
    return pData ? std::string(pData, SizeofResource(nullptr, hInfo)) : std::string();
}

std::wstring TestData::Utf8ToWide(const std::string &str)
{
    if (str.empty()) return std::wstring();
    int iLen = MultiByteToWideChar(CP_UTF8, 0, str.data(), (int)str.size(), nullptr, 0);
    std::wstring strOut((size_t)iLen, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, str.data(), (int)str.size(), &strOut[0], iLen);
    return strOut;
}

std::wstring TestData::ProgramFolder()
{
    wchar_t szPath[MAX_PATH];
    DWORD dwLen = GetModuleFileNameW(nullptr, szPath, MAX_PATH);
    std::wstring str(szPath, dwLen);
    return str.substr(0, str.find_last_of(L'\\') + 1);
}

std::map<unsigned, std::wstring> TestData::DesignedCatalogue()
{
    std::map<unsigned, std::wstring> mapTexts;
    std::istringstream stream(Resource(IDR_CATALOGUE_TSV));
    std::string strLine;
    while (std::getline(stream, strLine)) {
        if (!strLine.empty() && strLine.back() == '\r') strLine.pop_back();
        size_t nTab = strLine.find('\t');
        if (nTab == std::string::npos) continue;
        std::wstring strText = Utf8ToWide(strLine.substr(nTab + 1));
        for (size_t n = strText.find(L"\\n"); n != std::wstring::npos; n = strText.find(L"\\n", n + 1))
            strText.replace(n, 2, L"\n");
        mapTexts[(unsigned)std::stoul(strLine.substr(0, nTab))] = strText;
    }
    return mapTexts;
}

std::map<std::string, unsigned> TestData::NamedIds()
{
    std::map<std::string, unsigned> mapIds;
    std::istringstream stream(Resource(IDR_MESSAGE_IDS_H));
    std::regex reEntry("\\s*(MSG_[A-Z0-9_]+)\\s*=\\s*([0-9]+)\\s*,.*\r?");
    std::string strLine;
    std::smatch match;
    while (std::getline(stream, strLine)) {
        if (std::regex_match(strLine, match, reEntry)) mapIds[match[1].str()] = (unsigned)std::stoul(match[2].str());
    }
    return mapIds;
}
