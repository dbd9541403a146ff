#include "Base64Text.h"
#include "Log.h"
#include <cstring>

Base64Text::Base64Text(const char *pszAlphabet) : m_pszAlphabet(pszAlphabet) {}

long Base64Text::Encode(const BYTE *pbInput, DWORD dwInputSize, BYTE *pbOutput) const
{
    LOG_SCOPE();
    if (dwInputSize % 2 != 0 || (pbInput == nullptr && dwInputSize != 0)) {
        LOGWRITE(LOG_ERROR, L"Input size %lu is not a whole number of UTF-16 units", dwInputSize);
        return -1;
    }
    DWORD dwUnits = dwInputSize / 2;
    std::vector<BYTE> data(dwUnits);
    for (DWORD i = 0; i < dwUnits; ++i) {
        if (pbInput[2 * i + 1] != 0) {
            LOGWRITE(LOG_ERROR, L"Input unit %lu does not carry a byte value", i);
            return -2;
        }
        data[i] = pbInput[2 * i];
    }
    DWORD dwChars = (dwUnits + 2) / 3 * 4;
    if (pbOutput == nullptr) return static_cast<long>((dwChars + 1) * sizeof(wchar_t));

    std::wstring strText;
    strText.reserve(dwChars);
    const char chPad = m_pszAlphabet[64];
    for (DWORD i = 0; i < dwUnits; i += 3) {
        DWORD dwRest = dwUnits - i;
        unsigned int uiGroup = data[i] << 16;
        if (dwRest > 1) uiGroup |= data[i + 1] << 8;
        if (dwRest > 2) uiGroup |= data[i + 2];
        strText.push_back(m_pszAlphabet[(uiGroup >> 18) & 0x3F]);
        strText.push_back(m_pszAlphabet[(uiGroup >> 12) & 0x3F]);
        strText.push_back(dwRest > 1 ? m_pszAlphabet[(uiGroup >> 6) & 0x3F] : chPad);
        strText.push_back(dwRest > 2 ? m_pszAlphabet[uiGroup & 0x3F] : chPad);
    }
    memcpy(pbOutput, strText.c_str(), (strText.size() + 1) * sizeof(wchar_t));
    return static_cast<long>(strText.size());
}

int Base64Text::DigitValue(unsigned int uiChar) const
{
    if (uiChar == 0 || uiChar > 0x7F) return -1;
    for (int i = 0; i < 64; ++i) {
        if (static_cast<unsigned char>(m_pszAlphabet[i]) == uiChar) return i;
    }
    return -1;
}

bool Base64Text::Digits(const BYTE *pbInput, DWORD dwInputSize, std::vector<BYTE> &values) const
{
    // Base64 characters are ASCII: a zero high byte after the first one means UTF-16LE text.
    const bool bWide = dwInputSize >= 2 && dwInputSize % 2 == 0 && pbInput[1] == 0;
    const DWORD dwStep = bWide ? 2 : 1;
    const unsigned int uiPad = static_cast<unsigned char>(m_pszAlphabet[64]);
    bool bPadding = false;
    for (DWORD i = 0; i + dwStep <= dwInputSize; i += dwStep) {
        unsigned int uiChar = bWide ? (pbInput[i] | (pbInput[i + 1] << 8)) : pbInput[i];
        if (uiChar == 0) break;
        if (uiChar == ' ' || uiChar == '\t' || uiChar == '\r' || uiChar == '\n') continue;
        if (uiChar == uiPad) {
            bPadding = true;
            continue;
        }
        int iValue = DigitValue(uiChar);
        if (iValue < 0) {
            LOGWRITE(LOG_ERROR, L"Character 0x%04x is not Base64", uiChar);
            return false;
        }
        if (bPadding) {
            LOGWRITE(LOG_ERROR, L"Base64 data after the padding");
            return false;
        }
        values.push_back(static_cast<BYTE>(iValue));
    }
    return true;
}

long Base64Text::Decode(const BYTE *pbInput, DWORD dwInputSize, BYTE *pbOutput) const
{
    LOG_SCOPE();
    std::vector<BYTE> values;
    if (pbInput == nullptr && dwInputSize != 0) return -1;
    if (!Digits(pbInput, dwInputSize, values)) return -1;
    if (values.size() % 4 == 1) {
        LOGWRITE(LOG_ERROR, L"A lone Base64 digit cannot carry a byte");
        return -2;
    }
    DWORD dwBytes = static_cast<DWORD>(values.size() / 4 * 3 + (values.size() % 4 ? values.size() % 4 - 1 : 0));
    if (pbOutput == nullptr) return static_cast<long>(dwBytes);

    DWORD dwOut = 0;
    unsigned int uiBits = 0;
    int iBitCount = 0;
    for (BYTE bValue : values) {
        uiBits = (uiBits << 6) | bValue;
        iBitCount += 6;
        if (iBitCount >= 8) {
            iBitCount -= 8;
            pbOutput[dwOut++] = static_cast<BYTE>((uiBits >> iBitCount) & 0xFF);
        }
    }
    return static_cast<long>(dwOut);
}

long Base64Text::Run(bool bEncode, const BYTE *pbInput, DWORD dwInputSize, BYTE *pbOutput,
                     const std::wstring &strKey) const
{
    LOGWRITE(LOG_DEBUG, L"[InputInfo]  Key is {%s}", strKey.c_str());
    LOGWRITE(LOG_DEBUG, L"[InputInfo] Input size is %lu", dwInputSize);
    long lRet = bEncode ? Encode(pbInput, dwInputSize, pbOutput) : Decode(pbInput, dwInputSize, pbOutput);
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] Result is %ld", lRet);
    return lRet;
}
