// The camera clock's offset from GPS time, as the evidence record of a clip states it.
#include "telemetry/ClockOffset.h"
#include "storage/CivilTime.h"
#include "telemetry/FixMaker.h"

#include <gtest/gtest.h>

namespace {

// A fix `intoMs` into a recording, reporting 2024-03-15 08:30:00 UTC plus `utcSecond`.
TimedFix FixAt(int64_t intoMs, int utcSecond, bool valid = true) {
    FixMaker maker;
    const UtcStamp utc{2024, 3, 15, 8, 30, utcSecond};
    return TimedFix{intoMs, maker.Make(utc, valid, 37.5, 127.0, 50.0, 0)};
}

} // namespace

TEST(ClockOffsetTest, TheMedianOfTheFixesInTheCamerasZone) {
    // A camera in Seoul (UTC+9) whose recording starts at 17:30:00 on its clock; each fix
    // comes 2.5 s after the second it names, so the camera is 2.5 s ahead of GPS.
    const int64_t start = CivilTime{2024, 3, 15, 17, 30, 0}.ToSeconds();
    std::vector<TimedFix> fixes;
    for (int s = 0; s < 9; ++s)
        fixes.push_back(FixAt(2500 + s * 1000, s));
    fixes.push_back(FixAt(9500, 0));          // a stale fix: one outlier
    fixes.push_back(FixAt(10500, 10, false)); // no position: left out
    EXPECT_EQ(CameraClockOffsetMs(start, 9 * 3600, fixes), 2500);
    // The same clock taken for UTC: nine hours ahead.
    EXPECT_EQ(CameraClockOffsetMs(start, 0, fixes), 9 * 3600 * 1000 + 2500);
    // A camera behind GPS.
    EXPECT_EQ(CameraClockOffsetMs(start - 4, 9 * 3600, fixes), -1500);
}

TEST(ClockOffsetTest, NothingWithoutAUsableFix) {
    EXPECT_FALSE(CameraClockOffsetMs(0, 0, {}));
    EXPECT_FALSE(CameraClockOffsetMs(0, 0, {FixAt(0, 0, false), FixAt(1000, 1, false)}));
}
