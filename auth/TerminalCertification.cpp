#include "TerminalCertification.h"
#include "Coding.h"
#include "ConvertString.h"
#include "Log.h"
#include "MessageIds.h"
#include "OSInformation.h"
#include "TerminalProfile.h"
#include <memory>
#include <vector>

namespace {
const wchar_t kStandardPasswordType[] = L"0";
const int kHexBase = 16;

int HexDigit(wchar_t ch)
{
    if (ch >= L'0' && ch <= L'9') return ch - L'0';
    if (ch >= L'a' && ch <= L'f') return ch - L'a' + 10;
    if (ch >= L'A' && ch <= L'F') return ch - L'A' + 10;
    return -1;
}

// The digest's bytes, one per UTF-16 unit, as the Base64 coders take binary input.
bool HexToByteUnits(const std::wstring &strHex, std::wstring &strUnits)
{
    strUnits.clear();
    if (strHex.empty() || strHex.size() % 2 != 0) return false;
    for (size_t i = 0; i < strHex.size(); i += 2) {
        int iHigh = HexDigit(strHex[i]), iLow = HexDigit(strHex[i + 1]);
        if (iHigh < 0 || iLow < 0) return false;
        strUnits.push_back(static_cast<wchar_t>(iHigh * kHexBase + iLow));
    }
    return true;
}
}   // namespace

TerminalCertification::TerminalCertification(long lServiceIndex)
    : TerminalCertification(lServiceIndex, TerminalProfile::GetInstance(), CreateOSInformation)
{
}

TerminalCertification::TerminalCertification(long lServiceIndex, TerminalProfile &profile,
                                             std::function<OSInformation *()> pfnCreateOSInformation)
    : m_profile(profile), m_pfnCreateOSInformation(pfnCreateOSInformation), m_lServiceIndex(lServiceIndex)
{
}

bool TerminalCertification::isEffective()
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] Service index is %ld", m_lServiceIndex);
    bool bEffective = false;
    if (m_lServiceIndex < 0) {
        LOGWRITE(LOG_DEBUG, L"No connection service selected.");
    } else if (m_profile.GetFilePath().empty()) {
        LOGWRITE(LOG_DEBUG, L"No terminal profile.");
    } else if (m_lServiceIndex >= m_profile.GetConnectionCount()) {
        LOGWRITE(LOG_WARN, L"Service index %ld is outside the profile's %d connection services.", m_lServiceIndex,
                 m_profile.GetConnectionCount());
    } else {
        int iIndex = static_cast<int>(m_lServiceIndex);
        bEffective = ProfileNumber(m_profile.GetAuthTerminalFlag(iIndex), L"authTerminalFlag") != 0;
    }
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] isEffective return is %d", bEffective ? 1 : 0);
    return bEffective;
}

long TerminalCertification::ProfileNumber(const std::wstring &strValue, const wchar_t *pszName)
{
    ConvertString convert;
    long lValue = convert.StringToInteger(strValue);
    if (lValue < 0) {
        LOGWRITE(LOG_WARN, L"%s [%s] is not a number; taken as 0.", pszName, strValue.c_str());
        return 0;
    }
    return lValue;
}

std::wstring TerminalCertification::GetTerminalID()
{
    LOG_SCOPE();
    std::wstring strId = m_profile.GetAuthTerminalID();
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] GetTerminalID return is {%s}", strId.c_str());
    return strId;
}

std::wstring TerminalCertification::GetHDDInfo()
{
    LOG_SCOPE();
    if (!m_strDeviceSerial.empty()) return m_strDeviceSerial;
    std::unique_ptr<OSInformation> pInfo(m_pfnCreateOSInformation());
    if (!pInfo) {
        LOGWRITE(LOG_ERROR, L"Failed to generate a OSInformation class");
        return std::wstring();
    }
    std::wstring strSerial = pInfo->GetBIOSSerialNo();
    if (!strSerial.empty()) {
        LOGWRITE(LOG_INFO, L"Use BIOS Serial Number For Terminal Certifcation %s", strSerial.c_str());
    } else {
        strSerial = pInfo->GetVolumeSerialNo();
        if (!strSerial.empty())
            LOGWRITE(LOG_INFO, L"Use Volume Serial Number For Terminal Certifcation %s", strSerial.c_str());
        else
            LOGWRITE(LOG_ERROR, L"Neither the BIOS nor the volume serial number could be read.");
    }
    m_strDeviceSerial = strSerial;
    return strSerial;
}

