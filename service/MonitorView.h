#pragma once
// Message boxes of the service in the user's interactive session. The service runs in session 0
// without a window, so the box is sent through the terminal services; its text comes from the
// message catalogue in the language the client last reported.
#include <windows.h>
#include <string>

class Language;

class MonitorView {
public:
    explicit MonitorView(const std::wstring &strLanguage);

    // 0 when the box was handed to the active session (the service does not wait for the user);
    // -1 when no language object can be made, no session is active or the language is not
    // defined; otherwise the error of the failing step (system error or GetLanguage's code).
    virtual long ShowMessage(long lMessageId, const std::wstring &strCaption, DWORD dwStyle);
    virtual ~MonitorView();

    MonitorView(const MonitorView &) = delete;
    MonitorView &operator=(const MonitorView &) = delete;

protected:
    // The language object of one message; null when it cannot be created. The caller deletes it.
    virtual Language *NewLanguage();

private:
    long GetLanguageType() const;
    std::wstring LoadMessageText(HMODULE hModule, long lMessageId) const;
    long FindActiveSession(DWORD &dwSessionId) const;
    long SendSessionMessage(DWORD dwSessionId, const std::wstring &strCaption, const std::wstring &strText,
                            DWORD dwStyle) const;

    std::wstring m_strLanguage;
};
