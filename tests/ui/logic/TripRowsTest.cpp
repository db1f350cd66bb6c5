// The trip view's row texts from a trip's figures, and the speed units they are shown in.
#include "ui/logic/TripRows.h"
#include "telemetry/SpeedUnit.h"

#include "storage/CivilTime.h"

#include <gtest/gtest.h>

TEST(TripRows, TextsOfATripRow) {
    const CivilTime start{2024, 3, 5, 8, 59, 40};
    const TripRow row = TripRows::RowOf(start, 754900, 7, 12.34, SpeedUnit::kKmh, true);
    EXPECT_EQ(row.start, "2024.03.05 08:59:40");
    EXPECT_EQ(row.length, "12:34");
    EXPECT_EQ(row.count, "7");
    EXPECT_EQ(row.distance, "12.3 km");
    EXPECT_TRUE(row.holdsEvents);

    const TripRow miles = TripRows::RowOf(start, 3600000 + 62000, 30, 12.3, SpeedUnit::kMph, false);
    EXPECT_EQ(miles.length, "1:01:02");
    EXPECT_EQ(miles.distance, "7.6 mi");
    EXPECT_FALSE(miles.holdsEvents);
    EXPECT_EQ(TripRows::RowOf(start, 59999, 1, std::nullopt, SpeedUnit::kKmh, false).distance, "");

    EXPECT_EQ(TripRows::LengthText(3599999), "59:59");
    EXPECT_EQ(TripRows::LengthText(36 * 3600000LL), "36:00:00");
    EXPECT_EQ(TripRows::LengthText(-5000), "00:00");
}

TEST(SpeedUnit, MilesWhereTheRoadsAreSignedInMiles) {
    using enum SpeedUnit;
    for (const char* miles : {"en_US.UTF-8", "en_GB.utf8@euro", "es_US", "en_PR", "my_MM"})
        EXPECT_EQ(speedunit::DefaultForLocale(miles), kMph) << miles;
    for (const char* km : {"C", "", "en", "en_AU.UTF-8", "ko_KR.UTF-8", "en_IE"})
        EXPECT_EQ(speedunit::DefaultForLocale(km), kKmh) << km;
    EXPECT_EQ(speedunit::FromWord(speedunit::Word(kMph), kKmh), kMph);
    EXPECT_EQ(speedunit::FromWord("knots", kMph), kMph);
    EXPECT_DOUBLE_EQ(speedunit::Speed(160.9344, kMph), 100.0);
}
