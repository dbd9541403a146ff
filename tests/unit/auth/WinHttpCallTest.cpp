// The completion record between WinHTTP's status callback and the adapter's worker.
#include "WinHttpCall.h"
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace {
const DWORD kLongMs = 5000;
const DWORD kShortMs = 100;
const DWORD kLateMs = 50;

struct CallDeleter {
    void operator()(WinHttpCall *p) const { p->Release(); }
};
typedef std::unique_ptr<WinHttpCall, CallDeleter> CallPtr;
}   // namespace

class WinHttpCallTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_call.reset(WinHttpCall::Create());
        ASSERT_TRUE(m_call);
        m_hCancel.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        ASSERT_TRUE(m_hCancel.IsValid());
    }
    // A completion from another thread, dwDelayMs after now (the worker is asleep by then).
    std::thread CompleteLater(DWORD dwStatus, DWORD dwValue, DWORD dwDelayMs)
    {
        DWORD_PTR dwContext = m_call->Context();
        return std::thread([=]() {
            Sleep(dwDelayMs);
            DWORD dwInfo = dwValue;
            if (dwStatus == WINHTTP_CALLBACK_STATUS_READ_COMPLETE)
                WinHttpCall::Notify(dwContext, dwStatus, m_call->Buffer(), dwValue);
            else if (dwStatus == WINHTTP_CALLBACK_STATUS_REQUEST_ERROR) {
                WINHTTP_ASYNC_RESULT result = {API_READ_DATA, dwValue};
                WinHttpCall::Notify(dwContext, dwStatus, &result, sizeof(result));
            } else
                WinHttpCall::Notify(dwContext, dwStatus, &dwInfo, sizeof(dwInfo));
        });
    }
    CallPtr m_call;
    ScopedHandle m_hCancel;
};

TEST_F(WinHttpCallTest, CompletionsFromAnotherThreadWakeTheWorkerWithTheirCounts)
{
    const DWORD adwStatus[] = {WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE, WINHTTP_CALLBACK_STATUS_READ_COMPLETE,
                               WINHTTP_CALLBACK_STATUS_WRITE_COMPLETE};
    DWORD dwValue = 100;
    for (DWORD dwStatus : adwStatus) {   // one call after another, as the worker does
        m_call->Begin();
        std::thread late = CompleteLater(dwStatus, dwValue, kLateMs);
        WinHttpCall::Completion completion = {};
        EXPECT_EQ(WinHttpCall::CALL_DONE, m_call->Wait(m_hCancel.Get(), kLongMs, completion));
        EXPECT_EQ(dwStatus, completion.dwStatus);
        EXPECT_EQ(dwValue, completion.dwBytes);
        late.join();
        ++dwValue;
    }
}

TEST_F(WinHttpCallTest, ACompletionInsideTheCallNeedsNoWait)
{
    m_call->Begin();
    DWORD dwAvailable = 4096;
    WinHttpCall::Notify(m_call->Context(), WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE, &dwAvailable, sizeof(dwAvailable));
    WinHttpCall::Completion completion = {};
    EXPECT_EQ(WinHttpCall::CALL_DONE, m_call->Wait(m_hCancel.Get(), 0, completion));
    EXPECT_EQ(4096u, completion.dwBytes);
}

TEST_F(WinHttpCallTest, AnErrorCarriesThePlatformCode)
{
    m_call->Begin();
    std::thread late = CompleteLater(WINHTTP_CALLBACK_STATUS_REQUEST_ERROR, ERROR_WINHTTP_TIMEOUT, kLateMs);
    WinHttpCall::Completion completion = {};
    EXPECT_EQ(WinHttpCall::CALL_DONE, m_call->Wait(m_hCancel.Get(), kLongMs, completion));
    EXPECT_EQ(static_cast<DWORD>(WINHTTP_CALLBACK_STATUS_REQUEST_ERROR), completion.dwStatus);
    EXPECT_EQ(static_cast<DWORD>(ERROR_WINHTTP_TIMEOUT), completion.dwError);
    late.join();
}

// The completion of a call that the worker no longer waits for does not complete the next one.
TEST_F(WinHttpCallTest, ALateSignalOfAnEarlierCallIsNotTheNextCallsCompletion)
{
    m_call->Begin();
    std::thread late = CompleteLater(WINHTTP_CALLBACK_STATUS_READ_COMPLETE, 7, kLateMs);
    WinHttpCall::Completion completion = {};
    EXPECT_EQ(WinHttpCall::CALL_DONE, m_call->Wait(m_hCancel.Get(), kLongMs, completion));
    late.join();
    m_call->Begin();
    EXPECT_EQ(WinHttpCall::CALL_TIMED_OUT, m_call->Wait(m_hCancel.Get(), kShortMs, completion));
}

TEST_F(WinHttpCallTest, TheCancelEventEndsTheWaitAndTheLimitBoundsIt)
{
    m_call->Begin();
    WinHttpCall::Completion completion = {};
    DWORD dwStart = GetTickCount();
    EXPECT_EQ(WinHttpCall::CALL_TIMED_OUT, m_call->Wait(m_hCancel.Get(), kShortMs, completion));
    EXPECT_GE(GetTickCount() - dwStart, kShortMs - 20);
    std::thread canceller([this]() {
        Sleep(kLateMs);
        SetEvent(m_hCancel.Get());
    });
    EXPECT_EQ(WinHttpCall::CALL_CANCELED, m_call->Wait(m_hCancel.Get(), kLongMs, completion));
    canceller.join();
}

// The request handle's reference goes with the handle's closing notification, not before.
TEST_F(WinHttpCallTest, TheHandlesClosingReleasesItsReferenceOnly)
{
    WinHttpCall *pCall = m_call.get();
    pCall->AddRef();   // as Attach does for the handle
    m_call.reset();    // the worker has left
    pCall->Begin();
    DWORD dwRead = 3;
    WinHttpCall::Notify(pCall->Context(), WINHTTP_CALLBACK_STATUS_READ_COMPLETE, pCall->Buffer(), dwRead);
    WinHttpCall::Completion completion = {};
    EXPECT_EQ(WinHttpCall::CALL_DONE, pCall->Wait(m_hCancel.Get(), 0, completion));   // still alive
    EXPECT_EQ(dwRead, completion.dwBytes);
    HINTERNET hHandle = nullptr;
    WinHttpCall::Notify(pCall->Context(), WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING, &hHandle, sizeof(hHandle));
    // Notifications of handles without a context (session, connection) are ignored.
    WinHttpCall::Notify(0, WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING, &hHandle, sizeof(hHandle));
}
