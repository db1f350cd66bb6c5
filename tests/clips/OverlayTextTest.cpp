#include "clips/OverlayText.h"

#include "tests/support/ScopedTimeZone.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>

namespace {

clips::ClipPlan TwoParts() {
    clips::ClipPlan plan;
    plan.startMs = 0;
    plan.endMs = 120000;
    plan.parts.push_back({0, "20240305_090810_N", CivilTime{2024, 3, 5, 9, 8, 10}, 0, 60000});
    plan.parts.push_back({1, "20240305_090911_N", CivilTime{2024, 3, 5, 9, 9, 11}, 60000, 60000});
    return plan;
}

TimedFix Fix(int64_t timeMs, double kmh, bool valid = true) {
    TimedFix fix;
    fix.timeMs = timeMs;
    fix.fix.valid = valid ? 1 : 0;
    fix.fix.latitude = 3731.1234; // 37.518723°
    fix.fix.longitude = -12701.5; // -127.025°
    fix.fix.speed = kmh;
    return fix;
}

std::string Line(const std::string& text, int n) {
    size_t from = 0;
    for (int k = 0; k < n; ++k)
        from = text.find('\n', from) + 1;
    return text.substr(from, text.find('\n', from) - from);
}

TEST(OverlayText, TimeSpeedPlaceNameAndForces) {
    ScopedTimeZone zone("Asia/Seoul");
    TelemetryTrack track;
    track.fixes.push_back(Fix(3000, 52.7));
    track.accelerations.push_back({4000, 0.0213, -0.1049, 0.98});
    const TrackTimeline telemetry(track);
    const std::string text = OverlayText(TwoParts(), telemetry, 4250, SpeedUnit::kKmh);
    EXPECT_EQ(Line(text, 0), "2024-03-05 09:08:14 +09:00   52 km/h");
    EXPECT_EQ(Line(text, 1), "37.51872, -127.02500");
    EXPECT_EQ(Line(text, 2), "20240305_090810_N   G x +0.02 y -0.10 z +0.98");
    EXPECT_EQ(Line(OverlayText(TwoParts(), telemetry, 4250, SpeedUnit::kMph), 0),
              "2024-03-05 09:08:14 +09:00   32 mph");
}

TEST(OverlayText, StaleOrInvalidReadingsShowAsNone) {
    ScopedTimeZone zone("UTC");
    TelemetryTrack track;
    track.fixes.push_back(Fix(1000, 40));
    track.fixes.push_back(Fix(20000, 40, false));
    track.accelerations.push_back({1000, -0.001, 0.004, 1.0});
    const TrackTimeline telemetry(track);
    // Within the hold the last reading counts ("-0.00" reads as "+0.00").
    const std::string held =
        OverlayText(TwoParts(), telemetry, 1000 + clips::kTelemetryHoldMs, SpeedUnit::kKmh);
    EXPECT_EQ(Line(held, 0), "2024-03-05 09:08:14 +00:00   40 km/h");
    EXPECT_EQ(Line(held, 2), "20240305_090810_N   G x +0.00 y +0.00 z +1.00");
    const std::string stale =
        OverlayText(TwoParts(), telemetry, 1001 + clips::kTelemetryHoldMs, SpeedUnit::kKmh);
    EXPECT_EQ(Line(stale, 0), "2024-03-05 09:08:14 +00:00   -- km/h");
    EXPECT_EQ(Line(stale, 1), "no GPS");
    EXPECT_EQ(Line(stale, 2), "20240305_090810_N   G --");
    // A fix without the receiver's lock is no position.
    EXPECT_EQ(Line(OverlayText(TwoParts(), telemetry, 20500, SpeedUnit::kMph), 1), "no GPS");
    // Before any reading.
    EXPECT_EQ(Line(OverlayText(TwoParts(), TrackTimeline{}, 500, SpeedUnit::kKmh), 1), "no GPS");
}

TEST(OverlayText, EachRecordingCountsFromItsOwnStart) {
    ScopedTimeZone zone("UTC");
    const clips::ClipPlan plan = TwoParts();
    const std::string text = OverlayText(plan, TrackTimeline{}, 61500, SpeedUnit::kKmh);
    EXPECT_EQ(Line(text, 0), "2024-03-05 09:09:12 +00:00   -- km/h");
    EXPECT_EQ(Line(text, 2), "20240305_090911_N   G --");
}

TEST(OverlayText, OffsetFollowsDaylightSaving) {
    ScopedTimeZone zone("America/New_York");
    clips::ClipPlan plan;
    plan.parts.push_back({0, "2024_0310_015959", CivilTime{2024, 3, 10, 1, 59, 59}, 0, 5000});
    EXPECT_EQ(Line(OverlayText(plan, TrackTimeline{}, 500, SpeedUnit::kMph), 0),
              "2024-03-10 01:59:59 -05:00   -- mph");
    EXPECT_EQ(Line(OverlayText(plan, TrackTimeline{}, 1000, SpeedUnit::kMph), 0),
              "2024-03-10 03:00:00 -04:00   -- mph");
}

TEST(OverlaySecondAt, TurnsAtEachRecordingsWholeSeconds) {
    const clips::ClipPlan plan = TwoParts();
    EXPECT_EQ(clips::OverlaySecondAt(plan, 999), (clips::OverlaySecond{0, 0, 0}));
    EXPECT_EQ(clips::OverlaySecondAt(plan, 1000), (clips::OverlaySecond{0, 1, 1000}));
    EXPECT_EQ(clips::OverlaySecondAt(plan, 59999), (clips::OverlaySecond{0, 59, 59000}));
    EXPECT_EQ(clips::OverlaySecondAt(plan, 60000), (clips::OverlaySecond{1, 0, 60000}));
    EXPECT_EQ(clips::OverlaySecondAt(plan, 61999), (clips::OverlaySecond{1, 1, 61000}));
    EXPECT_EQ(clips::OverlaySecondAt(plan, -1), (clips::OverlaySecond{0, -1, -1000}));
    EXPECT_EQ(clips::OverlaySecondAt(clips::ClipPlan{}, 5000), clips::OverlaySecond{});
}

} // namespace

