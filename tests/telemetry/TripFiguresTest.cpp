#include "telemetry/TripFigures.h"
#include "telemetry/FixMaker.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A fix `second` seconds into the drive (from 08:30:00 UTC), at the position in degrees.
TimedFix Fix(int second, double latitude, double longitude, double speedKmh, bool valid = true) {
    FixMaker maker;
    const UtcStamp utc{2024, 3, 15, 8 + second / 3600, 30 + second / 60 % 60, second % 60};
    return TimedFix{int64_t{second} * 1000,
                    maker.Make(utc, valid, latitude, longitude, speedKmh, 0)};
}

TEST(TripFiguresTest, KnownRouteWithoutImpossibleFixes) {
    // North along 127° E from 37.5° to 37.6° (11.12 km), then east along 37.6° N to 127.1°
    // (11.12 km × cos 37.6° = 8.81 km), at 80 km/h; a spike 11 km off in a second and a fix
    // without a position count for neither distance nor top speed.
    TelemetryTrack track;
    int second = 0;
    for (int i = 0; i <= 500; ++i)
        track.fixes.push_back(Fix(second++, 37.5 + 0.0002 * i, 127.0, 80.0));
    for (int i = 1; i <= 500; ++i)
        track.fixes.push_back(Fix(second++, 37.6, 127.0 + 0.0002 * i, i == 250 ? 96.5 : 80.0));
    track.fixes.insert(track.fixes.begin() + 300, Fix(300, 37.7, 127.0, 250.0));
    track.fixes.insert(track.fixes.begin() + 700, Fix(700, 37.6, 127.03, 180.0, false));

    const TripFigures figures = TripFigures::Of(track, 20 * 60 * 1000);
    const double expectedKm = 0.1 * 111.195 * (1 + 0.79229);
    EXPECT_NEAR(figures.distanceKm, expectedKm, expectedKm * 0.005);
    EXPECT_TRUE(figures.hasFixes);
    EXPECT_DOUBLE_EQ(figures.topSpeedKmh, 96.5);
    EXPECT_NEAR(figures.averageKmh, figures.distanceKm * 3.0, 1e-9); // in 20 minutes
}

TEST(TripFiguresTest, NoUsableFixesOrNoDuration) {
    TelemetryTrack noPosition;
    noPosition.fixes = {Fix(0, 37.5, 127.0, 50.0, false), Fix(1, 37.5001, 127.0, 50.0, false)};
    for (const TelemetryTrack& track : {TelemetryTrack{}, noPosition}) {
        const TripFigures none = TripFigures::Of(track, 60000);
        EXPECT_FALSE(none.hasFixes);
        EXPECT_EQ(none.distanceKm + none.topSpeedKmh + none.averageKmh, 0);
        EXPECT_EQ(none.durationMs, 60000);
    }
    TelemetryTrack standing;
    standing.fixes = {Fix(0, 37.5, 127.0, 3.0), Fix(5, 37.5, 127.0, 0.0)};
    const TripFigures still = TripFigures::Of(standing, -5);
    EXPECT_TRUE(still.hasFixes);
    EXPECT_DOUBLE_EQ(still.topSpeedKmh, 3.0);
    EXPECT_EQ(still.distanceKm + still.averageKmh, 0);
    EXPECT_EQ(still.durationMs, 0);
}

} // namespace
