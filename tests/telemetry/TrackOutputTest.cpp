#include "telemetry/CsvWriter.h"
#include "telemetry/FixFilter.h"
#include "telemetry/FixMaker.h"
#include "telemetry/GpxWriter.h"
#include "telemetry/TextChannelTrack.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A fix at the position (degrees) on 2024-03-15, `second` seconds after 08:30:00 UTC.
TimedFix At(int64_t second, double latitude, double longitude, bool valid = true) {
    FixMaker maker;
    UtcStamp utc{2024, 3, 15, 8, 30, static_cast<int32_t>(second)};
    return TimedFix{second * 1000, maker.Make(utc, valid, latitude, longitude, 36.0, 0)};
}

} // namespace

TEST(FixFilterTest, LeavesOutStraysAndFollowsAMovedReceiver) {
    const std::vector<TimedFix> fixes = {
        At(0, 37.5, 127.0),
        At(1, 37.5001, 127.0),        // 11 m in a second
        At(2, 37.6, 127.0),           // 11 km in a second: a spike
        At(3, 37.5002, 127.0, false), // no position
        At(4, 95.0, 127.0),           // off the earth
        At(5, 37.5003, 127.0),
        At(6, 10.0, 10.0), // the receiver really is elsewhere: three
                           // fixes agree
        At(7, 10.0001, 10.0),
        At(8, 10.0002, 10.0),
        At(9, 10.0003, 10.0),
    };
    const std::vector<TimedFix> kept = PlausibleFixes(fixes);
    std::vector<int64_t> times;
    for (const TimedFix& fix : kept)
        times.push_back(fix.timeMs / 1000);
    EXPECT_EQ(times, (std::vector<int64_t>{0, 1, 5, 8, 9}));
    // 300 km/h is 83.3 m/s, 30 m of noise on top: 167 m in a second is too far, in two
    // seconds it is not.
    EXPECT_NEAR(FixFilter::DistanceMetres(0, 0, 0, 1), 111195, 1);
    FixFilter filter;
    EXPECT_TRUE(filter.Accept(At(0, 0, 0).fix, 0));
    EXPECT_FALSE(filter.Accept(At(1, 0.0015, 0).fix, 1000));
    EXPECT_TRUE(filter.Accept(At(2, 0.0015, 0).fix, 2000));
}

TEST(GpxWriterTest, TrackOfKeptFixesInUtc) {
    TelemetryTrack track;
    track.fixes = {At(0, 37.5187234, 126.9779301), At(1, -33.8688, 151.2093), // a spike
                   At(2, 37.5188, -0.5)};
    track.fixes.back().fix.year = 0; // no date: no time
    track.fixes.back().fix.month = 0;
    track.fixes[2] = At(2, 37.5188, 126.978);
    const std::string gpx = GpxWriter::Write(track, "REC_<1>&");
    EXPECT_NE(gpx.find("<gpx version=\"1.1\""), std::string::npos);
    EXPECT_NE(gpx.find("<name>REC_&lt;1&gt;&amp;</name>"), std::string::npos);
    EXPECT_NE(gpx.find("<trkpt lat=\"37.5187234\" lon=\"126.9779301\"><time>2024-03-15T08:30:00Z"
                       "</time><extensions><gpxtpx:TrackPointExtension><gpxtpx:speed>10.00"),
              std::string::npos)
        << gpx;
    EXPECT_EQ(gpx.find("-33.8688"), std::string::npos);
    EXPECT_NE(gpx.find("2024-03-15T08:30:02Z"), std::string::npos);
    EXPECT_EQ(GpxWriter::PointCount(track), 2u);
    // Fixes of the card: the hour field runs 9 hours ahead of UTC, over midnight too.
    TelemetryTrack card;
    card.fixes = {
        TimedFix{0, CGPSData("G$GPRMC,233000.000,A,3731.1234,N,12658.6758,E,0,0,311224,,,A", 0)}};
    EXPECT_NE(GpxWriter::Write(card, "x").find("<time>2024-12-31T23:30:00Z</time>"),
              std::string::npos);
}

TEST(CsvWriterTest, RowsOfSamplesAndFixesInTimeOrder) {
    TelemetryTrack track;
    track.fixes = {At(0, 37.5, 127.25), At(1, 37.5, 127.25, false)};
    track.accelerations = {{0, 0.5, -0.25, 1.0}, {500, 0, 0, 1.0}, {1500, 0.001, 0, 0}};
    EXPECT_EQ(CsvWriter::Write(track), "time_ms,kind,x_g,y_g,z_g,lat,lon,speed_kmh\n"
                                       "0,gsensor,0.500,-0.250,1.000,,,\n"
                                       "0,fix,,,,37.5000000,127.2500000,36.0\n"
                                       "500,gsensor,0.000,0.000,1.000,,,\n"
                                       "1000,nofix,,,,37.5000000,127.2500000,36.0\n"
                                       "1500,gsensor,0.001,0.000,0.000,,,\n");
    // In miles only the speed column changes: 36 km/h is 22.4 mph.
    const std::string miles = CsvWriter::Write(track, SpeedUnit::kMph);
    EXPECT_EQ(miles.substr(0, miles.find('\n')), "time_ms,kind,x_g,y_g,z_g,lat,lon,speed_mph");
    EXPECT_NE(miles.find("0,fix,,,,37.5000000,127.2500000,22.4\n"), std::string::npos);
}

TEST(TextChannelTrackTest, EveryLineOfTheCardAtItsTime) {
    TextChannelTrack text;
    const std::string rmc = "G$GPRMC,053740.000,A,3731.1234,N,00003.6000,E,10.0,45.5,060612,,,A";
    text.OnTextPacket(reinterpret_cast<const uint8_t*>(rmc.data()), rmc.size(), 1000);
    const uint8_t samples[][4] = {{'M', 128, 64, 192}, {'M', 0, 128, 128}, {'X', 1, 2, 3}};
    for (const auto& sample : samples)
        text.OnTextPacket(sample, sizeof sample, 1100);
    const uint8_t shortLine[] = {'M', 1};
    text.OnTextPacket(shortLine, sizeof shortLine, 1200);
    const TelemetryTrack track = text.Take();
    ASSERT_EQ(track.fixes.size(), 1u);
    EXPECT_EQ(track.fixes[0].timeMs, 1000);
    EXPECT_EQ(track.fixes[0].fix.hour, 14);
    ASSERT_EQ(track.accelerations.size(), 2u); // both samples of one second are kept
    EXPECT_DOUBLE_EQ(track.accelerations[0].x, 0);
    EXPECT_DOUBLE_EQ(track.accelerations[0].y, 1.0);
    EXPECT_DOUBLE_EQ(track.accelerations[0].z, -1.0);
    EXPECT_DOUBLE_EQ(track.accelerations[1].x, 2.0);
}
