#include "PipeMessage.h"
#include <random>

std::wstring PipeMessage::MonitorStart(DWORD dwProcessId, const std::wstring &strUserFolder,
                                       const std::wstring &strLanguage, const std::wstring &strLogLevel)
{
    return L"MonitorStart=" + std::to_wstring(dwProcessId) + L"," + strUserFolder + L"," + strLanguage + L"," +
           strLogLevel;
}

std::wstring PipeMessage::MonitorEnd(const std::wstring &strUserFolder) { return L"MonitorEnd=" + strUserFolder; }

std::wstring PipeMessage::LogLevel(const std::wstring &strLevel) { return L"LogLevel=" + strLevel; }

std::wstring PipeMessage::DoUpdate(const std::wstring &strProcessId, const std::wstring &strUpdateFolder)
{
    return L"DoUpdate=" + strProcessId + L"," + strUpdateFolder;
}

std::wstring PipeMessage::RollBackUpdate(const std::wstring &strText)
{
    return strText.empty() ? std::wstring(L"RollBackUpdate") : L"RollBackUpdate=" + strText;
}

std::string PipeMessage::ToBytes(const std::wstring &strMessage)
{
    std::string strBytes;
    strBytes.reserve(strMessage.size() * 2);
    for (wchar_t ch : strMessage) {
        unsigned int uiUnit = static_cast<unsigned int>(ch) & 0xFFFF;
        strBytes += static_cast<char>(uiUnit & 0xFF);
        strBytes += static_cast<char>(uiUnit >> 8);
    }
    return strBytes;
}

namespace {
int HexValue(wchar_t ch)
{
    if (ch >= L'0' && ch <= L'9') return ch - L'0';
    if (ch >= L'a' && ch <= L'f') return ch - L'a' + 10;
    if (ch >= L'A' && ch <= L'F') return ch - L'A' + 10;
    return -1;
}
}  // namespace

bool PipeMessage::FromHex(const std::wstring &strHex, std::string &strBytes)
{
    std::string strOut;
    int iHigh = -1;
    for (wchar_t ch : strHex) {
        if (ch == L' ' || ch == L':' || ch == L'-') {
            if (iHigh >= 0) return false;   // a separator may not split a byte
            continue;
        }
        int iValue = HexValue(ch);
        if (iValue < 0) return false;
        if (iHigh < 0) {
            iHigh = iValue;
        } else {
            strOut += static_cast<char>((iHigh << 4) | iValue);
            iHigh = -1;
        }
    }
    if (iHigh >= 0) return false;
    strBytes = strOut;
    return true;
}

std::string PipeMessage::Random(size_t nCount, unsigned long ulSeed)
{
    std::mt19937 engine(ulSeed);   // fully specified by the standard: the same bytes everywhere
    std::string strBytes;
    strBytes.reserve(nCount);
    for (size_t i = 0; i < nCount; ++i) strBytes += static_cast<char>(engine() & 0xFF);
    return strBytes;
}
