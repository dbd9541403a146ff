#include "URLCoding.h"
#include "CodePageText.h"
#include "Log.h"
#include <cstdio>
#include <cstring>

std::string URLCoding::Escape(const std::string &strUtf8)
{
    static const char kUnreserved[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~";
    std::string strOut;
    strOut.reserve(strUtf8.size() * 3);
    for (char ch : strUtf8) {
        if (ch != '\0' && strchr(kUnreserved, ch) != nullptr) {
            strOut.push_back(ch);
        } else if (ch == ' ') {
            strOut.push_back('+');
        } else {
            char szHex[4];
            snprintf(szHex, sizeof(szHex), "%%%02x", static_cast<unsigned char>(ch));
            strOut.append(szHex);
        }
    }
    return strOut;
}

int URLCoding::HexValue(char ch)
{
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    return -1;
}

std::string URLCoding::Unescape(const std::string &strText)
{
    std::string strOut;
    strOut.reserve(strText.size());
    for (size_t i = 0; i < strText.size(); ++i) {
        char ch = strText[i];
        if (ch == '+') {
            strOut.push_back(' ');
        } else if (ch == '%' && i + 2 < strText.size() && HexValue(strText[i + 1]) >= 0 &&
                   HexValue(strText[i + 2]) >= 0) {
            strOut.push_back(static_cast<char>(HexValue(strText[i + 1]) * 16 + HexValue(strText[i + 2])));
            i += 2;
        } else {
            strOut.push_back(ch);   // a "%" without two digits stays as it is
        }
    }
    return strOut;
}

long URLCoding::Encode(const BYTE *pbInput, DWORD dwInputSize, BYTE *pbOutput,
                       const std::wstring &strKey)
{
    LOG_SCOPE();
    return Transcode(pbInput, dwInputSize, pbOutput, strKey, Escape);
}

long URLCoding::Decode(const BYTE *pbInput, DWORD dwInputSize, BYTE *pbOutput,
                       const std::wstring &strKey)
{
    LOG_SCOPE();
    return Transcode(pbInput, dwInputSize, pbOutput, strKey, Unescape);
}

long URLCoding::Transcode(const BYTE *pbInput, DWORD dwInputSize, BYTE *pbOutput, const std::wstring &strKey,
                          std::string (*pfnMap)(const std::string &))
{
    LOGWRITE(LOG_DEBUG, L"[InputInfo]  Key is {%s}", strKey.c_str());
    std::wstring strText = TextOfInput(pbInput, dwInputSize);
    LOGWRITE(LOG_DEBUG, L"[InputInfo] Text is {%s}", strText.c_str());
    bool bOk = false;
    std::string strUtf8 = CodePageText::FromWide(CP_UTF8, strText, &bOk);
    if (!bOk) return -1;
    std::wstring strOut = CodePageText::ToWide(CP_UTF8, pfnMap(strUtf8), &bOk);
    if (!bOk) return -1;
    long lRet = PutText(strOut, pbOutput);
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] Result is %ld", lRet);
    return lRet;
}
