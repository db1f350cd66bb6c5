// A folder recording's telemetry by play time: the fix and sample current at a time whichever
// way the time jumps, the graph's samples and window, the route, and the track read on its own
// thread.
#include "ui/logic/TrackTimeline.h"
#include "ui/logic/GraphWindow.h"
#include "ui/logic/TrackLoader.h"

#include "telemetry/FixMaker.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <optional>
#include <thread>
#include <vector>

namespace {

// A fix at timeMs, at the position (degrees), with the speed in km/h.
TimedFix FixAt(int64_t timeMs, double latitude, double longitude, double kmh, bool valid = true) {
    FixMaker maker;
    const UtcStamp utc{2024, 3, 5, 0, 7, static_cast<int32_t>(timeMs / 1000)};
    return TimedFix{timeMs, maker.Make(utc, valid, latitude, longitude, kmh, 90)};
}

// One fix a second from 2 s on, 11 m apart, 40 km/h and more; the fix of 4.5 s far away (a
// spike) and the one of 5.5 s without a position; a G-sensor sample every 500 ms from 1 s on.
TrackTimeline Drive() {
    TelemetryTrack track;
    for (int64_t s = 2; s <= 7; ++s)
        track.fixes.push_back(FixAt(s * 1000, 37.5 + 0.0001 * static_cast<double>(s), 127.0,
                                    40.0 + static_cast<double>(s)));
    track.fixes.push_back(FixAt(4500, 38.5, 127.0, 41.0));
    track.fixes.push_back(FixAt(5500, 37.5, 127.0, 0.0, false));
    for (int64_t ms = 1000; ms <= 7000; ms += 500)
        track.accelerations.push_back({ms, 0.30 + static_cast<double>(ms) / 100000.0, -0.02, 1.0});
    return TrackTimeline(std::move(track)); // out of order: the timeline sorts
}

} // namespace

TEST(TrackTimeline, TheItemAtOrBeforeThePlayTimeWhicheverWayItJumps) {
    const TrackTimeline timeline = Drive();
    // Before the first fix and sample: none.
    EXPECT_EQ(timeline.FixAt(0), nullptr);
    EXPECT_EQ(timeline.FixAt(1999), nullptr);
    EXPECT_EQ(timeline.SampleAt(999), nullptr);
    EXPECT_EQ(timeline.FixAt(-5000), nullptr);

    // Forward, far forward, then back: each answer stands on the time alone.
    ASSERT_NE(timeline.FixAt(2000), nullptr);
    EXPECT_EQ(timeline.FixAt(2000)->timeMs, 2000);
    EXPECT_EQ(timeline.FixAt(6999)->timeMs, 6000);
    EXPECT_EQ(timeline.FixAt(3400)->timeMs, 3000);
    EXPECT_EQ(timeline.FixAt(2100)->timeMs, 2000);
    EXPECT_EQ(timeline.FixAt(999999)->timeMs, 7000);
    EXPECT_DOUBLE_EQ(timeline.FixAt(3400)->fix.GetSpeed(), static_cast<double>(43.0f));

    // The spike and the fix without a position are the fixes of their time, but the route's
    // fix there is still the one before.
    EXPECT_EQ(timeline.FixAt(4700)->timeMs, 4500);
    EXPECT_EQ(timeline.RouteFixAt(4700)->timeMs, 4000);
    EXPECT_EQ(timeline.FixAt(5600)->fix.valid, 0);
    EXPECT_EQ(timeline.RouteFixAt(5600)->timeMs, 5000);
    EXPECT_EQ(timeline.RouteFixAt(1999), nullptr);

    // Samples at full precision: 0.31 g stays 0.31 g (not 20/64 = 0.3125).
    ASSERT_NE(timeline.SampleAt(1000), nullptr);
    EXPECT_EQ(timeline.SampleAt(1000)->x, 0.30 + 0.01);
    EXPECT_EQ(timeline.SampleAt(1499)->timeMs, 1000);
    EXPECT_EQ(timeline.SampleAt(6200)->timeMs, 6000);
    EXPECT_EQ(timeline.SampleAt(1700)->timeMs, 1500);
    EXPECT_EQ(timeline.SampleAt(1700)->y, -0.02);
}

TEST(TrackTimeline, RouteOfThePlausibleFixesInTimeOrder) {
    const TrackTimeline timeline = Drive();
    std::vector<int64_t> times;
    for (const TimedFix& fix : timeline.Route())
        times.push_back(fix.timeMs);
    EXPECT_EQ(times, (std::vector<int64_t>{2000, 3000, 4000, 5000, 6000, 7000}));
    EXPECT_EQ(timeline.Track().fixes.size(), 8u);
    EXPECT_EQ(timeline.Track().fixes[3].timeMs, 4500);

    const TrackTimeline empty;
    EXPECT_TRUE(empty.Route().empty());
    EXPECT_EQ(empty.FixAt(1000), nullptr);
    EXPECT_TRUE(empty.GraphSamples(1000, 10).empty());
}

