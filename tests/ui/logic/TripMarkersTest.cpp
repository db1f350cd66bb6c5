// A trip's slider marks: where event, manual and parking recordings begin, the G-force peaks
// of a realistic track (gravity on a tilted sensor, road noise, bursts), the marker keys' steps
// and the marks' slider positions.
#include "ui/logic/TripMarkers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace {

using Marker = TripMarkers::Marker;

constexpr int64_t kTenMinutes = 10 * 60 * 1000;

// Ten minutes at 10 Hz from a sensor pitched 20 degrees (gravity shows 0.34 g on x and 0.94 g
// on z) with up to 0.05 g of road noise on each axis; jolts are added over it.
struct Drive {
    std::vector<TimedAcceleration> samples;
    TimedAcceleration gravity{0, std::sin(20 * std::numbers::pi / 180), 0,
                              std::cos(20 * std::numbers::pi / 180)};

    Drive() {
        std::mt19937 random(7);
        std::uniform_real_distribution<double> noise(-0.05, 0.05);
        for (int64_t ms = 0; ms <= kTenMinutes; ms += 100)
            samples.push_back({ms, gravity.x + noise(random), gravity.y + noise(random),
                               gravity.z + noise(random)});
    }
    // Adds g on each axis to the samples of [fromMs, toMs].
    void Jolt(int64_t fromMs, int64_t toMs, double x, double y, double z) {
        for (TimedAcceleration& sample : samples) {
            if (sample.timeMs >= fromMs && sample.timeMs <= toMs) {
                sample.x += x;
                sample.y += y;
                sample.z += z;
            }
        }
    }
};

std::vector<int64_t> PeakTimes(const TripMarkers& markers) {
    std::vector<int64_t> times;
    for (const Marker& marker : markers.Markers())
        if (marker.kind == MarkerKind::GForce)
            times.push_back(marker.timeMs);
    return times;
}

} // namespace

void PrintTo(const Marker& m, std::ostream* out) {
    *out << '{' << m.timeMs << ", " << static_cast<int>(m.kind) << '}';
}

TEST(TripMarkers, RecordingsAndPeaksInOneListInTimeOrderWithinTheTrip) {
    Drive drive;
    drive.Jolt(60000, 60000, 0, 0.8, 0); // where the event recording begins
    drive.Jolt(30000, 30000, 0, 0.8, 0);
    drive.samples.push_back({kTenMinutes + 5000, 3, 3, 3});   // past the trip's end
    std::reverse(drive.samples.begin(), drive.samples.end()); // any order
    const std::vector<TripMarkers::Recording> recordings = {
        {300000, 3}, {60000, 0}, {0, 1}, {120000, 1}, {240000, 2}, {kTenMinutes + 1, 0}};
    EXPECT_EQ(TripMarkers(kTenMinutes, recordings, drive.samples).Markers(),
              (std::vector<Marker>{{30000, MarkerKind::GForce},
                                   {60000, MarkerKind::Event},
                                   {60000, MarkerKind::GForce},
                                   {240000, MarkerKind::Parking},
                                   {300000, MarkerKind::Manual}}));
    // A threshold of 0 turns the peaks off.
    EXPECT_EQ(TripMarkers(kTenMinutes, recordings, drive.samples, 0).Markers().size(), 3u);
}

TEST(TripMarkers, RestIsTheTiltedGravityAndEachBurstGivesOneMarkAtItsPeak) {
    Drive drive;
    // Braking: 0.5 g back along x for 1.5 s, strongest (0.8 g) in its middle.
    drive.Jolt(100000, 101500, -0.5, 0, 0);
    drive.Jolt(100700, 100700, -0.3, 0, 0);
    // A turn: 0.45 g sideways. The reading's length grows by 0.1 g only: a rule on the length
    // alone would miss it.
    drive.Jolt(200000, 203000, 0, 0.45, 0);
    drive.Jolt(201000, 201000, 0, 0.2, 0);
    // A pothole, up and down within 2 s: one burst.
    drive.Jolt(300000, 300000, 0, 0, 1.2);
    drive.Jolt(301500, 301500, 0, 0, -0.7);
    // Two knocks 3 s apart: two bursts.
    drive.Jolt(400000, 400000, 0.6, 0, 0);
    drive.Jolt(403100, 403100, 0.7, 0, 0);
    // Under the threshold: a bump of 0.3 g.
    drive.Jolt(500000, 500500, 0, 0, 0.3);

    const TimedAcceleration rest = TripMarkers::RestingReading(drive.samples);
    EXPECT_NEAR(rest.x, drive.gravity.x, 0.01);
    EXPECT_NEAR(rest.z, drive.gravity.z, 0.01);

    const TripMarkers markers(kTenMinutes, {}, drive.samples);
    EXPECT_EQ(PeakTimes(markers), (std::vector<int64_t>{100700, 201000, 300000, 400000, 403100}));

    // The threshold is a setting: at 0.95 g only the pothole's upward blow counts.
    EXPECT_EQ(PeakTimes(TripMarkers(kTenMinutes, {}, drive.samples, 0.95)),
              (std::vector<int64_t>{300000}));
    // Rest comes from the track, not from 1 g on z: a sensor that reads 0 at rest is the
    // same drive.
    Drive calibrated;
    for (TimedAcceleration& sample : calibrated.samples) {
        sample.x -= calibrated.gravity.x;
        sample.z -= calibrated.gravity.z;
    }
    calibrated.Jolt(250000, 250000, 0, -0.6, 0);
    EXPECT_EQ(PeakTimes(TripMarkers(kTenMinutes, {}, calibrated.samples)),
              (std::vector<int64_t>{250000}));
}

TEST(TripMarkers, NextAndPreviousWalkTheMarksWhereverPlayingStands) {
    const std::vector<TripMarkers::Recording> recordings = {
        {10000, 0}, {30000, 3}, {60000, 2}, {61000, 0}};
    const TripMarkers markers(120000, recordings, {});
    const auto next = [&](int64_t t) { return markers.Next(t).value_or(Marker{-1}).timeMs; };
    const auto previous = [&](int64_t t) {
        return markers.Previous(t).value_or(Marker{-1}).timeMs;
    };
    EXPECT_EQ(next(0), 10000);
    // A seek to a mark lands on the picture just before it: the next press goes on.
    EXPECT_EQ(next(29967), 60000);
    EXPECT_EQ(next(60000), 61000);
    EXPECT_EQ(next(61000), -1);

    // Pressing Previous twice walks back, also while playing on between presses.
    EXPECT_EQ(previous(90000), 61000);
    EXPECT_EQ(previous(61000 + 400), 60000);
    EXPECT_EQ(previous(60000 + 300), 30000);
    EXPECT_EQ(previous(10500), -1);
    // Far from a mark, the mark just behind is found.
    EXPECT_EQ(previous(31500), 30000);

    EXPECT_EQ(markers.ForSlider(), (std::vector<SliderMarker>{{10, MarkerKind::Event},
                                                              {30, MarkerKind::Manual},
                                                              {60, MarkerKind::Parking},
                                                              {61, MarkerKind::Event}}));
    EXPECT_EQ(markers.ForSlider(60000).back(), (SliderMarker{1, MarkerKind::Event}));
    EXPECT_FALSE(TripMarkers().Next(0));
    EXPECT_FALSE(TripMarkers().Previous(100000));
}
