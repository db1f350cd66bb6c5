// The car readout: what it shows of a car's state (zero fields the car leaves out, units,
// gear, pedals, signals, assist), which state is current at a play time whichever way the
// time jumps, and nothing for a recording without car data.
#include "ui/logic/CarReadout.h"
#include "ui/logic/TrackTimeline.h"

#include <gtest/gtest.h>

namespace {

TimedCarState State(int64_t timeMs, double mps) {
    TimedCarState state;
    state.timeMs = timeMs;
    state.speedMps = mps;
    return state;
}

} // namespace

TEST(CarReadoutTest, ShowsEveryFieldAndReadsMissingOnesAsZero) {
    TimedCarState full = State(0, 25.0); // 90 km/h
    full.gear = CarGear::kDrive;
    full.acceleratorPercent = 37.6;
    full.brake = true;
    full.steeringDegrees = -45.5;
    full.blinkerLeft = true;
    full.assist = DriveAssist::kAutosteer;
    const CarReadout kmh = CarReadout::Of(&full, SpeedUnit::kKmh);
    EXPECT_TRUE(kmh.shown);
    EXPECT_DOUBLE_EQ(kmh.speedKmh, 90.0);
    EXPECT_EQ(kmh.speedText, "90");
    EXPECT_EQ(kmh.unitText, "km/h");
    EXPECT_EQ(kmh.gear, "D");
    EXPECT_EQ(kmh.acceleratorPercent, 38);
    EXPECT_TRUE(kmh.brake);
    EXPECT_DOUBLE_EQ(kmh.steeringDegrees, -45.5);
    EXPECT_TRUE(kmh.blinkerLeft);
    EXPECT_FALSE(kmh.blinkerRight);
    EXPECT_EQ(kmh.assist, "autosteer");
    const CarReadout mph = CarReadout::Of(&full, SpeedUnit::kMph);
    EXPECT_EQ(mph.speedText, "55"); // 55.92 truncated, as the status line's speed
    EXPECT_EQ(mph.unitText, "mph");

    // The car leaves zero out: standing, pedals up, wheel straight, signals and assist off.
    TimedCarState bare;
    bare.gear = CarGear::kPark;
    bare.assist = DriveAssist::kOff;
    const CarReadout parked = CarReadout::Of(&bare, SpeedUnit::kKmh);
    EXPECT_TRUE(parked.shown);
    EXPECT_EQ(parked.speedText, "0");
    EXPECT_EQ(parked.gear, "P");
    EXPECT_EQ(parked.acceleratorPercent, 0);
    EXPECT_FALSE(parked.brake);
    EXPECT_EQ(parked.steeringDegrees, 0.0);
    EXPECT_EQ(parked.assist, "") << "off says nothing";

    // Out-of-range values stay in their bounds.
    TimedCarState odd;
    odd.acceleratorPercent = 250;
    odd.speedMps = -3;
    EXPECT_EQ(CarReadout::Of(&odd, SpeedUnit::kKmh).acceleratorPercent, 100);
    EXPECT_EQ(CarReadout::Of(&odd, SpeedUnit::kKmh).speedText, "0");
    EXPECT_EQ(CarReadout::Of(nullptr, SpeedUnit::kKmh), CarReadout{});
}

TEST(CarReadoutTest, TheStateAtOrBeforeThePlayTimeWhicheverWayTheTimeJumps) {
    TelemetryTrack track;
    for (int k = 0; k < 10; ++k) {
        TimedCarState state = State(500 + k * 100, k);
        state.gear = k < 5 ? CarGear::kReverse : CarGear::kDrive;
        state.blinkerRight = k % 2 == 1;
        track.carStates.push_back(state);
    }
    const TrackTimeline timeline(track);
    EXPECT_FALSE(CarReadout::At(&timeline, 499, SpeedUnit::kKmh).shown) << "before the first";
    EXPECT_FALSE(CarReadout::SpeedKmhAt(&timeline, 499));
    const CarReadout late = CarReadout::At(&timeline, 1349, SpeedUnit::kKmh);
    EXPECT_DOUBLE_EQ(late.speedKmh, 8 * 3.6);
    EXPECT_EQ(late.gear, "D");
    EXPECT_FALSE(late.blinkerRight);
    // Back, then on past the last.
    const CarReadout early = CarReadout::At(&timeline, 700, SpeedUnit::kKmh);
    EXPECT_DOUBLE_EQ(early.speedKmh, 2 * 3.6);
    EXPECT_EQ(early.gear, "R");
    EXPECT_TRUE(CarReadout::At(&timeline, 800, SpeedUnit::kKmh).blinkerRight);
    EXPECT_DOUBLE_EQ(*CarReadout::SpeedKmhAt(&timeline, 60000), 9 * 3.6);

    // A recording without car data shows nothing.
    TelemetryTrack plain;
    plain.accelerations.push_back({0, 0, 0, 1});
    const TrackTimeline noCar(plain);
    EXPECT_EQ(CarReadout::At(&noCar, 1000, SpeedUnit::kKmh), CarReadout{});
    EXPECT_FALSE(CarReadout::SpeedKmhAt(&noCar, 1000));
    EXPECT_EQ(CarReadout::At(nullptr, 1000, SpeedUnit::kKmh), CarReadout{});
}
