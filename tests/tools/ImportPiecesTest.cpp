// The pieces of the import that need no media files: GPS logs, access unit delimiters and
// frame rates.
#include "formats/AnnexB.h"
#include "telemetry/CGPSData.h"
#include "telemetry/NmeaChecksum.h"
#include "tools/tatcard/NmeaLog.h"
#include "tools/tatcard/VideoInput.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kAud = {0, 0, 0, 1, 9, 0xF0};
const Bytes kSps = {0, 0, 0, 1, 0x67, 0x42, 0xC0, 0x1E};
const Bytes kPps = {0, 0, 1, 0x68, 0xCE, 0x3C, 0x80};
const Bytes kIdr = {0, 0, 1, 0x65, 0x88, 0x84, 0x21};
const Bytes kSlice = {0, 0, 0, 1, 0x41, 0x9A, 0x02};
const Bytes kSei = {0, 0, 0, 1, 0x06, 0x05, 0x01, 0x80};
const Bytes kOtherAud = {0, 0, 1, 9, 0x30};

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

Bytes Delimited(const Bytes& unit) {
    return WithDelimiter(unit.data(), unit.size());
}

} // namespace

TEST(NmeaLogTest, RenamesAnyTalkerToGpsAndWorksOutTheChecksumAgain) {
    // The classic example sentence; GN instead of GP changes the checksum by 'N' ^ 'P'.
    const std::string gp = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A";
    const std::string gn = "$GNRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*74";
    EXPECT_EQ(AsGpsRmc(gp), gp);
    EXPECT_EQ(AsGpsRmc(gn), gp);
    EXPECT_EQ(AsGpsRmc(std::string("  ") + gn + "\r"), gp);
    // Lower-case checksum digits are read too; a sentence without one gets one.
    std::string lower = gp;
    lower.back() = 'a';
    EXPECT_EQ(AsGpsRmc(lower), gp);
    EXPECT_EQ(AsGpsRmc("$GLRMC,000000,V,,,,,,,010170,,,N*48"),
              "$GPRMC,000000,V,,,,,,,010170,,,N*54");
    EXPECT_EQ(AsGpsRmc("$GNRMC,000000,V,,,,,,,010170,,,N"), "$GPRMC,000000,V,,,,,,,010170,,,N*54");
}

TEST(NmeaLogTest, LeavesOutOtherAndDamagedSentences) {
    EXPECT_FALSE(AsGpsRmc("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47"));
    EXPECT_FALSE(AsGpsRmc("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6B"));
    EXPECT_FALSE(AsGpsRmc("$GPRMC,123519,A*6"));
    EXPECT_FALSE(AsGpsRmc("$GPRMC,123519,A*XY"));
    EXPECT_FALSE(AsGpsRmc("GPRMC,123519,A"));
    EXPECT_FALSE(AsGpsRmc("$gpRMC,123519,A"));
    EXPECT_FALSE(AsGpsRmc("$GPRMC,12$3519,A"));
    EXPECT_FALSE(AsGpsRmc(""));
}

TEST(NmeaLogTest, ReadsTheTimeOfDay) {
    EXPECT_EQ(RmcTimeOfDay("$GPRMC,123519,A"), ((12 * 60 + 35) * 60 + 19) * 1000);
    EXPECT_EQ(RmcTimeOfDay("$GPRMC,123519.5,A"), ((12 * 60 + 35) * 60 + 19) * 1000 + 500);
    EXPECT_EQ(RmcTimeOfDay("$GPRMC,000000.047*00"), 47);
    EXPECT_EQ(RmcTimeOfDay("$GPRMC,235959.99,A"), 86399990);
    EXPECT_FALSE(RmcTimeOfDay("$GPRMC,,V"));
    EXPECT_FALSE(RmcTimeOfDay("$GPRMC,12351,A"));
    EXPECT_FALSE(RmcTimeOfDay("$GPRMC,126019,A"));
    EXPECT_FALSE(RmcTimeOfDay("$GPRMC,240000,A"));
    EXPECT_FALSE(RmcTimeOfDay("$GPRMC,123519x,A"));
    EXPECT_FALSE(RmcTimeOfDay("$GPRMC"));
}

