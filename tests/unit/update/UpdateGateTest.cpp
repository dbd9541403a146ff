#include "UpdateGate.h"
#include <gtest/gtest.h>
#include <chrono>
#include <future>

TEST(UpdateGateTest, OneAtATimeAndTheStopWaitsForTheEnd)
{
    UpdateGate gate;
    EXPECT_TRUE(gate.WaitIdle(0));
    DWORD dwBefore = gate.GetProgress();
    std::promise<void> release;
    auto released = release.get_future().share();
    auto worker = std::async(std::launch::async, [&gate, released] {
        UpdateGate::Hold hold(gate, L"first");
        if (!hold.Entered()) return false;
        gate.Step(L"backup");
        released.wait();
        return true;
    });
    while (!gate.IsBusy()) Sleep(1);
    {
        UpdateGate::Hold second(gate, L"second");
        EXPECT_FALSE(second.Entered());
    }
    EXPECT_TRUE(gate.IsBusy()) << "a refused second request leaves the first alone";
    EXPECT_FALSE(gate.WaitIdle(100));
    EXPECT_GT(gate.GetProgress(), dwBefore);
    release.set_value();
    EXPECT_TRUE(gate.WaitIdle(5000));
    EXPECT_TRUE(worker.get());
    UpdateGate::Hold third(gate, L"third");
    EXPECT_TRUE(third.Entered());
}
