#include "telemetry/CGPSData.h"
#include "telemetry/CGSensorData.h"
#include "telemetry/CTextData.h"
#include "tests/support/ScopedTimeZone.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

constexpr std::string_view kValidFix =
    "G$GPRMC,053740.000,A,3731.1234,N,00003.6000,E,10.0,45.5,060612,,,A*00";

// Feeds a text line to the store as the player would, without a terminating zero.
void Feed(CTextData& data, std::string_view line, int64_t timeMs) {
    const std::vector<uint8_t> bytes(line.begin(), line.end());
    data.OnTextPacket(bytes.data(), bytes.size(), timeMs);
}

void FeedSample(CTextData& data, uint8_t rawX, uint8_t rawY, uint8_t rawZ, int64_t timeMs) {
    const uint8_t bytes[] = {'M', rawX, rawY, rawZ};
    data.OnTextPacket(bytes, sizeof bytes, timeMs);
}

// Converts in a fixed zone so the local-time results are known; restores the caller's zone.
class GpsTimeTest : public ::testing::Test {
private:
    ScopedTimeZone m_zone{"UTC0"};
};

TEST(GpsParseTest, ValidSentenceFillsEveryField) {
    const CGPSData fix(kValidFix, 0);
    EXPECT_TRUE(fix.Complete());
    EXPECT_EQ(fix.valid, 1);
    EXPECT_EQ(fix.hour, 14);
    EXPECT_EQ(fix.minute, 37);
    EXPECT_EQ(fix.second, 40);
    EXPECT_NEAR(fix.LatitudeDegrees(), 37.0 + 31.1234 / 60.0, 1e-9); // 37.51872...
    EXPECT_NEAR(fix.LongitudeDegrees(), 0.06, 1e-9);
    EXPECT_EQ(fix.GetSpeed(), static_cast<double>(static_cast<float>(18.52)));
    EXPECT_EQ(fix.course, 45.5);
    EXPECT_EQ(fix.day, 6);
    EXPECT_EQ(fix.month, 6);
    EXPECT_EQ(fix.year, 12);
}

TEST(GpsParseTest, SouthAndWestAreNegative) {
    const CGPSData fix("G$GPRMC,053740.000,A,3731.1234,S,00003.6000,W,10.0,45.5,060612,,,A*00", 0);
    EXPECT_NEAR(fix.LatitudeDegrees(), -(37.0 + 31.1234 / 60.0), 1e-9);
    EXPECT_NEAR(fix.LongitudeDegrees(), -0.06, 1e-9);
    EXPECT_NEAR(CGPSData::ToDegrees(-3.6), -0.06, 1e-12);
}

TEST(GpsParseTest, EmptyFieldsShiftLaterValuesForward) {
    const CGPSData fix("G$GPRMC,053740.000,V,,,,,,,060612,,,N*4C", 0);
    EXPECT_FALSE(fix.Complete());
    EXPECT_EQ(fix.valid, 0);
    EXPECT_EQ(fix.hour, 14);
    EXPECT_EQ(fix.latitude, 60612.0); // the date moved into the latitude
    EXPECT_EQ(fix.longitude, 0.0);
    EXPECT_EQ(fix.day, 0);
    EXPECT_EQ(fix.time, 0);
}

TEST(GpsParseTest, MalformedFieldsStayZero) {
    const CGPSData fix("G$GPRMC,0x37,A,abc,N,+12.5x,E,nan,1e300,0612,,,A*00", 0);
    EXPECT_TRUE(fix.Complete());
    EXPECT_EQ(fix.hour, 0); // "0x" is not a number
    EXPECT_EQ(fix.minute, 37);
    EXPECT_EQ(fix.second, 0); // field too short
    EXPECT_EQ(fix.latitude, 0.0);
    EXPECT_EQ(fix.longitude, 12.5); // trailing characters ignored, like strtod
    EXPECT_EQ(fix.speed, 0.0);
    EXPECT_EQ(fix.course, 0.0); // does not fit a float
    EXPECT_EQ(fix.day, 6);
    EXPECT_EQ(fix.month, 12);
    EXPECT_EQ(fix.year, 0);
}

TEST(GpsParseTest, TextEndsAtZeroByteOrCut) {
    const std::string withZero = std::string(kValidFix.substr(0, 45)) + '\0' + ",E,1,2,010101";
    const CGPSData cutAtZero(withZero, 0);
    EXPECT_FALSE(cutAtZero.Complete());
    EXPECT_EQ(cutAtZero.speed, 0.0);

    // Only the first 1,027 characters count: the date beyond them is never seen.
    std::string longSentence = "G$GPRMC,053740.000,A,3731.1234,N,00003.6000,E,10.0,";
    longSentence += std::string(5000 - longSentence.size() - 7, '4');
    longSentence += ",060612";
    const CGPSData cut(longSentence, 0);
    EXPECT_FALSE(cut.Complete());
    EXPECT_EQ(cut.day, 0);
    EXPECT_EQ(cut.valid, 1);

    std::string fitting = std::string(kValidFix.substr(0, 51));
    fitting += std::string(1027 - fitting.size() - 7, '4');
    fitting += ",060612";
    const CGPSData fits(fitting, 0);
    EXPECT_TRUE(fits.Complete());
    EXPECT_EQ(fits.day, 6);
}

