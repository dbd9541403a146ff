#pragma once
// Result codes of the registration server and the message id each one shows, per operation
// ("registTerminal", "notifyConnectErr", "updateClient"). A server code is a decimal text of
// any length; one that does not fit a long is no code of the table (never a wrapped-around one).
#include <string>

class RegistErrorCodeTable {
public:
    static const wchar_t OP_REGIST[];
    static const wchar_t OP_NOTIFY[];
    static const wchar_t OP_UPDATE[];
    // The id of a code that the table does not know (or knows without an id for the operation).
    static constexpr long UNKNOWN_CODE_ID = 5241;

    // True when the text is not empty and holds decimal digits only.
    static bool IsResultCode(const std::wstring &strText);
    // Decimal digits only, and the value fits a long: true with the value.
    static bool ParseCode(const std::wstring &strText, long &lValue);
    // The message id of (code, operation); strText becomes the code in brackets ("[%ld]").
    static long Lookup(long lCode, const std::wstring &strOperation, std::wstring &strText);
    // The same for the server's text: a text that is no code within a long gives UNKNOWN_CODE_ID
    // and the text itself in brackets.
    static long LookupText(const std::wstring &strCode, const std::wstring &strOperation, std::wstring &strText);

private:
    static long IdFor(long lCode, const std::wstring &strOperation);
};
