#include "telemetry/NmeaSideFile.h"
#include "telemetry/NmeaChecksum.h"
#include "telemetry/RecordingTelemetry.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <string>

TEST(NmeaSideFileTest, RmcOfEveryTalkerWithGoodChecksumsAndSensorLines) {
    const std::string text =
        "$GSENSOR,0.10,-0.20,1.00*4C\r\n"
        "$GNRMC,090702.00,A,3733.0000,N,12658.0000,E,10.0,90.0,050324,,,A*48\r\n"
        "$GSENSOR,0.10,-0.20,1.00\r\n"                                          // no checksum
        "$GPRMC,090703.50,A,3733.0100,N,12658.0100,E,20.0,91.0,050324,,,A*51\n" // wrong sum
        "$GPRMC,090703.50,A,3733.0100,N,12658.0100,E,20.0,91.0,050324,,,A*50\n"
        "$GPRMC,090703.50,A,3733.0100,N,12658.0100,E,20.0,91.0,050324,,,A\n" // none
        "$GSENSOR,100,-200,1000\n"                                           // milli-g
        "$GPGGA,090703.50,3733.0100,N,12658.0100,E,1,08,0.9,545.4,M,46.9,M,,*47\n"
        "$GLRMC,090704,A,3733.0000,N,12658.0000,E,5,0,050324,,,A*6F\n"
        "garbage\n"
        "$GSENSOR,x,1,2\n";
    const TelemetryTrack track = nmea::ReadSideFile(text);
    ASSERT_EQ(track.fixes.size(), 3u);
    EXPECT_EQ(track.fixes[0].timeMs, 0);
    EXPECT_EQ(track.fixes[1].timeMs, 1500);
    EXPECT_EQ(track.fixes[2].timeMs, 2000);
    EXPECT_EQ(track.fixes[0].fix.valid, 1);
    EXPECT_NEAR(track.fixes[0].fix.LatitudeDegrees(), 37.55, 1e-9);
    EXPECT_NEAR(track.fixes[1].fix.GetSpeed(), 20.0 * 1.852, 1e-3);
    ASSERT_EQ(track.accelerations.size(), 3u);
    EXPECT_EQ(track.accelerations[0].timeMs, 0);
    EXPECT_DOUBLE_EQ(track.accelerations[0].z, 1.0);
    EXPECT_EQ(track.accelerations[2].timeMs, 1500); // after the fix at 1.5 s
    EXPECT_DOUBLE_EQ(track.accelerations[2].y, -0.2);

    EXPECT_TRUE(nmea::ChecksumMatches("$GSENSOR,0.10,-0.20,1.00*4c"));
    EXPECT_FALSE(nmea::ChecksumMatches("$GSENSOR,0.10,-0.20,1.00*4"));
    EXPECT_FALSE(nmea::ChecksumMatches("GSENSOR*00"));
}

TEST(NmeaSideFileTest, BlackVueMillisecondStampsGiveTheTimes) {
    const std::string text =
        "[1709629622000]$BDRMC,235959.00,A,3733.0000,S,12658.0000,W,0.0,0.0,050324,,,A*4D\n"
        "[1709629622250]$GSENSOR,0.5,0,1*57\n"
        "[1709629622900]\n"
        "[1709629623100]$GNRMC,090702.00,A,3733.0000,N,12658.0000,E,10.0,90.0,050324,,,A*48\n"
        "[17096x]$GSENSOR,0.5,0,1\n"
        "[1709629623200\n";
    const TelemetryTrack track = nmea::ReadSideFile(text);
    ASSERT_EQ(track.fixes.size(), 2u);
    EXPECT_EQ(track.fixes[1].timeMs, 1100);
    EXPECT_LT(track.fixes[0].fix.latitude, 0);
    EXPECT_LT(track.fixes[0].fix.longitude, 0);
    ASSERT_EQ(track.accelerations.size(), 1u);
    EXPECT_EQ(track.accelerations[0].timeMs, 250);
}

TEST(NmeaSideFileTest, LoadMergesSideFilesAndSkipsOthers) {
    TempDir dir;
    WriteFileText(dir.File("a.NMEA"),
                  "$GLRMC,090704,A,3733.0000,N,12658.0000,E,5,0,050324,,,A*6F\n");
    WriteFileText(dir.File("b.gps"), "[5000]$GSENSOR,0,0,1\n");
    WriteFileText(dir.File("c.mp4"), "$GSENSOR,0,0,1\n");
    const TelemetryTrack track = RecordingTelemetry::Load(
        {dir.File("a.NMEA"), dir.File("b.gps"), dir.File("c.mp4"), dir.File("missing.nmea")});
    EXPECT_EQ(track.fixes.size(), 1u);
    EXPECT_EQ(track.accelerations.size(), 1u);
}

TEST(NmeaSideFileTest, EmptyCourseOfACarStandingStillKeepsTheDate) {
    const TelemetryTrack track =
        nmea::ReadSideFile("$GNRMC,090702.00,A,3733.0000,N,12658.0000,E,0.0,,050324,,,A*6E\n");
    ASSERT_EQ(track.fixes.size(), 1u);
    const CGPSData& fix = track.fixes[0].fix;
    EXPECT_EQ(fix.year, 24);
    EXPECT_EQ(fix.month, 3);
    EXPECT_EQ(fix.day, 5);
    EXPECT_NEAR(fix.LatitudeDegrees(), 37.55, 1e-6);
}
