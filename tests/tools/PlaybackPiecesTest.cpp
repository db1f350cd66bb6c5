// The measuring pieces of `tatcard play`: frame intervals, pairing of white pictures with
// clicks, seek latency, click and white-picture detection.
#include "tools/tatcard/DemoSignals.h"
#include "tools/tatcard/MeasuringAudio.h"
#include "tools/tatcard/MeasuringPictureArea.h"
#include "tools/tatcard/PlayMeasurements.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using Clock = PlayMeasurements::Clock;
using std::chrono::milliseconds;

TEST(PlayMeasurements, IntervalsLeaveOutGapsAcrossRepositionsAndBreaks) {
    PlayMeasurements m;
    const Clock::time_point t0 = Clock::now();
    for (int i = 0; i < 10; ++i)
        m.FrontPresented(t0 + milliseconds(33 * i), false, 0);
    m.FrontPresented(t0 + milliseconds(900), false, 1); // first picture after a seek
    m.FrontPresented(t0 + milliseconds(933), false, 1);
    m.Break();
    m.FrontPresented(t0 + milliseconds(3000), false, 1); // after a pause
    m.FrontPresented(t0 + milliseconds(3040), false, 1);
    const auto f = m.Compute();
    EXPECT_EQ(f.frames, 14);
    EXPECT_DOUBLE_EQ(f.intervalP50Ms, 33.0);
    EXPECT_DOUBLE_EQ(f.intervalP99Ms, 33.0 + 7.0 * 0.9) << "11 intervals: 33 × 10 and 40";
}

TEST(PlayMeasurements, PairsEachWhitePictureWithTheNearestClickInTheFirstStretch) {
    PlayMeasurements m;
    const Clock::time_point t0 = Clock::now();
    for (int s = 0; s < 5; ++s) {
        m.FrontPresented(t0 + milliseconds(1000 * s), true, 0);
        m.ClickHeard(t0 + milliseconds(1000 * s + 200 + 10 * s)); // sound late, drifting
    }
    m.ClickHeard(t0 + milliseconds(5000));
    m.SeekRequested(t0 + milliseconds(5100), 0);
    m.FrontPresented(t0 + milliseconds(5150), false, 0); // old position still
    m.FrontPresented(t0 + milliseconds(5400), true, 1);  // the new position's first
    m.ClickHeard(t0 + milliseconds(5450));               // after the seek: not paired
    const auto f = m.Compute();
    ASSERT_TRUE(f.haveAv);
    EXPECT_EQ(f.avPairs, 5);
    EXPECT_NEAR(f.avOffsetMeanMs, 220.0, 1e-6);
    EXPECT_NEAR(f.avOffsetDriftMs, 40.0, 1e-6);
    ASSERT_TRUE(f.haveDriftSlope);
    EXPECT_NEAR(f.avDriftMsPerMinute, 600.0, 1e-6) << "10 ms more each second";
    ASSERT_EQ(f.seekFirstFrameMs.size(), 1u);
    EXPECT_NEAR(f.seekFirstFrameMedianMs, 300.0, 1e-6);

    // Clicks more than half a second away are not the same second.
    const std::vector<Clock::time_point> flashes = {t0};
    EXPECT_TRUE(PlayMeasurements::PairOffsets(flashes, {t0 + milliseconds(600)}).empty());
    EXPECT_EQ(PlayMeasurements::PairOffsets(flashes, {t0 - milliseconds(120)}).front(), -120.0);
}

TEST(PlayMeasurements, DriftIsTheSlopeOfTheOffsetsWithTheJitterAveragedOut) {
    const Clock::time_point t0 = Clock::now();
    std::vector<Clock::time_point> times;
    std::vector<double> offsets;
    for (int s = 0; s < 32; ++s) {
        times.push_back(t0 + milliseconds(1000 * s));
        // 3 ms more every 10 s (18 ms a minute) under ±8 ms of jitter, whose first and last
        // pairs alone would say 9.3 ms in 31 s.
        offsets.push_back(-5.0 + 0.3 * s + (s % 4 == 0 || s % 4 == 3 ? 8.0 : -8.0));
    }
    EXPECT_NEAR(PlayMeasurements::SlopePerMinute(times, offsets), 18.0, 1.0);
    EXPECT_EQ(PlayMeasurements::SlopePerMinute({t0}, {4.0}), 0.0);
}

