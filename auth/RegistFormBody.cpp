#include "RegistFormBody.h"
#include "Coding.h"
#include "Log.h"
#include <memory>

namespace {
class Pairs {
public:
    void Add(const wchar_t *pszKey, const std::wstring &strValue)
    {
        bool bOk = true;
        std::wstring strEncoded = RegistFormBody::Encode(strValue, bOk);
        if (!bOk) m_bOk = false;
        if (!m_strBody.empty()) m_strBody += L'&';
        m_strBody += pszKey;
        m_strBody += strEncoded;
    }
    std::wstring Body() const { return m_bOk ? m_strBody : std::wstring(); }

private:
    std::wstring m_strBody;
    bool m_bOk = true;
};
}   // namespace

std::wstring RegistFormBody::Encode(const std::wstring &strText, bool &bOk)
{
    bOk = true;
    if (strText.empty()) return std::wstring();
    std::unique_ptr<Coding> pCoding(Coding::GetCode(Coding::CODE_URL));
    if (!pCoding) {
        LOGWRITE(LOG_ERROR, L"Failed to generate a Coding class");
        bOk = false;
        return std::wstring();
    }
    const BYTE *pbInput = reinterpret_cast<const BYTE *>(strText.c_str());
    DWORD dwInput = static_cast<DWORD>(strText.size() * sizeof(wchar_t));
    long lSize = pCoding->Encode(pbInput, dwInput, nullptr, L"");
    if (lSize < 1) {
        bOk = false;
        return std::wstring();
    }
    std::wstring strOut(static_cast<size_t>(lSize) / sizeof(wchar_t), L'\0');
    if (pCoding->Encode(pbInput, dwInput, reinterpret_cast<BYTE *>(&strOut[0]), L"") < 1) {
        bOk = false;
        return std::wstring();
    }
    strOut.resize(wcslen(strOut.c_str()));
    return strOut;
}

std::wstring RegistFormBody::SidFromTerminalIdInfo(const std::wstring &strInfo)
{
    std::wstring strSid = strInfo;
    for (wchar_t &ch : strSid)
        if (ch == L'_') ch = L'-';
    return strSid;
}

std::wstring RegistFormBody::Build(const Values &values)
{
    Pairs pairs;
    pairs.Add(L"computerName=", values.strComputerName);
    pairs.Add(L"computerSid=", values.strComputerSid);
    if (values.bSendConnectPassword) pairs.Add(L"connectPassword=", values.strConnectPassword);
    pairs.Add(L"nolvexId=", values.strNolvexId);
    if (!values.strHddSerialNumber.empty()) pairs.Add(L"hddSerialNumber=", values.strHddSerialNumber);
    pairs.Add(L"installedVersion=", values.strInstalledVersion);
    if (values.bSendMacAddress) {
        for (auto it = values.vecMacAddresses.rbegin(); it != values.vecMacAddresses.rend(); ++it)
            pairs.Add(L"macAddress=", *it);
    }
    if (!values.bSendConnectPassword) pairs.Add(L"standardPassword=", values.strStandardPassword);
    pairs.Add(L"terminalAuthId=", values.strTerminalAuthId);
    pairs.Add(L"terminalIdentInfo=", values.strTerminalIdentInfo);
    std::wstring strBody = pairs.Body();
    if (strBody.empty()) LOGWRITE(LOG_ERROR, L"A value of the form body could not be encoded");
    return strBody;
}
