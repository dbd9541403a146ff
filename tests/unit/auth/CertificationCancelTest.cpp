// A cancel that arrives while the failure notice runs: the connect thread is held inside the
// registration run (its first notice) until the cancel thread's CancelCertification has returned;
// the run must still be alive then, and be deleted exactly once afterwards. Deletion is watched
// through this program's replacement of the global operator delete.
#include "CertificationTestHelp.h"
#include "MessageIds.h"
#include "NolvexCertification.h"
#include "NotifyHook.h"
#include "RegistTerminal.h"
#include "ScopedHandle.h"
#include <gtest/gtest.h>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <thread>

namespace {
std::atomic<void *> g_pWatched{nullptr};
std::atomic<int> g_iWatchedFrees{0};

void NoteFree(void *p)
{
    if (p && p == g_pWatched.load()) ++g_iWatchedFrees;
}

// Once the watched object is freed, the allocator may hand its address to a new object, whose
// deletion is no second delete of the watched one.
void NoteAllocation(void *p)
{
    if (p == g_pWatched.load() && g_iWatchedFrees.load() > 0) g_pWatched = nullptr;
}
}   // namespace

void *operator new(size_t nSize)
{
    void *p = std::malloc(nSize ? nSize : 1);
    if (!p) throw std::bad_alloc();
    NoteAllocation(p);
    return p;
}

void operator delete(void *p) noexcept
{
    NoteFree(p);
    std::free(p);
}

void operator delete(void *p, size_t) noexcept
{
    NoteFree(p);
    std::free(p);
}

namespace {
const DWORD kHoldLimitMs = 10000;
const UINT kDeletedWhileRunningExit = 3;

// Holds the connect thread at the run's first notice until the test lets it go.
class HoldingHook : public NotifyHook {
public:
    HoldingHook() : m_dwConnectThread(GetCurrentThreadId())
    {
        m_hInside.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        m_hGo.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    }
    void NotifyError(long, long, long, const std::wstring &) override
    {
        if (GetCurrentThreadId() != m_dwConnectThread || m_bHeld.exchange(true)) return;
        SetEvent(m_hInside.Get());
        WaitForSingleObject(m_hGo.Get(), kHoldLimitMs);
    }
    bool WaitInside() { return WaitForSingleObject(m_hInside.Get(), kHoldLimitMs) == WAIT_OBJECT_0; }
    void Release() { SetEvent(m_hGo.Get()); }

private:
    DWORD m_dwConnectThread;
    std::atomic<bool> m_bHeld{false};
    ScopedHandle m_hInside;
    ScopedHandle m_hGo;
};

class CertificationCancelTest : public CertificationFixture {};

TEST_F(CertificationCancelTest, ARunningFailureNoticeOutlivesTheCancelAndIsDeletedOnce)
{
    ASSERT_TRUE(LoadSample());
    HoldingHook hook;
    CertificationSeams seams = Seams();
    seams.pfnCreateRegist = [&hook]() {
        RegistTerminal *pRegist = new RegistTerminal();
        pRegist->SetNotifyHook(&hook);
        g_pWatched = pRegist;
        return pRegist;
    };
    g_iWatchedFrees = 0;
    {
        NolvexCertification cert(L"user1", L"pw-1", 0, seams);
        std::atomic<bool> bCancelReturned{false};
        std::atomic<int> iFreesWhileRunning{-1};
        std::thread canceller([&]() {
            if (!hook.WaitInside()) return;
            cert.CancelCertification();
            bCancelReturned = true;
        });
        std::thread releaser([&]() {
            // The cancel may wait for the run (a bounded wait); give it the time it needs, then
            // let the connect thread go on.
            for (int i = 0; i < 100 && !bCancelReturned; ++i) Sleep(20);
            iFreesWhileRunning = g_iWatchedFrees.load();
            if (iFreesWhileRunning != 0) {
                // Going on would run the notice in freed memory: end the program with a failure
                // of its own rather than whatever that would do.
                std::fprintf(stderr, "FAILED: the registration run was deleted while it was running\n");
                std::fflush(stderr);
                TerminateProcess(GetCurrentProcess(), kDeletedWhileRunningExit);
            }
            hook.Release();
        });
        ErrInfo err;
        EXPECT_EQ(0, cert.GetErrInfo(&err, true));
        releaser.join();
        canceller.join();
        // (checked here: failures on other threads are not counted on this platform)
        EXPECT_TRUE(bCancelReturned.load());
        EXPECT_EQ(0, iFreesWhileRunning.load()) << "the run was deleted while it was running";
    }
    EXPECT_EQ(1, g_iWatchedFrees.load());
    g_pWatched = nullptr;
}
}   // namespace
