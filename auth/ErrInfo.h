#pragma once
// The failure record of a certification: what went wrong, for the connection to show and report.
#include <string>

struct ErrInfo {
    long ErrCode = 0;          // message id, 0 when none
    long DetailCode = 0;       // detail code
    std::wstring ErrMsg;       // additional text
    long Publicher = 0;        // 1 when the registration server decided the failure
    bool ReloadProfile = false;

    // Numbers 0, text empty, flag false.
    void Clear()
    {
        ErrCode = 0;
        DetailCode = 0;
        ErrMsg.clear();
        Publicher = 0;
        ReloadProfile = false;
    }
};
