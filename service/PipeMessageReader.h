#pragma once
// Reads the one message a pipe client writes: at most 1023 bytes of UTF-16 text, ended by the
// client's write, a stop request, or the client's silence past the idle limit.
#include <windows.h>
#include <string>

class PipeMessageReader {
public:
    enum Result { READ_DONE, READ_STOPPED, READ_IDLE, READ_FAILED };

    static const DWORD MAX_MESSAGE_BYTES = 1023;

    // hStop may be null. On READ_DONE the text (up to its first zero character) is in *pstrMessage.
    static Result Read(HANDLE hPipe, HANDLE hStop, DWORD dwIdleLimitMs, std::wstring *pstrMessage);

private:
    static Result WaitForBytes(HANDLE hPipe, HANDLE hStop, DWORD dwIdleLimitMs, OVERLAPPED *pOverlapped,
                               DWORD *pdwRead);
};