TEST(OverlayText, TheCarsOwnStateAddsALineAndItsSpeed) {
    ScopedTimeZone zone("UTC");
    TelemetryTrack track;
    track.fixes.push_back(Fix(1000, 80));
    TimedCarState driving;
    driving.timeMs = 2000;
    driving.speedMps = 25.0; // 90 km/h
    driving.gear = CarGear::kDrive;
    driving.acceleratorPercent = 33.6;
    driving.steeringDegrees = -12.4;
    driving.blinkerLeft = true;
    driving.assist = DriveAssist::kAutosteer;
    track.carStates.push_back(driving);
    // A state with every field left out: the car sends none that hold zero.
    TimedCarState parked;
    parked.timeMs = 10000;
    parked.steeringDegrees = std::numeric_limits<double>::quiet_NaN();
    track.carStates.push_back(parked);
    const TrackTimeline telemetry(track);

    const std::string text = OverlayText(TwoParts(), telemetry, 2500, SpeedUnit::kKmh);
    EXPECT_EQ(Line(text, 0), "2024-03-05 09:08:12 +00:00   90 km/h");
    EXPECT_EQ(Line(text, 3), "gear D   accelerator 34 %   brake off   steering -12\u00b0   "
                             "signal left   assist autosteer");
    EXPECT_EQ(Line(OverlayText(TwoParts(), telemetry, 2500, SpeedUnit::kMph), 0),
              "2024-03-05 09:08:12 +00:00   56 mph");
    EXPECT_EQ(Line(OverlayText(TwoParts(), telemetry, 10000, SpeedUnit::kKmh), 3),
              "gear P   accelerator 0 %   brake off   steering +0\u00b0   signal off   assist off");

    // Before the car's first state, and once its last is stale, the receiver's speed stands
    // and there is no car line.
    const std::string before = OverlayText(TwoParts(), telemetry, 1500, SpeedUnit::kKmh);
    EXPECT_EQ(Line(before, 0), "2024-03-05 09:08:11 +00:00   80 km/h");
    EXPECT_EQ(std::count(before.begin(), before.end(), '\n'), 2);
    const std::string stale =
        OverlayText(TwoParts(), telemetry, 10001 + clips::kTelemetryHoldMs, SpeedUnit::kKmh);
    EXPECT_EQ(std::count(stale.begin(), stale.end(), '\n'), 2);
}
