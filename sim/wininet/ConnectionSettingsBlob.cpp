#include "ConnectionSettingsBlob.h"
#include "SimText.h"
#include <wininet.h>

ConnectionSettingsBlob::ConnectionSettingsBlob() : dwCounter(0), dwFlags(PROXY_TYPE_DIRECT) {}

void ConnectionSettingsBlob::PutDword(std::vector<BYTE> &vecOut, DWORD dwValue)
{
    for (int i = 0; i < 4; ++i) vecOut.push_back(static_cast<BYTE>((dwValue >> (8 * i)) & 0xFF));
}

void ConnectionSettingsBlob::PutText(std::vector<BYTE> &vecOut, const std::wstring &strText)
{
    std::string strAnsi = SimText::ToAnsi(strText);
    PutDword(vecOut, static_cast<DWORD>(strAnsi.size()));
    vecOut.insert(vecOut.end(), strAnsi.begin(), strAnsi.end());
}

bool ConnectionSettingsBlob::GetDword(const std::vector<BYTE> &vecIn, size_t &nPos, DWORD &dwValue)
{
    if (vecIn.size() < nPos + 4) return false;
    dwValue = 0;
    for (int i = 3; i >= 0; --i) dwValue = (dwValue << 8) | vecIn[nPos + i];
    nPos += 4;
    return true;
}

bool ConnectionSettingsBlob::GetText(const std::vector<BYTE> &vecIn, size_t &nPos, std::wstring &strText)
{
    DWORD dwLen = 0;
    if (!GetDword(vecIn, nPos, dwLen) || vecIn.size() - nPos < dwLen) return false;
    strText = SimText::FromAnsi(std::string(vecIn.begin() + nPos, vecIn.begin() + nPos + dwLen));
    nPos += dwLen;
    return true;
}

std::vector<BYTE> ConnectionSettingsBlob::Encode() const
{
    std::vector<BYTE> vecOut;
    PutDword(vecOut, VERSION);
    PutDword(vecOut, dwCounter);
    PutDword(vecOut, dwFlags);
    PutText(vecOut, strServer);
    PutText(vecOut, strBypass);
    PutText(vecOut, strScript);
    vecOut.insert(vecOut.end(), TRAILER_SIZE, 0);
    return vecOut;
}

bool ConnectionSettingsBlob::Decode(const std::vector<BYTE> &vecBytes)
{
    size_t nPos = 0;
    DWORD dwVersion = 0;
    if (!GetDword(vecBytes, nPos, dwVersion) || !GetDword(vecBytes, nPos, dwCounter) ||
        !GetDword(vecBytes, nPos, dwFlags))
        return false;
    strServer.clear();
    strBypass.clear();
    strScript.clear();
    if (GetText(vecBytes, nPos, strServer) && GetText(vecBytes, nPos, strBypass))
        GetText(vecBytes, nPos, strScript);
    return true;
}