TEST(PlayMeasurements, PercentilesInterpolateBetweenRanks) {
    EXPECT_EQ(PlayMeasurements::Percentile({}, 50), 0.0);
    EXPECT_EQ(PlayMeasurements::Percentile({4, 1, 3, 2}, 50), 2.5);
    EXPECT_EQ(PlayMeasurements::Percentile({4, 1, 3, 2}, 100), 4.0);
    EXPECT_EQ(PlayMeasurements::Percentile({7}, 99), 7.0);
}

// Takes blocks at once and says a fixed amount of sound is queued after each.
class InstantAudio final : public VAudio {
public:
    bool Open(int32_t, int32_t) override { return true; }
    int Close() override { return 1; }
    void Write(const uint8_t*, int32_t) override { ++writes; }
    void SetVolume(uint32_t) override {}
    int64_t QueuedMicros() const override { return 480000; }
    void Flush() override {}
    int writes = 0;
};

TEST(MeasuringAudio, FindsTheClickOfEachWholeSecondInTheDemoSound) {
    InstantAudio inner;
    std::vector<Clock::time_point> heard;
    MeasuringAudio audio(&inner, [&](Clock::time_point t) { heard.push_back(t); });
    ASSERT_TRUE(audio.Open(16, 8000));
    std::vector<std::pair<int, int32_t>> clicks; // block, sample offset
    MeasuringAudio finder(&inner, {});
    for (int block = 0; block < 12; ++block) {
        const std::vector<uint8_t> bytes = AudioBlock(block);
        for (int32_t start : finder.FindClickStarts(bytes.data(), 3840))
            clicks.emplace_back(block, start);
    }
    // Seconds start at samples 0, 8000 and 16000: blocks of 1920 samples.
    EXPECT_EQ(clicks, (std::vector<std::pair<int, int32_t>>{{0, 0}, {4, 320}, {8, 640}}));

    const Clock::time_point before = Clock::now();
    const std::vector<uint8_t> second = AudioBlock(4);
    audio.Write(second.data(), 3840);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(inner.writes, 1);
    // The block starts when the 240 ms queued ahead of it have played (480 − 240) and the
    // click 40 ms (320 samples) into it.
    const double ms = std::chrono::duration<double, std::milli>(heard[0] - before).count();
    EXPECT_GE(ms, 280.0);
    EXPECT_LT(ms, 330.0);
}

TEST(MeasuringPictureArea, TellsWhitePicturesFromOthers) {
    Picture picture;
    picture.Allocate(64, 36);
    EXPECT_FALSE(MeasuringPictureArea::IsWhitePicture(picture));
    std::fill(picture.pixels.begin(), picture.pixels.end(), uint8_t{235});
    EXPECT_TRUE(MeasuringPictureArea::IsWhitePicture(picture));
    // A caption box over a small part leaves it white; a dark half does not.
    for (int32_t y = 0; y < 4; ++y)
        std::fill(picture.Row(y), picture.Row(y) + 64 * 3, uint8_t{0});
    EXPECT_TRUE(MeasuringPictureArea::IsWhitePicture(picture));
    for (int32_t y = 0; y < 18; ++y)
        std::fill(picture.Row(y), picture.Row(y) + 64 * 3, uint8_t{0});
    EXPECT_FALSE(MeasuringPictureArea::IsWhitePicture(picture));
    EXPECT_FALSE(MeasuringPictureArea::IsWhitePicture(Picture{}));
}

} // namespace
