#include "base/CSingleThread.h"
#include "base/CSync.h"
#include "base/CWaitEvent.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

// Polls until pred holds. The limit only keeps a broken build from hanging the run.
template <typename Pred> bool Eventually(Pred pred) {
    const auto giveUp = std::chrono::steady_clock::now() + 10s;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > giveUp)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// What a body records about itself, read by the test thread.
struct Probe {
    std::atomic<int> calls{0};
    std::atomic<bool> inBody{false};

    // One step of work that takes a while, so a stop is likely to land inside it.
    bool Step() {
        inBody.store(true);
        ++calls;
        std::this_thread::sleep_for(1ms);
        inBody.store(false);
        return true;
    }
};

struct RawState {
    std::atomic<int> calls{0};
    int limit = 0;
};

bool RawStep(void* arg) {
    auto* state = static_cast<RawState*>(arg);
    return ++state->calls < state->limit;
}

} // namespace

TEST(SingleThread, BodyRunsUntilStoppedAndNeverAfter) {
    Probe probe;
    auto buffer = std::make_unique<std::vector<int>>(64, 0);
    std::vector<int>* shared = buffer.get();
    CSingleThread thread("TATParser");
    ASSERT_TRUE(thread.BeginThread([&probe, shared] {
        (*shared)[static_cast<size_t>(probe.calls.load()) % shared->size()] += 1;
        return probe.Step();
    }));
    EXPECT_TRUE(thread.IsRunning());
    ASSERT_TRUE(Eventually([&] { return probe.calls.load() >= 5; }));

    thread.StopThread();
    EXPECT_FALSE(probe.inBody.load());
    EXPECT_FALSE(thread.IsRunning());
    // Callers free what the body uses as soon as StopThread returns.
    buffer.reset();
    const int calls = probe.calls.load();
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(probe.calls.load(), calls);
}

TEST(SingleThread, BodyReturningFalseEndsTheThreadWhichCanStartAgain) {
    std::atomic<int> calls{0};
    CSingleThread thread;
    ASSERT_TRUE(thread.BeginThread([&calls] { return ++calls < 3; }));
    ASSERT_TRUE(Eventually([&] { return !thread.IsRunning(); }));
    std::this_thread::sleep_for(10ms);
    EXPECT_EQ(calls.load(), 3);

    Probe probe;
    ASSERT_TRUE(thread.BeginThread([&probe] { return probe.Step(); }));
    ASSERT_TRUE(Eventually([&] { return probe.calls.load() >= 2; }));
    thread.StopThread();
    EXPECT_EQ(calls.load(), 3);
}

TEST(SingleThread, BeginWhileRunningIsRefused) {
    Probe first;
    std::atomic<int> secondCalls{0};
    CSingleThread thread;
    ASSERT_TRUE(thread.BeginThread([&first] { return first.Step(); }));
    EXPECT_FALSE(thread.BeginThread([&secondCalls] { return ++secondCalls > 0; }));
    ASSERT_TRUE(Eventually([&] { return first.calls.load() >= 2; }));
    thread.StopThread();
    EXPECT_EQ(secondCalls.load(), 0);
}

TEST(SingleThread, StopIsSafeBeforeStartTwiceAndRightAfterStart) {
    CSingleThread thread;
    thread.StopThread();
    for (int i = 0; i < 50; ++i) {
        Probe probe;
        ASSERT_TRUE(thread.BeginThread([&probe] { return probe.Step(); }));
        thread.StopThread();
        thread.StopThread();
        EXPECT_FALSE(thread.IsRunning());
        EXPECT_FALSE(probe.inBody.load());
    }
}

TEST(SingleThread, DestructorStopsTheThread) {
    Probe probe;
    {
        CSingleThread thread("MediaSync");
        ASSERT_TRUE(thread.BeginThread([&probe] { return probe.Step(); }));
        ASSERT_TRUE(Eventually([&] { return probe.calls.load() >= 1; }));
    }
    EXPECT_FALSE(probe.inBody.load());
    const int calls = probe.calls.load();
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(probe.calls.load(), calls);
}

TEST(SingleThread, RawBodyGetsItsArgument) {
    RawState state;
    state.limit = 4;
    CSingleThread thread;
    ASSERT_TRUE(thread.BeginThread(&RawStep, &state));
    ASSERT_TRUE(Eventually([&] { return !thread.IsRunning(); }));
    EXPECT_EQ(state.calls.load(), 4);
}

TEST(WaitEvent, SetBeforeWaitIsConsumedByOneWait) {
    CWaitEvent event;
    event.SetEvent();
    EXPECT_TRUE(event.WaitEvent(5000));
    EXPECT_FALSE(event.WaitEvent(10));
}

TEST(WaitEvent, WaitWithoutSetTimesOut) {
    CWaitEvent event;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(event.WaitEvent(20));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 15ms);
}

TEST(WaitEvent, ResetClearsAPendingSignal) {
    CWaitEvent event;
    event.SetEvent();
    event.ResetEvent();
    EXPECT_FALSE(event.WaitEvent(10));
    event.SetEvent();
    EXPECT_TRUE(event.WaitEvent(0));
}

TEST(WaitEvent, WakesAThreadWaitingWithoutLimit) {
    CWaitEvent event;
    std::atomic<bool> woke{false};
    std::thread waiter([&] { woke.store(event.WaitEvent(CWaitEvent::kInfinite)); });
    std::this_thread::sleep_for(20ms);
    event.SetEvent();
    waiter.join();
    EXPECT_TRUE(woke.load());
}

// Two threads take turns through a pair of events; a signal that is lost or not consumed
// breaks the lockstep.
TEST(WaitEvent, PingPongBetweenThreadsStaysInStep) {
    constexpr int kRounds = 500;
    CWaitEvent ping;
    CWaitEvent pong;
    std::atomic<int> turns{0};
    std::atomic<bool> stalled{false};
    std::thread partner([&] {
        for (int i = 0; i < kRounds; ++i) {
            if (!ping.WaitEvent(5000)) {
                stalled.store(true);
                return;
            }
            ++turns;
            pong.SetEvent();
        }
    });
    int outOfStep = 0;
    for (int i = 0; i < kRounds && !stalled.load(); ++i) {
        ping.SetEvent();
        if (!pong.WaitEvent(5000))
            break;
        if (turns.load() != i + 1)
            ++outOfStep;
    }
    partner.join();
    EXPECT_FALSE(stalled.load());
    EXPECT_EQ(turns.load(), kRounds);
    EXPECT_EQ(outOfStep, 0);
}

TEST(Sync, LockGuardSerialisesACounter) {
    constexpr int kThreads = 4;
    constexpr int kIncrements = 20000;
    CSync sync("none");
    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kIncrements; ++i) {
                if (t % 2 == 0) {
                    std::lock_guard lock(sync);
                    ++counter;
                } else {
                    sync.Lock();
                    ++counter;
                    sync.Unlock();
                }
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(counter, long{kThreads} * kIncrements);
}