std::wstring TerminalCertification::GetTerminalIDInfo(ErrInfo *pErr)
{
    LOG_SCOPE();
    m_strTerminalIDInfo.clear();
    std::unique_ptr<OSInformation> pInfo(m_pfnCreateOSInformation());
    m_strComputerSID = pInfo ? pInfo->GetComputerSID() : std::wstring();
    std::wstring strSerial = GetHDDInfo();
    if (m_strComputerSID.empty() || strSerial.empty()) {
        // A value made of what is left would not name this device.
        LOGWRITE(LOG_ERROR, L"Can't Get Terminal ID Info Source: computer SID [%s], device serial [%s]",
                 m_strComputerSID.c_str(), strSerial.c_str());
        SetError(pErr, MSG_UNEXPECTED_ERROR);
        return std::wstring();
    }
    std::wstring strSource = m_strComputerSID + strSerial;
    std::wstring strInfo = DigestText(Coding::CODE_SHA256, strSource, TERMINAL_ID_INFO_CHARS);
    if (strInfo.empty()) {
        LOGWRITE(LOG_ERROR, L"SHA-256 Encode Process return Error TerminalIDInfoSrc={%s}", strSource.c_str());
        SetError(pErr, MSG_ENCRYPTION_ERROR);
        return std::wstring();
    }
    m_strTerminalIDInfo = strInfo;
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] GetTerminalIDInfo return is {%s}", strInfo.c_str());
    return strInfo;
}

std::wstring TerminalCertification::GetTerminalPassword(const std::wstring &strPassword, ErrInfo *pErr)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] Password is {%s}", strPassword.c_str());
    std::wstring strBase = BasePassword(strPassword);
    std::wstring strInfo = GetTerminalIDInfo(pErr);
    if (strInfo.empty()) {
        LOGWRITE(LOG_ERROR, L"Can't Get Terminal ID Info");
        return std::wstring();
    }
    std::wstring strSource = strInfo + m_profile.GetTerminalPwdSharedKey() + strBase;
    std::wstring strTerminalPassword = DigestText(Coding::CODE_SHA1, strSource, TERMINAL_PASSWORD_CHARS);
    if (strTerminalPassword.empty()) {
        LOGWRITE(LOG_ERROR, L"SHA-1 Encode Process return Error TermPW={%s}", strSource.c_str());
        return std::wstring();
    }
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] GetTerminalPassword return is {%s}", strTerminalPassword.c_str());
    return strTerminalPassword;
}

std::wstring TerminalCertification::BasePassword(const std::wstring &strPassword)
{
    int iIndex = static_cast<int>(m_lServiceIndex);
    if (m_profile.GetRemoteConnectPwType(iIndex) == kStandardPasswordType) {
        LOGWRITE(LOG_INFO, L"Terminal Password make from Standard Password");
        return strPassword;
    }
    LOGWRITE(LOG_INFO, L"Terminal Password make from Connect Password");
    return m_profile.GetConnectPassword();
}

std::wstring TerminalCertification::DigestText(int iHashType, const std::wstring &strSource, size_t nKeep)
{
    std::wstring strHex, strText;
    if (!HashUtf8(iHashType, strSource, strHex) || !Base64URL(strHex, strText)) return std::wstring();
    if (strText.size() > nKeep) strText.resize(nKeep);
    return strText;
}

bool TerminalCertification::HashUtf8(int iHashType, const std::wstring &strSource, std::wstring &strHex)
{
    std::string strUtf8;
    ConvertString convert;
    if (convert.UnicodetoUTF8(strSource.c_str(), strUtf8) == 0) return false;
    return EncodeToText(Coding::GetCode(iHashType), reinterpret_cast<const BYTE *>(strUtf8.data()),
                        static_cast<DWORD>(strUtf8.size()), strHex);
}

bool TerminalCertification::Base64URL(const std::wstring &strHex, std::wstring &strText)
{
    std::wstring strUnits;
    if (!HexToByteUnits(strHex, strUnits)) return false;
    return EncodeToText(Coding::GetCode(Coding::CODE_BASE64URL), reinterpret_cast<const BYTE *>(strUnits.data()),
                        static_cast<DWORD>(strUnits.size() * sizeof(wchar_t)), strText);
}

bool TerminalCertification::EncodeToText(Coding *pNewCoder, const BYTE *pbInput, DWORD dwInput, std::wstring &strText)
{
    std::unique_ptr<Coding> pCoder(pNewCoder);
    if (!pCoder) return false;
    long lNeeded = pCoder->Encode(pbInput, dwInput, nullptr, std::wstring());   // bytes, zero unit included
    if (lNeeded < 1) return false;
    std::vector<wchar_t> vecText(static_cast<size_t>(lNeeded) / sizeof(wchar_t) + 1, L'\0');
    if (pCoder->Encode(pbInput, dwInput, reinterpret_cast<BYTE *>(vecText.data()), std::wstring()) < 1) return false;
    strText = vecText.data();
    return true;
}

void TerminalCertification::SetError(ErrInfo *pErr, long lCode)
{
    if (pErr != nullptr) pErr->ErrCode = lCode;
}
