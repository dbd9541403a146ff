#include "RegistSuccessCodeTable.h"
#include "Log.h"
#include "MessageIds.h"
#include "RegistErrorCodeTable.h"

namespace {
struct SuccessRow {
    const wchar_t *pszOperation;
    const wchar_t *pszCategory;
    const wchar_t *pszInfoCode;
    bool bCreateProfile;
    long lId;
};

const SuccessRow kRows[] = {
    {RegistErrorCodeTable::OP_REGIST, L"0", L"0", true, MSG_REG_COMPLETED},
    {RegistErrorCodeTable::OP_REGIST, L"1", L"1", true, MSG_REG_IN_PROGRESS},
    {RegistErrorCodeTable::OP_REGIST, L"2", L"3", true, MSG_REG_COMPLETED},
    {RegistErrorCodeTable::OP_REGIST, L"0", L"0", false, MSG_REG_UPDATE_COMPLETED},
    {RegistErrorCodeTable::OP_REGIST, L"1", L"1", false, MSG_REG_UPDATE_IN_PROGRESS},
    {RegistErrorCodeTable::OP_REGIST, L"2", L"1", false, MSG_REG_UPDATE_COMPLETED},
    {RegistErrorCodeTable::OP_REGIST, L"2", L"2", false, MSG_REG_UPDATE_COMPLETED},
    {RegistErrorCodeTable::OP_REGIST, L"2", L"3", false, MSG_REG_UPDATE_COMPLETED},
    {RegistErrorCodeTable::OP_REGIST, L"2", L"4", false, MSG_REG_UPDATE_COMPLETED},
    {RegistErrorCodeTable::OP_NOTIFY, L"1", L"1", true, MSG_AUTH_REREGISTERING},
};
}   // namespace

long RegistSuccessCodeTable::Lookup(const std::wstring &strCategory, const std::wstring &strInfoCode,
                                    const std::wstring &strOperation, bool bCreateProfile)
{
    for (const SuccessRow &row : kRows) {
        if (strOperation == row.pszOperation && strCategory == row.pszCategory && strInfoCode == row.pszInfoCode &&
            bCreateProfile == row.bCreateProfile) {
            LOGWRITE(LOG_DEBUG, L"[OutputInfo] notice %s/%s of %s shows %ld", strCategory.c_str(), strInfoCode.c_str(),
                     strOperation.c_str(), row.lId);
            return row.lId;
        }
    }
    return 0;
}
