#pragma once
// The outcome of one registration run (RegistTerminal::GetErrorInfo), read by the connection's
// connect sequence. A plain record; fields in the designed order.
#include <string>

struct ErrorInfo {
    long Status = -1;             // display status of the last message: 200, 100, 5, 2; -1 none
    long MsgCode = 0;             // message id of the last message
    std::wstring AddMsg;          // additional text of the last message
    bool isProfileLoad = false;   // a new terminal profile was stored and loaded
    bool isUpdateModule = false;  // an update module was unpacked and handed to the service
    bool isUpdateCancel = false;  // the user declined the update
    bool isNetworkError = false;  // the registration exchange failed on the network
    bool isNotifyMsg = false;     // a message went to the notification hook
};
