// Seek and step requests merged into one record on their way to the engine's worker.
#include "player/engine/RepositionQueue.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

constexpr int64_t kPeriod = 33333;

TEST(RepositionQueue, ASeekReplacesWhatWaitedAndStepsAddUpOnTopOfIt) {
    RepositionQueue queue;
    EXPECT_FALSE(queue.Pending());
    EXPECT_FALSE(queue.Take());

    // Steps alone count from the picture on screen.
    queue.Step(10000000);
    queue.Step(-3000000);
    queue.StepFrames(2);
    ASSERT_TRUE(queue.Pending());
    auto request = queue.Take();
    ASSERT_TRUE(request);
    EXPECT_FALSE(queue.Pending()) << "taking empties the record";
    EXPECT_EQ(request->TargetUs(1000000, kPeriod), 1000000 + 7000000 + 2 * kPeriod);

    // A seek drops the steps before it; steps after it count from its time.
    queue.StepFrames(5);
    queue.Seek(4000000, true);
    queue.Step(-1000000);
    queue.StepFrames(-1);
    request = queue.Take();
    ASSERT_TRUE(request);
    EXPECT_EQ(request->TargetUs(99000000, kPeriod), 3000000 - kPeriod);
    EXPECT_FALSE(request->keyFrameOnly) << "a step after a scrub shows the exact picture";

    // A scrub on its own shows the key frame; a later scrub wins.
    queue.Seek(2000000, true);
    queue.Seek(6000000, true);
    request = queue.Take();
    ASSERT_TRUE(request);
    EXPECT_TRUE(request->keyFrameOnly);
    EXPECT_EQ(request->TargetUs(0, kPeriod), 6000000);

    queue.StepFrames(1);
    queue.Clear();
    EXPECT_FALSE(queue.Pending());
    EXPECT_FALSE(queue.Take());
}

TEST(RepositionQueue, StepsFromManyThreadsAreNeverLost) {
    RepositionQueue queue;
    std::vector<std::thread> pressers;
    for (int t = 0; t < 4; ++t)
        pressers.emplace_back([&queue] {
            for (int i = 0; i < 500; ++i)
                queue.StepFrames(1);
        });
    int64_t frames = 0;
    for (int taken = 0; taken < 200; ++taken)
        if (auto request = queue.Take())
            frames += request->frames;
    for (std::thread& presser : pressers)
        presser.join();
    if (auto request = queue.Take())
        frames += request->frames;
    EXPECT_EQ(frames, 2000);
}

} // namespace