TEST_F(GpsTimeTest, LateUtcHourRollsIntoNextYear) {
    const CGPSData fix("G$GPRMC,183000.000,A,3731.1234,N,12700.0000,E,0.0,0.0,311212,,,A*00", 0);
    EXPECT_EQ(fix.hour, 27);
    EXPECT_EQ(fix.day, 31);
    EXPECT_EQ(fix.month, 12);
    // 2013-01-01 03:30:00
    EXPECT_EQ(fix.time, 1356998400 + 3 * 3600 + 30 * 60);
}

TEST_F(GpsTimeTest, TwoDigitYearsSplitAt1970) {
    const CGPSData y69("G$GPRMC,000000,A,1,N,1,E,0,0,010169,,,A*00", 0);
    EXPECT_EQ(y69.year, 69);
    EXPECT_EQ(y69.time, 3124224000LL + 9 * 3600); // 2069-01-01 09:00:00

    const CGPSData y70("G$GPRMC,000000,A,1,N,1,E,0,0,010170,,,A*00", 0);
    EXPECT_EQ(y70.time, 9 * 3600); // 1970-01-01 09:00:00
}

TEST(TextDataTest, RoutesLinesByFirstByte) {
    CTextData data;
    Feed(data, kValidFix, 0);
    FeedSample(data, 128, 0, 255, 0);
    Feed(data, "X$GPRMC,053740.000,A,3731.1234,N", 0);
    Feed(data, "G$GPGGA,053740.000,3731.1234,N", 0);
    Feed(data, "G$GPRM", 0);       // too short for the type
    Feed(data, "M\x01\x02", 5000); // too short for a sample
    data.OnTextPacket(nullptr, 0, 0);

    ASSERT_EQ(data.GpsCount(), 1u);
    ASSERT_EQ(data.SensorCount(), 1u);
    CGPSData newest;
    ASSERT_TRUE(data.NewestFix(newest));
    EXPECT_EQ(newest.hour, 14);
    EXPECT_EQ(newest.time, CGPSData(kValidFix, 0).time);
    const CGSensorData sample = data.SensorSamples()[0];
    EXPECT_EQ(sample.x, 0);
    EXPECT_EQ(sample.y, 128);
    EXPECT_EQ(sample.z, -127);

    data.Clear();
    EXPECT_EQ(data.GpsCount(), 0u);
    EXPECT_EQ(data.SensorCount(), 0u);
    EXPECT_FALSE(data.NewestFix(newest));
}

TEST(TextDataTest, KeepsOneSamplePerSecond) {
    CTextData data;
    for (int i = 0; i < 3; ++i)
        FeedSample(data, 128, 128, 128, i * 1000);
    FeedSample(data, 0, 0, 0, 2500); // second 2 is already covered
    EXPECT_EQ(data.SensorCount(), 3u);

    CTextData shorter;
    for (int i = 0; i < 2; ++i)
        FeedSample(shorter, 128, 128, 128, i * 1000);
    FeedSample(shorter, 0, 0, 0, 2500);
    EXPECT_EQ(shorter.SensorCount(), 3u);
    EXPECT_EQ(shorter.SensorSamples().back().x, 128);

    FeedSample(shorter, 0, 0, 0, -1500); // before the start
    EXPECT_EQ(shorter.SensorCount(), 3u);
}

TEST(TextDataTest, CopySensorSamplesClipsToTheList) {
    CTextData data;
    for (uint8_t i = 0; i < 5; ++i)
        FeedSample(data, static_cast<uint8_t>(128 - i), 128, 128, i * 1000);

    std::vector<CGSensorData> out(7);
    EXPECT_EQ(data.CopySensorSamples(3, 10, out), 2u);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].x, 3);
    EXPECT_EQ(out[1].x, 4);
    EXPECT_EQ(data.CopySensorSamples(1, SIZE_MAX, out), 4u);
    EXPECT_EQ(data.CopySensorSamples(5, 1, out), 0u);
    EXPECT_TRUE(out.empty());
}

TEST(TextDataTest, ReadersSeeWholeRecordsWhileTheWriterAppends) {
    CTextData data;
    constexpr int kPackets = 2000;
    std::atomic<bool> done{false};

    std::thread writer([&] {
        for (int i = 0; i < kPackets; ++i) {
            Feed(data, kValidFix, i * 1000);
            FeedSample(data, static_cast<uint8_t>(i), 0, 0, i * 1000);
        }
        done = true;
    });

    size_t lastGps = 0;
    size_t lastSensor = 0;
    bool ok = true;
    std::vector<CGSensorData> window;
    while (!done && ok) {
        CGPSData fix;
        if (data.NewestFix(fix))
            ok = ok && fix.Complete() && fix.minute == 37;
        const size_t gps = data.GpsCount();
        const size_t sensor = data.SensorCount();
        ok = ok && gps >= lastGps && sensor >= lastSensor;
        lastGps = gps;
        lastSensor = sensor;
        const size_t first = sensor > 10 ? sensor - 10 : 0;
        const size_t copied = data.CopySensorSamples(first, 10, window);
        for (size_t k = 0; k < copied; ++k)
            ok = ok && window[k].x == CGSensorData::FromRaw(static_cast<uint8_t>(first + k));
    }
    writer.join();

    EXPECT_TRUE(ok);
    EXPECT_EQ(data.GpsCount(), static_cast<size_t>(kPackets));
    EXPECT_EQ(data.SensorCount(), static_cast<size_t>(kPackets));
}

} // namespace
