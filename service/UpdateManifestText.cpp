#include "UpdateManifestText.h"
#include <windows.h>
#include <vector>

namespace {
const size_t kDigestChars = 64;
const char kLineEnd[] = "\r\n";
}  // namespace

std::wstring UpdateManifestText::FromUtf8(const std::string &strText)
{
    if (strText.empty()) return std::wstring();
    int iChars = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, strText.data(), (int)strText.size(), nullptr, 0);
    if (iChars <= 0) return std::wstring();
    std::wstring strWide((size_t)iChars, L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, strText.data(), (int)strText.size(), &strWide[0], iChars);
    return strWide;
}

std::string UpdateManifestText::ToUtf8(const std::wstring &strText)
{
    if (strText.empty()) return std::string();
    int iBytes = WideCharToMultiByte(CP_UTF8, 0, strText.data(), (int)strText.size(), nullptr, 0, nullptr, nullptr);
    if (iBytes <= 0) return std::string();
    std::string strNarrow((size_t)iBytes, '\0');
    WideCharToMultiByte(CP_UTF8, 0, strText.data(), (int)strText.size(), &strNarrow[0], iBytes, nullptr, nullptr);
    return strNarrow;
}

std::wstring UpdateManifestText::Key(const std::wstring &strPath)
{
    std::wstring strKey = strPath;
    if (!strKey.empty()) CharUpperBuffW(&strKey[0], (DWORD)strKey.size());
    return strKey;
}

std::string UpdateManifestText::BytesToHex(const std::string &strBytes)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string strHex;
    for (unsigned char ch : strBytes) {
        strHex += kDigits[ch >> 4];
        strHex += kDigits[ch & 0x0f];
    }
    return strHex;
}

bool UpdateManifestText::HexToBytes(const std::string &strHex, std::string &strBytes)
{
    static const std::string kDigits = "0123456789abcdef";
    if (strHex.empty() || strHex.size() % 2 != 0) return false;
    strBytes.clear();
    for (size_t i = 0; i < strHex.size(); i += 2) {
        size_t nHigh = kDigits.find((char)tolower((unsigned char)strHex[i]));
        size_t nLow = kDigits.find((char)tolower((unsigned char)strHex[i + 1]));
        if (nHigh == std::string::npos || nLow == std::string::npos) return false;
        strBytes += (char)((nHigh << 4) | nLow);
    }
    return true;
}

bool UpdateManifestText::IsDigest(const std::string &strText)
{
    if (strText.size() != kDigestChars) return false;
    return strText.find_first_not_of("0123456789abcdef") == std::string::npos;
}

std::string UpdateManifestText::ComposeBody(const EntryMap &entries)
{
    std::string strBody = std::string(HEADER) + kLineEnd;
    for (const auto &item : entries) {
        strBody += ToUtf8(item.second.strDigest) + " " + ToUtf8(item.second.strPath) + kLineEnd;
    }
    return strBody;
}

std::string UpdateManifestText::ComposeFile(const std::string &strBody, const std::string &strSignature)
{
    return strBody + SIGNATURE_TAG + BytesToHex(strSignature) + kLineEnd;
}

bool UpdateManifestText::Parse(const std::string &strFile, std::string &strBody, std::string &strSignature,
                               EntryMap &entries, std::wstring &strReason)
{
    entries.clear();
    const std::string strTag = std::string(kLineEnd) + SIGNATURE_TAG;
    size_t nTag = strFile.rfind(strTag);
    if (nTag == std::string::npos) {
        strReason = L"the manifest carries no signature";
        return false;
    }
    strBody = strFile.substr(0, nTag + 2);
    std::string strSigLine = strFile.substr(nTag + strTag.size());
    if (strSigLine.size() < 2 || strSigLine.compare(strSigLine.size() - 2, 2, kLineEnd) != 0 ||
        !HexToBytes(strSigLine.substr(0, strSigLine.size() - 2), strSignature)) {
        strReason = L"the manifest's signature line is malformed";
        return false;
    }
    const std::string strHeader = std::string(HEADER) + kLineEnd;
    if (strBody.compare(0, strHeader.size(), strHeader) != 0) {
        strReason = L"the manifest does not begin with its header";
        return false;
    }
    size_t nPos = strHeader.size();
    while (nPos < strBody.size()) {
        size_t nEnd = strBody.find(kLineEnd, nPos);
        if (!ParseLine(strBody.substr(nPos, nEnd - nPos), entries, strReason)) return false;
        nPos = nEnd + 2;
    }
    return true;
}

bool UpdateManifestText::ParseLine(const std::string &strLine, EntryMap &entries, std::wstring &strReason)
{
    if (strLine.size() <= kDigestChars + 1 || strLine[kDigestChars] != ' ' ||
        !IsDigest(strLine.substr(0, kDigestChars))) {
        strReason = L"a manifest line is not \"digest path\": " + FromUtf8(strLine);
        return false;
    }
    Entry entry;
    entry.strDigest = FromUtf8(strLine.substr(0, kDigestChars));
    entry.strPath = FromUtf8(strLine.substr(kDigestChars + 1));
    if (entry.strPath.empty()) {
        strReason = L"a manifest path is not UTF-8";
        return false;
    }
    if (!entries.emplace(Key(entry.strPath), entry).second) {
        strReason = L"the manifest lists a file twice: " + entry.strPath;
        return false;
    }
    return true;
}
