// The times of packets in the camera's containers, which store none, from counting frames and
// sound blocks in file order.
#include "formats/CountedTimes.h"

#include <gtest/gtest.h>

namespace {

constexpr int64_t At30(int64_t frame) {
    return frame * 1000000 / 30;
}

TEST(CountedTimes, TimesFramesTextAndSoundBlocksAsTheCameraWroteThem) {
    CountedTimes times;
    times.SetFormat(30, 16, 8000, 3840); // 3,840 bytes: 240 ms
    times.Restart(0);
    // Rear frames and text lines belong to the front frame read before them.
    EXPECT_EQ(times.Stamp(Text, 10), 0) << "before any front frame: the start";
    for (int f = 0; f <= 8; ++f) {
        EXPECT_EQ(times.Stamp(FrontVideo, 100), At30(f));
        EXPECT_EQ(times.Stamp(RearVideo, 100), At30(f));
    }
    // The first block follows frame 8 (266.7 ms) and ends at the last whole block before it.
    EXPECT_EQ(times.Stamp(Audio, 3840), 0);
    EXPECT_EQ(times.Stamp(Text, 12), At30(8));
    // The blocks after it follow on, whatever frames lie between; a short block is timed by
    // its own length.
    EXPECT_EQ(times.Stamp(Audio, 3840), 240000);
    EXPECT_EQ(times.Stamp(Audio, 1000), 480000);
    EXPECT_EQ(times.Stamp(Audio, 3840), 480000 + 62500);

    // After a seek to frame 75 (2.5 s): the first block read after frame 80 (2.667 s) ends at
    // 2.64 s; the engine cuts what lies before the time it plays from.
    times.Restart(75);
    EXPECT_EQ(times.Stamp(RearVideo, 100), At30(75)) << "before its front frame: the seek's";
    for (int f = 75; f <= 80; ++f)
        EXPECT_EQ(times.Stamp(FrontVideo, 100), At30(f));
    EXPECT_EQ(times.Stamp(Audio, 3840), 2400000);
    EXPECT_EQ(times.Stamp(Audio, 3840), 2640000);
}

TEST(CountedTimes, ARecordingWithoutARateIsCountedAtThirtyFrames) {
    CountedTimes times;
    times.SetFormat(0, 8, 8000, 1920);
    times.Restart(30);
    EXPECT_EQ(times.Stamp(FrontVideo, 10), 1000000);
    EXPECT_EQ(times.Stamp(FrontVideo, 10), At30(31));
    // 8-bit sound: 1,920 bytes are 240 ms; the block after frame 31 ends at 0.96 s.
    EXPECT_EQ(times.Stamp(Audio, 1920), 720000);
}

} // namespace
