#pragma once
// The device's exchanges with the operator's registration server: registration ("registTerminal"),
// the failure notice ("notifyConnectErr") and the module update ("updateClient"), each one HTTP
// POST of form data through the HTTP adapter. docs/registration.md describes them.
//
// Created per use by the connect sequence or a certification; the exchanges run on the caller's
// thread (the connect thread), Cancel on another (the cancel thread). The HTTP connection lives
// for one exchange: the connect thread creates and deletes it, Cancel uses it only under m_csHttp.
#include "CriticalSection.h"
#include "ErrorInfo.h"
#include "ProfileStore.h"
#include "ScopedHandle.h"
#include "StatusNotifier.h"
#include <windows.h>
#include <functional>
#include <string>
#include <vector>

class HTTP_Connection;
struct HttpRequestInfo;
struct ErrInfo;

class RegistTerminal {
public:
    static constexpr long UPDATE_FLAG_MASK = 0xF;
    static constexpr long UPDATE_FLAG_NO_INTERNAL_RETRY = 0x8000;
    static constexpr long ACCESS_URL_INTERNAL = 1;
    static constexpr long ACCESS_URL_EXTERNAL = 2;
    static constexpr long STATUS_ERROR = 5;
    static constexpr long STATUS_CANCELLING = 2;
    static constexpr long STATUS_PROGRESS = 100;
    static constexpr long STATUS_INFO = 200;
    static constexpr long STATUS_COMPUTE = -1;
    static constexpr DWORD CANCEL_EVENT_WAIT_MS = 15000;
    static constexpr DWORD PROGRESS_PAUSE_MS = 200;

    // Seams for tests; the product uses the defaults.
    struct Seams {
        std::function<HTTP_Connection *()> pfnCreateHttp;          // null: CreateHTTPConnection
        std::function<void(ProfileStore::Step)> pfnStoreStepHook;  // null: none
    };

    RegistTerminal();
    explicit RegistTerminal(const Seams &seams);
    ~RegistTerminal();
    RegistTerminal(const RegistTerminal &) = delete;
    RegistTerminal &operator=(const RegistTerminal &) = delete;

    // The client's hook for notices (not owned; null drops them) and its window, which is asked
    // before a module update (the connection passes the window given to Connect).
    void SetNotifyHook(NotifyHook *pHook);
    void SetClientWindow(HWND hWnd);
    // How long the window may take to answer the update question (tests shorten it).
    void SetQuestionTimeout(UINT uTimeoutMs);

    long ExecRegistTerminal(int iIndex, const std::wstring &strPassword, long lUpdateFlags, bool bRetry, long iAccessURL);
    long ExecErrorNotify(int iIndex, const std::wstring &strPassword, ErrInfo *pErrInfo);
    long ExecUpdate(bool bProfileExisted);
    void Cancel();
    void GetErrorInfo(ErrorInfo *pErrorInfo);

    void SetErrorInfo(long lMsgCode, long lTitleCode, long lDispStatus, const std::wstring &strAddMsg, bool bNotify);
    // Base address of the server with a trailing "/"; empty when none is set or "http:" is not
    // allowed by the initialization file.
    std::wstring GetServerURL();
    // 0 with the body, or the failure's message id (4003: no terminal id info).
    long GetRegistTerminalSendParam(int iIndex, const std::wstring &strOperation, const std::wstring &strPassword,
                                    std::wstring &strBody);
    static std::wstring GetURLEncode(const std::wstring &strText);
    static bool IsResultCodeFromServer(const std::wstring &strText);
    static long GetInternalErrorCode(const std::wstring &strCode, const std::wstring &strOperation, std::wstring &strText);
    static long GetInternalSuccessCode(const std::wstring &strCategory, const std::wstring &strInfoCode,
                                       const std::wstring &strOperation, bool bCreateProfile);
    std::vector<std::wstring> GetInstalledFolderInfo();
    // Whether the address may be used: https, or http when AllowPlainHTTP is "1".
    static bool IsAllowedScheme(const std::wstring &strURL, bool bAllowPlainHTTP);
    // The password of the update archive announced by the profile's module number.
    static std::wstring ArchivePassword(const std::wstring &strUpdateModuleNumber);

private:
    enum ExchangeEnd { END_CANCELLED, END_FAILED, END_OK };

    void ResetState();
    bool IsCancelled() const { return m_lCancel != 0; }
    bool OpenHttp();
    void CloseHttp();
    ExchangeEnd RunRequest(HttpRequestInfo &request, const std::wstring &strFolder, long &lOpenFailure);
    long WaitTransfer();
    long WaitDownload(HttpRequestInfo &request);
    void NotifyPercent(int iPercent);
    long PrepareExchange(int iIndex, const std::wstring &strOperation, const std::wstring &strPassword,
                         std::wstring &strURL, std::wstring &strBody);
    long RegistFailed(const HttpRequestInfo &request, bool bProfileExisted, long lUpdateFlags,
                      std::wstring &strResultText);
    long RegistAnswered(const HttpRequestInfo &request, bool bProfileExisted, long lUpdateFlags,
                        std::wstring &strResultText);
    long UpdateStep(bool bProfileExisted, long lUpdateFlags);
    long SuccessCode(const std::wstring &strOperation, bool bCreateProfile);
    long StoreProfile(const std::wstring &strText, long lWriteFailureId);
    void NotifyAnswered(const HttpRequestInfo &request, ErrInfo *pErrInfo);
    long AskUpdate();
    std::wstring UpdateBody();
    long UpdateAnswered(const HttpRequestInfo &request);
    long UnpackAndHandOver(const std::wstring &strDownloadedFile);
    void FinishExchange(long lResult, long lDispStatus, const std::wstring &strText);
    void WaitCancelEnd();

    Seams m_seams;
    HTTP_Connection *m_pHttp;       // guarded by m_csHttp against Cancel; deleted by the connect thread
    bool m_isInternalAddress;
    volatile LONG m_lCancel;
    long m_lStatus;
    long m_lMsgCode;
    std::wstring m_strAddMsg;
    bool m_isProfileLoad;
    bool m_isUpdateModule;
    bool m_isUpdateCancel;
    bool m_isNetworkError;
    bool m_isNotifyMsg;
    ScopedHandle m_hCancelEvent;    // manual reset: set when a Cancel has finished
    volatile LONG m_lCancelUsed;    // a Cancel ran on this object
    StatusNotifier m_notifier;
    HWND m_hClientWnd;
    UINT m_uQuestionTimeoutMs;
    CriticalSection m_csHttp;
    CriticalSection m_csState;      // leaf: the message fields
};
