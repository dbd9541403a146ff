#include "PipeMessageReader.h"
#include "Log.h"
#include "ScopedHandle.h"

PipeMessageReader::Result PipeMessageReader::Read(HANDLE hPipe, HANDLE hStop, DWORD dwIdleLimitMs,
                                                  std::wstring *pstrMessage)
{
    ScopedHandle hReadEvent(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!hReadEvent) {
        LOG_API_ERROR(L"CreateEvent", GetLastError());
        return READ_FAILED;
    }
    // One byte more than a read asks for, zeroed, so that an odd byte count still makes whole
    // characters. The text is taken by its length: after 1023 bytes there is no zero character.
    alignas(wchar_t) BYTE abBuffer[MAX_MESSAGE_BYTES + 1];
    ZeroMemory(abBuffer, sizeof(abBuffer));
    OVERLAPPED ov = {};
    ov.hEvent = hReadEvent.Get();
    DWORD dwRead = 0;
    if (!ReadFile(hPipe, abBuffer, MAX_MESSAGE_BYTES, &dwRead, &ov)) {
        DWORD dwErr = GetLastError();
        if (dwErr != ERROR_IO_PENDING) {
            LOG_API_ERROR(L"ReadFile", dwErr);
            return READ_FAILED;
        }
        // The completed read delivered the message; it is not read a second time.
        Result result = WaitForBytes(hPipe, hStop, dwIdleLimitMs, &ov, &dwRead);
        if (result != READ_DONE) return result;
    }
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] ReadFile() return %lu bytes", dwRead);
    const wchar_t *pszText = reinterpret_cast<const wchar_t *>(abBuffer);
    size_t nChars = (dwRead + 1) / sizeof(wchar_t);
    size_t nLen = 0;
    while (nLen < nChars && pszText[nLen] != L'\0') ++nLen;   // the text ends at its first zero
    pstrMessage->assign(pszText, nLen);
    return READ_DONE;
}

PipeMessageReader::Result PipeMessageReader::WaitForBytes(HANDLE hPipe, HANDLE hStop, DWORD dwIdleLimitMs,
                                                          OVERLAPPED *pOverlapped, DWORD *pdwRead)
{
    HANDLE ahWait[2] = {pOverlapped->hEvent, hStop};
    DWORD dwWait = WaitForMultipleObjects(hStop != nullptr ? 2 : 1, ahWait, FALSE, dwIdleLimitMs);
    if (dwWait == WAIT_OBJECT_0) {
        if (GetOverlappedResult(hPipe, pOverlapped, pdwRead, TRUE)) return READ_DONE;
        DWORD dwErr = GetLastError();
        if (dwErr == 0) return READ_DONE;
        LOG_API_ERROR(L"ReadFile", dwErr);
        return READ_FAILED;
    }
    DWORD dwWaitErr = GetLastError();
    // The read must be over before its buffer goes out of scope.
    CancelIo(hPipe);
    DWORD dwIgnored = 0;
    GetOverlappedResult(hPipe, pOverlapped, &dwIgnored, TRUE);
    if (dwWait == WAIT_TIMEOUT) {
        LOGWRITE(LOG_WARN, L"The client sent nothing within %lu ms; its pipe instance is dropped.", dwIdleLimitMs);
        return READ_IDLE;
    }
    if (dwWait == WAIT_FAILED) LOG_API_ERROR(L"WaitForMultipleObjects", dwWaitErr);
    LOGWRITE(LOG_ERROR, L"WaitEvent return Error");
    return READ_STOPPED;
}
