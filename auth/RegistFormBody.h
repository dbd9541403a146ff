#pragma once
// The form body of the registration server's "registTerminal" and "notifyConnectErr" requests:
// key=value pairs joined by "&", every value URL-encoded, in the order the server expects.
// The values are gathered by the caller (RegistTerminal); this class only lays them out.
#include <string>
#include <vector>

class RegistFormBody {
public:
    struct Values {
        std::wstring strComputerName;
        std::wstring strComputerSid;          // already chosen (terminal id info or SID)
        bool bSendConnectPassword = false;    // profile present, index >= 0, password type not "0"
        std::wstring strConnectPassword;      // the profile's
        std::wstring strNolvexId;
        std::wstring strHddSerialNumber;      // left out when empty
        std::wstring strInstalledVersion;
        bool bSendMacAddress = true;          // false when MACInvalid is "1"
        std::vector<std::wstring> vecMacAddresses;   // adapter order; sent last first
        std::wstring strStandardPassword;     // the password given; sent without connectPassword
        std::wstring strTerminalAuthId;
        std::wstring strTerminalIdentInfo;
    };

    // The body, or empty when a value cannot be encoded.
    static std::wstring Build(const Values &values);
    // URL coding of the text (empty for an empty text or a failure).
    static std::wstring Encode(const std::wstring &strText, bool &bOk);
    // "computerSid=" value from the terminal id info: every "_" becomes "-".
    static std::wstring SidFromTerminalIdInfo(const std::wstring &strInfo);
};
