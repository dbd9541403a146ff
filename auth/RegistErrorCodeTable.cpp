#include "RegistErrorCodeTable.h"
#include "Log.h"
#include "MessageIds.h"
#include <climits>

const wchar_t RegistErrorCodeTable::OP_REGIST[] = L"registTerminal";
const wchar_t RegistErrorCodeTable::OP_NOTIFY[] = L"notifyConnectErr";
const wchar_t RegistErrorCodeTable::OP_UPDATE[] = L"updateClient";

namespace {
struct CodeRow {
    long lCode;
    long lRegistId;
    long lNotifyId;
};

const CodeRow kRows[] = {
    {1202001, MSG_REG_REQUIRED_ITEM, MSG_AUTH_REG_PROFILE_INVALID},
    {1900001, MSG_REG_UNEXPECTED, MSG_AUTH_REG_UNEXPECTED},
    {1900999, MSG_REG_UNEXPECTED, MSG_AUTH_REG_UNEXPECTED},
    {1901999, MSG_REG_UNEXPECTED, MSG_AUTH_REG_UNEXPECTED},
    {2210001, MSG_REG_UNEXPECTED, MSG_AUTH_REG_UNEXPECTED},
    {2210999, MSG_REG_UNEXPECTED, MSG_AUTH_REG_UNEXPECTED},
    {2310302, MSG_REG_ID_OR_PASSWORD, MSG_AUTH_REG_ID_OR_PASSWORD},
    {2310303, MSG_REG_ID_LOCKED, MSG_AUTH_REG_ID_LOCKED},
    {2310304, MSG_REG_PASSWORD_EXPIRED, MSG_AUTH_REG_PASSWORD_EXPIRED},
    {2310305, MSG_REG_PROFILE_INVALID, MSG_AUTH_REG_PROFILE_INVALID},
    {2310999, MSG_REG_UNEXPECTED, MSG_AUTH_REG_UNEXPECTED},
    {2203001, MSG_REG_UNEXPECTED, MSG_AUTH_REG_UNEXPECTED},
    {2203003, MSG_REG_UNEXPECTED, MSG_AUTH_REG_UNEXPECTED},
    {2203018, MSG_REG_UNEXPECTED, MSG_AUTH_REG_UNEXPECTED},
    {2203999, MSG_REG_UNEXPECTED, MSG_AUTH_REG_UNEXPECTED},
    {2203002, MSG_REG_TOO_LONG, MSG_AUTH_REG_PROFILE_INVALID},
    {2203025, MSG_REG_DEVICE_LIMIT, MSG_AUTH_REG_DEVICE_LIMIT},
    {2203027, MSG_REG_ADMIN_REQUIRED, MSG_AUTH_REG_ADMIN_REQUIRED},
    {2203028, MSG_REG_NOT_PREREGISTERED, MSG_AUTH_REG_NOT_PREREGISTERED},
    {2203029, MSG_REG_NOT_IN_GROUP, MSG_AUTH_REG_NOT_IN_GROUP},
    {2303001, MSG_REG_DEVICE_DUPLICATE, MSG_AUTH_REG_DEVICE_DUPLICATE},
    {2303002, MSG_REG_UNEXPECTED, MSG_AUTH_REG_UNEXPECTED},
    {2303010, MSG_REG_UNEXPECTED, MSG_AUTH_REG_UNEXPECTED},
    {2303011, MSG_REG_UNEXPECTED, MSG_AUTH_REG_UNEXPECTED},
    {2303999, MSG_REG_UNEXPECTED, MSG_AUTH_REG_UNEXPECTED},
    {2303021, MSG_REG_SYSTEM_BUSY, MSG_AUTH_REG_SYSTEM_BUSY},
    {2303031, MSG_REG_NO_SYSTEM_SETTINGS, MSG_AUTH_REG_NO_SYSTEM_SETTINGS},
    {2303032, MSG_REG_DEVICE_MISMATCH, MSG_AUTH_REG_DEVICE_MISMATCH},
    {2303035, MSG_REG_SERVICE_NOT_ASSIGNED, MSG_AUTH_REG_SERVICE_NOT_ASSIGNED},
    {2901999, MSG_REG_UNEXPECTED, MSG_AUTH_REG_UNEXPECTED},
    {2902001, MSG_REG_UNEXPECTED, MSG_AUTH_REG_UNEXPECTED},
    {2902999, MSG_REG_UNEXPECTED, MSG_AUTH_REG_UNEXPECTED},
};

// The codes the update exchange knows; each shows 8781.
const long kUpdateCodes[] = {1202001, 1202015, 1401001, 1900001, 1900999};
}   // namespace

bool RegistErrorCodeTable::IsResultCode(const std::wstring &strText)
{
    if (strText.empty()) return false;
    for (wchar_t ch : strText)
        if (ch < L'0' || ch > L'9') return false;
    return true;
}

bool RegistErrorCodeTable::ParseCode(const std::wstring &strText, long &lValue)
{
    if (!IsResultCode(strText)) return false;
    long long llValue = 0;
    for (wchar_t ch : strText) {
        llValue = llValue * 10 + (ch - L'0');
        if (llValue > LONG_MAX) return false;
    }
    lValue = static_cast<long>(llValue);
    return true;
}

long RegistErrorCodeTable::IdFor(long lCode, const std::wstring &strOperation)
{
    if (strOperation == OP_UPDATE) {
        for (long lKnown : kUpdateCodes)
            if (lKnown == lCode) return MSG_REG_UNEXPECTED;
        return 0;
    }
    for (const CodeRow &row : kRows) {
        if (row.lCode != lCode) continue;
        if (strOperation == OP_REGIST) return row.lRegistId;
        if (strOperation == OP_NOTIFY) return row.lNotifyId;
        return 0;
    }
    return 0;
}

long RegistErrorCodeTable::Lookup(long lCode, const std::wstring &strOperation, std::wstring &strText)
{
    strText = L"[" + std::to_wstring(lCode) + L"]";
    long lId = IdFor(lCode, strOperation);
    if (lId == 0) lId = UNKNOWN_CODE_ID;
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] server code %ld of %s shows %ld", lCode, strOperation.c_str(), lId);
    return lId;
}

long RegistErrorCodeTable::LookupText(const std::wstring &strCode, const std::wstring &strOperation, std::wstring &strText)
{
    long lCode = 0;
    if (ParseCode(strCode, lCode)) return Lookup(lCode, strOperation, strText);
    LOGWRITE(LOG_ERROR, L"The server code [%s] is no number within range", strCode.c_str());
    strText = L"[" + strCode + L"]";
    return UNKNOWN_CODE_ID;
}