TEST(NmeaLogTest, PlacesFixesFromTheFirstOneAcrossMidnightInTimeOrder) {
    const auto rmc = [](const std::string& time) {
        std::string body = "GPRMC,";
        body.append(time).append(",A,3733.9600,N,12658.6740,E,10.0,45.0,050324,,,A");
        return nmea::WithChecksum(body);
    };
    const std::string log = std::string("$GPGGA,235950,,,,,0,00,,,M,,M,,*00\n") + rmc("") + "\n" +
                            rmc("235950.0") + "\r\n" + rmc("235959.5") + "\n" + rmc("235958") +
                            "\n" + rmc("000002.25") + "\n" + rmc("000002.25") + "x\n" +
                            rmc("235955");
    const std::vector<TimedGpsLine> lines = GpsLinesFromLog(log);
    ASSERT_EQ(lines.size(), 5u);
    // A fix that came late in the log goes in its time's place; the others keep their order.
    const int64_t expected[] = {0, 5000, 8000, 9500, 12250};
    const char* times[] = {"235950.0", "235955", "235958", "235959.5", "000002.25"};
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].milliseconds, expected[i]) << i;
        EXPECT_EQ(lines[i].line, std::string("G") + rmc(times[i])) << i;
        // The viewer's reader takes the line.
        const CGPSData fix(lines[i].line, 0);
        EXPECT_TRUE(fix.Complete()) << lines[i].line;
    }
    EXPECT_TRUE(GpsLinesFromLog("").empty());
    EXPECT_TRUE(GpsLinesFromLog(rmc("") + "\n").empty());
}

TEST(NmeaLogTest, AMissingLogIsAnError) {
    std::vector<TimedGpsLine> lines;
    std::string error;
    EXPECT_FALSE(ReadGpsLog("/nonexistent/drive.nmea", lines, &error));
    EXPECT_NE(error.find("/nonexistent/drive.nmea"), std::string::npos) << error;
    EXPECT_FALSE(ReadGpsLog("/", lines, &error));
}

TEST(AccessUnitDelimiterTest, PutsOneInFrontOfAUnitWithout) {
    const Bytes unit = Join({kSps, kPps, kIdr});
    const Bytes out = Delimited(unit);
    EXPECT_EQ(out, Join({kAud, unit}));
    // Readers now find the unit whole and see its key frame.
    const auto units = SplitAccessUnits(out.data(), out.size());
    ASSERT_EQ(units.size(), 1u);
    EXPECT_EQ(units[0], out);
    EXPECT_TRUE(IsKeyFrame(out.data(), out.size()));
    EXPECT_EQ(Delimited(kSlice), Join({kAud, kSlice}));
}

TEST(AccessUnitDelimiterTest, KeepsAUnitThatStartsWithOne) {
    const Bytes unit = Join({kAud, kSlice});
    EXPECT_EQ(Delimited(unit), unit);
    const Bytes shortCode = Join({kOtherAud, kSps, kPps, kIdr});
    EXPECT_EQ(Delimited(shortCode), shortCode);
}

TEST(AccessUnitDelimiterTest, MovesADelimiterFromInsideToTheFront) {
    // A delimiter behind other units would split the picture in two for readers.
    const Bytes out = Delimited(Join({kSei, kOtherAud, kSlice}));
    EXPECT_EQ(out, Join({kAud, kSei, kSlice}));
    EXPECT_EQ(SplitAccessUnits(out.data(), out.size()).size(), 1u);
    EXPECT_EQ(Delimited(Bytes{}), kAud);
}

TEST(FrameRateTest, RoundsToWholeFramesAndRefusesUnusableRates) {
    EXPECT_EQ(WholeFrameRate(25, 1), 25);
    EXPECT_EQ(WholeFrameRate(30000, 1001), 30);
    EXPECT_EQ(WholeFrameRate(24000, 1001), 24);
    EXPECT_EQ(WholeFrameRate(1, 2), 1);
    EXPECT_EQ(WholeFrameRate(255, 1), 255);
    EXPECT_EQ(WholeFrameRate(1, 3), 0);
    EXPECT_EQ(WholeFrameRate(0, 1), 0);
    EXPECT_EQ(WholeFrameRate(25, 0), 0);
    EXPECT_EQ(WholeFrameRate(-25, 1), 0);
    EXPECT_EQ(WholeFrameRate(90000, 1), 0);
}
