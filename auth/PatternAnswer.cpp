#include "PatternAnswer.h"
#include "ConvertString.h"
#include "Log.h"

namespace PatternAnswer {
const wchar_t RESPONSE[] = L"PassLogic:Response";

long CodeOf(const std::wstring &strCode)
{
    long lCode = ConvertString().StringToInteger(strCode);
    if (lCode < 0) {
        LOGWRITE(LOG_WARN, L"The server's code [%s] is no number", strCode.c_str());
        return 0;
    }
    return lCode;
}
}   // namespace PatternAnswer