TEST(TrackTimeline, GraphShowsOneSampleForEachSecondUpToThePlayTime) {
    const TrackTimeline timeline = Drive();
    const auto times = [&](int64_t playMs, size_t most) {
        std::vector<int64_t> out;
        for (const TimedAcceleration& sample : timeline.GraphSamples(playMs, most))
            out.push_back(sample.timeMs);
        return out;
    };
    // Nothing before the first sample's second; then the sample at or before each second.
    EXPECT_TRUE(times(0, 100).empty());
    EXPECT_TRUE(times(999, 100).empty());
    EXPECT_EQ(times(1000, 100), (std::vector<int64_t>{1000}));
    EXPECT_EQ(times(3900, 100), (std::vector<int64_t>{1000, 2000, 3000}));
    // Back again after a seek forward, and past the last sample, where it holds.
    EXPECT_EQ(times(2100, 100), (std::vector<int64_t>{1000, 2000}));
    EXPECT_EQ(times(9000, 100),
              (std::vector<int64_t>{1000, 2000, 3000, 4000, 5000, 6000, 7000, 7000, 7000}));
    // The newest `most` only.
    EXPECT_EQ(times(9000, 2), (std::vector<int64_t>{7000, 7000}));
    EXPECT_EQ(times(5000, 3), (std::vector<int64_t>{3000, 4000, 5000}));
    EXPECT_TRUE(times(-1, 100).empty());
    EXPECT_TRUE(times(5000, 0).empty());

    // A sample that is not on a whole second stands for the seconds after it.
    TelemetryTrack track;
    track.accelerations = {{1250, 0.30, 0.0, 1.0}, {2750, -0.45, 0.0, 1.0}};
    const std::vector<TimedAcceleration> graph = TrackTimeline(track).GraphSamples(3000, 10);
    ASSERT_EQ(graph.size(), 2u); // seconds 2 and 3
    EXPECT_EQ(graph[0].x, 0.30);
    EXPECT_EQ(graph[1].x, -0.45);
}

TEST(GraphWindow, TheLastMinuteOfAxesAndSpeedAtAnyTimeAfterAnySeek) {
    // Five minutes: a sample every 100 ms whose x is its second, a fix a second at the second's
    // number in km/h, none (lost) from 100 s to 110 s and an invalid one at 200 s.
    TelemetryTrack track;
    for (int64_t ms = 0; ms <= 300000; ms += 100)
        track.accelerations.push_back({ms, static_cast<double>(ms / 1000), 0.0, 1.0});
    for (int64_t s = 0; s <= 300; ++s) {
        if (s > 100 && s < 110)
            continue;
        track.fixes.push_back(FixAt(s * 1000, 37.5, 127.0, static_cast<double>(s), s != 200));
    }
    const TrackTimeline timeline(std::move(track));

    GraphWindow window = GraphWindowAt(timeline, 150700);
    EXPECT_EQ(window.lastSecond, 150);
    ASSERT_EQ(window.samples.size(), 61u); // seconds 90 .. 150
    EXPECT_EQ(window.samples.front().x, 90);
    EXPECT_EQ(window.samples.back().x, 150);
    ASSERT_EQ(window.speedsKmh.size(), 61u);
    EXPECT_NEAR(window.speedsKmh.front(), 90, 0.01);
    EXPECT_NEAR(window.speedsKmh.back(), 150, 0.01);
    // Second 100's fix is current at 101 and 102 s (within 2 s); 103 to 109 s have none.
    EXPECT_NEAR(window.speedsKmh[12], 100, 0.01);
    EXPECT_TRUE(std::isnan(window.speedsKmh[13])) << "second 103";
    EXPECT_TRUE(std::isnan(window.speedsKmh[19])) << "second 109";
    EXPECT_NEAR(window.speedsKmh[20], 110, 0.01);

    // A seek back: the window of the new time at once, the invalid fix without a speed.
    window = GraphWindowAt(timeline, 230000);
    window = GraphWindowAt(timeline, 200400);
    EXPECT_EQ(window.samples.front().x, 140);
    EXPECT_EQ(window.samples.back().x, 200);
    EXPECT_TRUE(std::isnan(window.speedsKmh.back()));
    EXPECT_NEAR(window.speedsKmh[59], 199, 0.01);

    // At the start the window holds what there is so far.
    window = GraphWindowAt(timeline, 4999);
    EXPECT_EQ(window.lastSecond, 4);
    EXPECT_EQ(window.samples.size(), 5u);
    EXPECT_EQ(window.speedsKmh.size(), 5u);
    EXPECT_NEAR(window.speedsKmh.front(), 0, 0.01);
    window = GraphWindowAt(timeline, -1);
    EXPECT_EQ(window.lastSecond, -1);
    EXPECT_TRUE(window.samples.empty() && window.speedsKmh.empty());
    // A shorter window.
    EXPECT_EQ(GraphWindowAt(timeline, 150000, 10).speedsKmh.size(), 11u);
}

TEST(TrackLoader, HandsOutTheLatestLoadOnce) {
    TempDir dir;
    WriteFileText(dir.File("a.nmea"), "[1000]$GSENSOR,0.30,0,1\n");
    WriteFileText(dir.File("b.nmea"), "[1000]$GSENSOR,0.5,0,1\n[2000]$GSENSOR,0.6,0,1\n");
    // The track, once it has been read within `ms`.
    const auto wait = [](TrackLoader& loader, int ms = 5000) {
        for (int waited = 0; waited <= ms; waited += 10) {
            if (std::optional<TelemetryTrack> track = loader.Take())
                return track;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return std::optional<TelemetryTrack>();
    };

    TrackLoader loader;
    EXPECT_FALSE(loader.Take());
    loader.Start({dir.File("a.nmea")});
    const std::optional<TelemetryTrack> a = wait(loader);
    ASSERT_TRUE(a);
    ASSERT_EQ(a->accelerations.size(), 1u);
    EXPECT_EQ(a->accelerations[0].x, 0.30);
    EXPECT_FALSE(loader.Take()); // once

    // A second start abandons the first: only its own track comes.
    loader.Start({dir.File("a.nmea")});
    loader.Start({dir.File("b.nmea")});
    const std::optional<TelemetryTrack> b = wait(loader);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->accelerations.size(), 2u);
    EXPECT_FALSE(wait(loader, 200));

    loader.Start({dir.File("b.nmea")});
    loader.Cancel();
    EXPECT_FALSE(wait(loader, 200));
}
