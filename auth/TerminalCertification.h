#pragma once
// Device authentication: when a connection service of the terminal profile demands it, the
// account and password sent to the gateway are derived from the device (docs/certification.md).
// One object per connect attempt or registration run, used by one thread.
#include "ErrInfo.h"
#include <windows.h>
#include <functional>
#include <string>

class Coding;
class OSInformation;
class TerminalProfile;

class TerminalCertification {
public:
    // Characters kept of the Base64URL texts.
    static constexpr size_t TERMINAL_ID_INFO_CHARS = 43;
    static constexpr size_t TERMINAL_PASSWORD_CHARS = 15;

    // The process-wide terminal profile and this machine's device information.
    explicit TerminalCertification(long lServiceIndex);
    // Tests: another profile (not owned) and another source of device information (each object
    // it makes is deleted after use).
    TerminalCertification(long lServiceIndex, TerminalProfile &profile,
                          std::function<OSInformation *()> pfnCreateOSInformation);

    // True when the connection service of the index demands device authentication.
    bool isEffective();
    // The profile's authTerminalID.
    std::wstring GetTerminalID();
    // The device serial: the cached one, else the BIOS serial, else the system volume's serial.
    std::wstring GetHDDInfo();
    // 43 Base64URL characters of the SHA-256 of computer SID + device serial, or empty with the
    // message id in pErr (may be null).
    std::wstring GetTerminalIDInfo(ErrInfo *pErr);
    // 15 Base64URL characters of the SHA-1 of terminal id info + shared key + base password, or
    // empty.
    std::wstring GetTerminalPassword(const std::wstring &strPassword, ErrInfo *pErr);

private:
    // The decimal value of a profile flag; text that is no number counts as 0 (logged).
    long ProfileNumber(const std::wstring &strValue, const wchar_t *pszName);
    std::wstring BasePassword(const std::wstring &strPassword);
    // The first nKeep characters of the Base64URL text of the digest (code type of the hash) of
    // the UTF-8 bytes of the source; empty when a step fails.
    static std::wstring DigestText(int iHashType, const std::wstring &strSource, size_t nKeep);
    static bool HashUtf8(int iHashType, const std::wstring &strSource, std::wstring &strHex);
    static bool Base64URL(const std::wstring &strHex, std::wstring &strText);
    // Runs the new coder (deleted here; null fails) over the input: its UTF-16 text output.
    static bool EncodeToText(Coding *pNewCoder, const BYTE *pbInput, DWORD dwInput, std::wstring &strText);
    static void SetError(ErrInfo *pErr, long lCode);

    TerminalProfile &m_profile;
    std::function<OSInformation *()> m_pfnCreateOSInformation;
    long m_lServiceIndex;
    std::wstring m_strTerminalIDInfo;
    std::wstring m_strComputerSID;
    std::wstring m_strDeviceSerial;
};
