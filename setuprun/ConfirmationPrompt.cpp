#include "ConfirmationPrompt.h"

#include "LaunchLog.h"

namespace {

const char kCaption[] = "NOLVEX CONNECT";

// Code page 932 bytes of
//   引き続き処理を実行しますか？
//   ※NOLVEXコネクトをインストール済みの場合は「はい」を選択してください。
// one literal per character, so that no hex escape runs into the next byte.
const char kText[] =
    "\x88\xf8" "\x82\xab" "\x91\xb1" "\x82\xab" "\x8f\x88" "\x97\x9d" "\x82\xf0" "\x8e\xc0"
    "\x8d\x73" "\x82\xb5" "\x82\xdc" "\x82\xb7" "\x82\xa9" "\x81\x48"
    "\n"
    "\x81\xa6" "NOLVEX" "\x83\x52"
    "\x83\x6c" "\x83\x4e" "\x83\x67" "\x82\xf0" "\x83\x43" "\x83\x93" "\x83\x58" "\x83\x67"
    "\x81\x5b" "\x83\x8b" "\x8d\xcf" "\x82\xdd" "\x82\xcc" "\x8f\xea" "\x8d\x87" "\x82\xcd"
    "\x81\x75" "\x82\xcd" "\x82\xa2" "\x81\x76" "\x82\xf0" "\x91\x49" "\x91\xf0" "\x82\xb5"
    "\x82\xc4" "\x82\xad" "\x82\xbe" "\x82\xb3" "\x82\xa2" "\x81\x42";

}   // namespace

const char *ConfirmationPrompt::Caption()
{
    return kCaption;
}

const char *ConfirmationPrompt::Text()
{
    return kText;
}

int ConfirmationPrompt::Ask()
{
    int iAnswer = MessageBoxA(nullptr, kText, kCaption,
                              MB_YESNO | MB_ICONQUESTION | MB_TOPMOST | MB_SETFOREGROUND);
    if (iAnswer == 0) LaunchLog::ApiError("MessageBoxA", GetLastError());
    LaunchLog::Write("[API Return] MessageBoxA answer:[%d]", iAnswer);
    return iAnswer;
}
