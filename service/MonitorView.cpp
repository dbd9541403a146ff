#include "MonitorView.h"
#include "ActiveSession.h"
#include "ConvertString.h"
#include "Language.h"
#include "Log.h"
#include "ScopedHandle.h"
#include <wtsapi32.h>
#include <memory>
#include <new>
#include <vector>

namespace {
// Texts travel with their terminating zero; the terminal services want the sizes in bytes.
std::vector<wchar_t> TerminatedCopy(const std::wstring &str)
{
    return std::vector<wchar_t>(str.c_str(), str.c_str() + str.size() + 1);
}

DWORD ByteLength(const std::wstring &str)
{
    return (DWORD)(str.size() * sizeof(wchar_t) + sizeof(wchar_t));
}

// The error of a failed call; never 0, so that a failure cannot be reported as success.
DWORD FailureCode()
{
    DWORD dwError = GetLastError();
    return dwError != ERROR_SUCCESS ? dwError : ERROR_GEN_FAILURE;
}
}  // namespace

MonitorView::MonitorView(const std::wstring &strLanguage) : m_strLanguage(strLanguage)
{
}

MonitorView::~MonitorView()
{
}

Language *MonitorView::NewLanguage()
{
    return new (std::nothrow) Language();
}

long MonitorView::ShowMessage(long lMessageId, const std::wstring &strCaption, DWORD dwStyle)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] lMessageId is %ld, caption is %s, style is %lu", lMessageId,
             strCaption.c_str(), dwStyle);
    std::unique_ptr<Language> pLanguage(NewLanguage());
    if (!pLanguage) {
        LOGWRITE(LOG_ERROR, L"Failure to new clLanguage class");
        return -1;
    }
    HMODULE hModule = nullptr;
    long lResult = pLanguage->GetLanguage(GetLanguageType(), hModule);
    if (lResult != 0) {
        LOGWRITE(LOG_ERROR, L"Failure to get language");
        return lResult;
    }
    std::wstring strText = LoadMessageText(hModule, lMessageId);
    pLanguage->ReleaseLanguage(hModule);   // a failure was logged; the text is already copied

    DWORD dwSessionId = 0;
    lResult = FindActiveSession(dwSessionId);
    if (lResult == 0) lResult = SendSessionMessage(dwSessionId, strCaption, strText, dwStyle);
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] ShowMessage() return is [%ld]", lResult);
    return lResult;
}

long MonitorView::GetLanguageType() const
{
    LOG_SCOPE();
    // Decimal text from the client; empty or anything that is not a number means the default.
    ConvertString clConvert;
    long lType = clConvert.StringToInteger(m_strLanguage);
    return lType < 0 ? (long)Language::LANGUAGE_DEFAULT : lType;
}

std::wstring MonitorView::LoadMessageText(HMODULE hModule, long lMessageId) const
{
    LOG_SCOPE();
    // String table ids are 16 bits; a larger id would be cut down to another message's id.
    if (lMessageId < 0 || lMessageId > 0xFFFF) {
        LOGWRITE(LOG_WARN, L"Message id %ld is outside the catalogue", lMessageId);
        return std::wstring();
    }
    // Length 0 gives a pointer into the module itself: no buffer size to guess. The text is
    // copied out before the module is released.
    const wchar_t *pszText = nullptr;
    LOGWRITE(LOG_DEBUG, L"[API Call] LoadStringW(%ld)", lMessageId);
    int iLen = LoadStringW(hModule, (UINT)lMessageId, reinterpret_cast<LPWSTR>(&pszText), 0);
    LOGWRITE(LOG_DEBUG, L"[API Return] LoadStringW() return %ld", (long)iLen);
    if (iLen <= 0 || pszText == nullptr) {
        LOG_API_ERROR(L"LoadStringW", GetLastError());
        LOGWRITE(LOG_WARN, L"Message id %ld has no text", lMessageId);
        return std::wstring();
    }
    return std::wstring(pszText, (size_t)iLen);
}

long MonitorView::FindActiveSession(DWORD &dwSessionId) const
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[API Call] WTSEnumerateSessions()");
    long lResult = ActiveSession::Find(dwSessionId);
    if (lResult == ActiveSession::FOUND) {
        LOGWRITE(LOG_INFO, L"Active SessionId  %ld", (long)dwSessionId);
    } else if (lResult == ActiveSession::NONE_ACTIVE) {
        LOGWRITE(LOG_WARN, L"No active session: the message is not shown");
    } else {
        LOG_API_ERROR(L"WTSEnumerateSessions", lResult);
    }
    return lResult;
}

long MonitorView::SendSessionMessage(DWORD dwSessionId, const std::wstring &strCaption,
                                     const std::wstring &strText, DWORD dwStyle) const
{
    LOG_SCOPE();
    std::vector<wchar_t> vecCaption = TerminatedCopy(strCaption);
    std::vector<wchar_t> vecText = TerminatedCopy(strText);
    DWORD dwResponse = 0;
    LOGWRITE(LOG_DEBUG, L"[API Call] WTSSendMessage(session %lu)", dwSessionId);
    // Time-out 0 and no waiting: the service goes on while the box is up.
    if (!WTSSendMessageW(WTS_CURRENT_SERVER_HANDLE, dwSessionId, &vecCaption[0], ByteLength(strCaption),
                         &vecText[0], ByteLength(strText), dwStyle, 0, &dwResponse, FALSE)) {
        DWORD dwError = FailureCode();
        LOG_API_ERROR(L"WTSSendMessage", dwError);
        return (long)dwError;
    }
    LOGWRITE(LOG_DEBUG, L"[API Return] WTSSendMessage() response %lu", dwResponse);
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] message [%s] sent to session %lu", strText.c_str(), dwSessionId);
    return 0;
}
