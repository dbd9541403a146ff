#pragma once
// The notification hook that the client application supplies: progress notices and messages of
// the connection library (message id, title id, display status, text). Status 100 marks a
// progress notice, 200 an informational message, 5 an error, 2 "cancelling".
// Called on the library's working threads; an implementation must not block for long.
#include <string>

class NotifyHook {
public:
    static constexpr long STATUS_PROGRESS = 100;

    virtual ~NotifyHook() {}
    virtual void NotifyError(long lMsgCode, long lTitleCode, long lDispStatus, const std::wstring &strAddMsg) = 0;
};
