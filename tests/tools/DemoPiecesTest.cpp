// The building blocks of the demonstration card: caption font, clock arithmetic, GPS
// sentences, sound and G-sensor lines, the recording plan and the camera's settings text.
#include "storage/CivilTime.h"
#include "telemetry/CGPSData.h"
#include "telemetry/NmeaChecksum.h"
#include "tools/tatcard/BitmapFont.h"
#include "tools/tatcard/DemoCard.h"
#include "tools/tatcard/DemoSignals.h"
#include "tools/tatcard/GpsTrack.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <regex>
#include <set>
#include <sstream>

namespace {

int CountInk(const std::vector<uint8_t>& pixels, uint8_t ink) {
    return static_cast<int>(std::count(pixels.begin(), pixels.end(), ink));
}

int BitsSet(const uint8_t* rows) {
    int n = 0;
    for (int r = 0; r < bitmapfont::kGlyphHeight; ++r)
        for (int b = 0; b < bitmapfont::kGlyphWidth; ++b)
            n += (rows[r] >> b) & 1;
    return n;
}

int16_t SampleAt(const std::vector<uint8_t>& block, size_t i) {
    return static_cast<int16_t>(static_cast<uint16_t>(block[2 * i] | block[2 * i + 1] << 8));
}

int Loudest(const std::vector<uint8_t>& block, size_t from, size_t to) {
    int peak = 0;
    for (size_t i = from; i < to; ++i)
        peak = std::max(peak, std::abs(static_cast<int>(SampleAt(block, i))));
    return peak;
}

} // namespace

TEST(BitmapFontTest, LowerCaseDrawsAsUpperCaseAndUnknownAsQuestionMark) {
    EXPECT_EQ(bitmapfont::Glyph('e'), bitmapfont::Glyph('E'));
    EXPECT_EQ(bitmapfont::Glyph('#'), bitmapfont::Glyph('?'));
    EXPECT_NE(bitmapfont::Glyph('0'), bitmapfont::Glyph('O'));
    EXPECT_EQ(BitsSet(bitmapfont::Glyph(' ')), 0);
}

TEST(BitmapFontTest, ScaledGlyphCoversEachStrokeWithAScaleSquare) {
    std::vector<uint8_t> pixels(40 * 30, 0);
    const PlaneView plane{pixels.data(), 40, 30, 40};
    bitmapfont::DrawText(plane, 1, 2, "7", 3, 200);
    EXPECT_EQ(CountInk(pixels, 200), BitsSet(bitmapfont::Glyph('7')) * 9);
    // The top bar of '7' is full: row 2..4, columns 1..15 are ink; column 16 is not.
    for (int x = 1; x < 16; ++x)
        EXPECT_EQ(plane.At(x, 2), 200) << x;
    EXPECT_EQ(plane.At(16, 2), 0);
    EXPECT_EQ(plane.At(1, 1), 0);
}

TEST(BitmapFontTest, TextWidthLeavesOneColumnBetweenCharacters) {
    EXPECT_EQ(bitmapfont::TextWidth("", 4), 0);
    EXPECT_EQ(bitmapfont::TextWidth("A", 1), 5);
    EXPECT_EQ(bitmapfont::TextWidth("AB", 3), 33);
    EXPECT_EQ(bitmapfont::TextHeight(4), 28);
}

TEST(BitmapFontTest, DrawingPastTheEdgesIsClipped) {
    std::vector<uint8_t> pixels(12 * 10 + 16, 0); // a guard area after the plane
    const PlaneView plane{pixels.data(), 12, 10, 12};
    bitmapfont::DrawText(plane, -3, -4, "MM", 2, 9);
    bitmapfont::DrawText(plane, 8, 7, "W", 2, 9);
    bitmapfont::FillRect(plane, 10, 8, 50, 50, 9);
    for (size_t i = 12 * 10; i < pixels.size(); ++i)
        EXPECT_EQ(pixels[i], 0) << i;
    EXPECT_GT(CountInk(pixels, 9), 0);
}

TEST(CivilTimeTest, KnownInstants) {
    EXPECT_EQ((CivilTime{1970, 1, 1, 0, 0, 0}).ToSeconds(), 0);
    EXPECT_EQ((CivilTime{2000, 1, 1, 0, 0, 0}).ToSeconds(), 946684800);
    EXPECT_EQ((CivilTime{2024, 3, 5, 9, 7, 2}).ToSeconds(), 1709629622);
}

TEST(CivilTimeTest, StepsBackOverMonthAndLeapDay) {
    const CivilTime t = CivilTime{2024, 3, 1, 8, 59, 59}.Plus(-9 * 3600);
    EXPECT_EQ(t.year, 2024);
    EXPECT_EQ(t.month, 2);
    EXPECT_EQ(t.day, 29);
    EXPECT_EQ(t.hour, 23);
    EXPECT_EQ(t.minute, 59);
    EXPECT_EQ(t.second, 59);
    const CivilTime n = CivilTime{2023, 12, 31, 23, 59, 59}.Plus(1);
    EXPECT_EQ(n.year, 2024);
    EXPECT_EQ(n.month, 1);
    EXPECT_EQ(n.day, 1);
    EXPECT_EQ(n.hour, 0);
}

TEST(NmeaTest, FixSentenceReadsBackThroughTheTelemetryParser) {
    GpsFix fix;
    fix.latitude = 37.5660;
    fix.longitude = 126.9779;
    fix.speedKmh = 37.04; // 20 knots
    fix.course = 45.0;
    const std::string sentence = RmcSentence(CivilTime{2024, 3, 5, 0, 7, 2}, 0, &fix);
    EXPECT_EQ(sentence.substr(0, sentence.size() - 2),
              "$GPRMC,000702.000,A,3733.9600,N,12658.6740,E,20.0,45.0,050324,,,A*");
    char sum[3];
    std::snprintf(sum, sizeof sum, "%02X", nmea::Checksum(sentence));
    EXPECT_EQ(sentence.substr(sentence.size() - 2), sum);

    const CGPSData parsed("G" + sentence, 0);
    EXPECT_TRUE(parsed.Complete());
    EXPECT_EQ(parsed.valid, 1);
    EXPECT_EQ(parsed.hour, 9); // shown in Korean time
    EXPECT_EQ(parsed.minute, 7);
    EXPECT_EQ(parsed.second, 2);
    EXPECT_EQ(parsed.day, 5);
    EXPECT_EQ(parsed.month, 3);
    EXPECT_EQ(parsed.year, 24);
    EXPECT_NEAR(parsed.LatitudeDegrees(), 37.5660, 1e-6);
    EXPECT_NEAR(parsed.LongitudeDegrees(), 126.9779, 1e-6);
    EXPECT_NEAR(parsed.GetSpeed(), 37.04, 0.01);
}

TEST(NmeaTest, MinutesNeverRoundUpToSixty) {
    GpsFix fix;
    fix.latitude = 37.999999999;
    fix.longitude = 8.5;
    const std::string sentence = RmcSentence(CivilTime{2024, 3, 5, 0, 0, 0}, 0, &fix);
    EXPECT_NE(sentence.find(",3800.0000,N,00830.0000,E,"), std::string::npos) << sentence;
}

TEST(NmeaTest, NoFixSentenceHasEmptyPositionFields) {
    const std::string sentence = RmcSentence(CivilTime{2024, 3, 4, 23, 59, 40}, 0, nullptr);
    EXPECT_EQ(sentence.substr(0, sentence.size() - 2), "$GPRMC,235940.000,V,,,,,,,040324,,,N*");
    const CGPSData parsed("G" + sentence, 0);
    EXPECT_EQ(parsed.valid, 0);
}

TEST(GpsTrackTest, RouteStartsAtCityHallAndStaysDowntown) {
    const CCityLoop loop;
    const GpsFix start = loop.At(0);
    EXPECT_NEAR(start.latitude, 37.5660, 1e-9);
    EXPECT_NEAR(start.longitude, 126.9779, 1e-9);
    EXPECT_GT(loop.Length(), 4000);
    EXPECT_LT(loop.Length(), 12000);
    // Heading north at first (up Sejong-daero), within 20 degrees.
    EXPECT_TRUE(start.course < 20 || start.course > 340) << start.course;
    for (double d = 0; d < loop.Length() * 2; d += 97) {
        const GpsFix p = loop.At(d);
        EXPECT_GT(p.latitude, 37.55);
        EXPECT_LT(p.latitude, 37.58);
        EXPECT_GT(p.longitude, 126.97);
        EXPECT_LT(p.longitude, 127.02);
        EXPECT_GE(p.course, 0);
        EXPECT_LT(p.course, 360);
    }
    // The loop closes: just before its end the car is back near City Hall.
    const GpsFix end = loop.At(loop.Length() - 1);
    EXPECT_NEAR(end.latitude, 37.5660, 1e-4);
    EXPECT_NEAR(end.longitude, 126.9779, 1e-4);
}

TEST(GpsTrackTest, SpeedsStayInRangeAndIncludeStops) {
    bool stopped = false;
    bool fast = false;
    for (uint32_t variant = 0; variant < 20; ++variant) {
        for (int s = 0; s < 120; ++s) {
            const double v = DriveSpeed(variant, s);
            EXPECT_GE(v, 0);
            EXPECT_LE(v, 80);
            stopped = stopped || v == 0;
            fast = fast || v > 60;
            EXPECT_LT(std::fabs(DriveSpeed(variant, s + 1) - v), 15) << "a jump in speed";
        }
    }
    EXPECT_TRUE(stopped);
    EXPECT_TRUE(fast);
}

TEST(DemoSignalsTest, GpsLineUsesUtcAndTheNoFixStretch) {
    RecordingPlan plan;
    plan.start = CivilTime{2024, 3, 5, 8, 59, 40};
    plan.seconds = 30;
    plan.noFixFrom = 12;
    plan.noFixTo = 18;
    const CDrive drive(plan);
    const std::string first = GpsLine(plan, drive, 0);
    EXPECT_EQ(first.rfind("G$GPRMC,235940.000,A,", 0), 0u) << first;
    EXPECT_NE(first.find(",040324,"), std::string::npos) << first;
    const std::string later = GpsLine(plan, drive, 25);
    EXPECT_EQ(later.rfind("G$GPRMC,000005.000,A,", 0), 0u) << later;
    EXPECT_NE(later.find(",050324,"), std::string::npos) << later;
    EXPECT_EQ(GpsLine(plan, drive, 11).find(",V,"), std::string::npos);
    EXPECT_NE(GpsLine(plan, drive, 12).find(",V,"), std::string::npos);
    EXPECT_NE(GpsLine(plan, drive, 17).find(",V,"), std::string::npos);
    EXPECT_EQ(GpsLine(plan, drive, 18).find(",V,"), std::string::npos);
}

TEST(DemoSignalsTest, CarMovesAtTheReportedSpeedAndStandsStillWhenParked) {
    RecordingPlan plan;
    plan.seconds = 20;
    plan.routeStart = 100;
    plan.variant = 3;
    const CDrive drive(plan);
    EXPECT_DOUBLE_EQ(drive.Distance(0), 100);
    for (int s = 0; s < 20; ++s)
        EXPECT_NEAR(drive.Distance(s + 1) - drive.Distance(s), drive.SpeedKmh(s) / 3.6, 1e-9);
    plan.parked = true;
    const CDrive parked(plan);
    EXPECT_DOUBLE_EQ(parked.Distance(15.5), 100);
    const CGPSData fix(GpsLine(plan, parked, 5), 0);
    EXPECT_EQ(fix.valid, 1);
    EXPECT_DOUBLE_EQ(fix.GetSpeed(), 0);
}

TEST(DemoSignalsTest, AudioBlockIsWrittenOnceTheFrameAfterItsEndIsWritten) {
    EXPECT_EQ(AudioBlocksDue(0, 30), 0);
    EXPECT_EQ(AudioBlocksDue(7, 30), 0);  // 233 ms
    EXPECT_EQ(AudioBlocksDue(8, 30), 1);  // 267 ms: block [0, 240) is done
    EXPECT_EQ(AudioBlocksDue(30, 30), 4); // 1000 ms: blocks up to 960 ms
    EXPECT_EQ(AudioBlocksDue(36, 30), 5); // 1200 ms exactly: [960, 1200) is done
    EXPECT_EQ(AudioBlocksDue(599, 30), 83);
}

TEST(DemoSignalsTest, SoundIsAQuietToneWithAClickEachSecond) {
    const std::vector<uint8_t> first = AudioBlock(0);
    ASSERT_EQ(first.size(), static_cast<size_t>(kAudioBlockBytes));
    EXPECT_GT(Loudest(first, 0, 40), 8000);           // the click at 0 s
    EXPECT_LT(Loudest(first, 200, 1920), 1000);       // then only the tone
    EXPECT_GT(Loudest(first, 200, 1920), 500);        // which is there
    const std::vector<uint8_t> fifth = AudioBlock(4); // samples 7680..9599: 1 s at 320
    EXPECT_LT(Loudest(fifth, 0, 320), 1000);
    EXPECT_GT(Loudest(fifth, 320, 360), 8000);
    EXPECT_EQ(AudioBlock(4), fifth);
}

TEST(DemoSignalsTest, SensorRestsNear128AndJoltsForThreeSamples) {
    RecordingPlan plan;
    plan.variant = 5;
    plan.shockSecond = 10;
    for (int sample = 0; sample < 200; ++sample) {
        const auto line = SensorLine(plan, sample);
        EXPECT_EQ(line[0], 'M');
        const bool jolt = sample >= 100 && sample < 103;
        for (int axis = 1; axis <= 3; ++axis) {
            const int value = 128 - line[static_cast<size_t>(axis)];
            if (jolt) {
                EXPECT_GT(std::abs(value), 40) << sample;
            } else {
                EXPECT_LE(std::abs(value), 3) << sample;
            }
        }
    }
}

TEST(DemoPlanTest, TwelveOrMoreRecordingsOverAllCategoriesWithValidNames) {
    const std::vector<RecordingPlan> plans = DemoPlans();
    ASSERT_GE(plans.size(), 12u);
    const std::regex grammar("(EVENT|REC|PARKING|MANUAL)_(\\d{8})_(\\d{6})_([DS])");
    std::set<std::string> categories;
    std::set<std::string> names;
    int twoChannel = 0;
    int frontOnly = 0;
    int cutOff = 0;
    for (const RecordingPlan& plan : plans) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(plan.name, m, grammar)) << plan.name;
        categories.insert(m[1]);
        EXPECT_TRUE(names.insert(plan.name).second) << "twice: " << plan.name;
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "%04d%02d%02d_%02d%02d%02d", plan.start.year,
                      plan.start.month, plan.start.day, plan.start.hour, plan.start.minute,
                      plan.start.second);
        EXPECT_EQ(m[2].str() + "_" + m[3].str(), stamp) << plan.name;
        EXPECT_EQ(m[4] == "D", plan.twoChannel) << plan.name;
        EXPECT_GE(plan.seconds, 20) << plan.name;
        EXPECT_LE(plan.seconds, 60) << plan.name;
        twoChannel += plan.twoChannel ? 1 : 0;
        frontOnly += plan.twoChannel ? 0 : 1;
        cutOff += plan.cutOff ? 1 : 0;
        if (plan.name.rfind("EVENT", 0) == 0) {
            EXPECT_GE(plan.shockSecond, 0) << plan.name;
        }
        EXPECT_LT(plan.shockSecond, plan.seconds) << plan.name;
    }
    EXPECT_EQ(categories.size(), 4u);
    EXPECT_GE(twoChannel, 3);
    EXPECT_GE(frontOnly, 3);
    EXPECT_EQ(cutOff, 1);
}

TEST(DemoPlanTest, ShortenedPlansKeepEveryEventInside) {
    for (const RecordingPlan& plan : DemoPlans(3)) {
        EXPECT_EQ(plan.seconds, 3) << plan.name;
        EXPECT_LT(plan.shockSecond, 3) << plan.name;
        EXPECT_LE(plan.noFixTo, 3) << plan.name;
    }
}

TEST(DemoConfigTest, ProfileTextWithEveryKeyAndCrLfLineEnds) {
    const std::string text = DemoConfigText();
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    std::map<std::string, std::map<std::string, std::string>> sections;
    std::string section;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        ASSERT_FALSE(line.empty());
        ASSERT_EQ(line.back(), '\r') << "a line without CR: " << line;
        line.pop_back();
        EXPECT_EQ(line.find('\r'), std::string::npos);
        if (line.front() == '[') {
            section = line.substr(1, line.size() - 2);
            continue;
        }
        const size_t eq = line.find('=');
        ASSERT_NE(eq, std::string::npos) << line;
        sections[section][line.substr(0, eq)] = line.substr(eq + 1);
    }
    const std::map<std::string, std::string> blackbox = {
        {"tat_update", "0"}, {"mic_volume", "3"},        {"voice_volume", "3"},
        {"acc_level", "3"},  {"motion_level", "3"},      {"mic_in", "1"},
        {"voice_out", "1"},  {"power_off_vlt", "12000"}, {"front_led", "1"},
        {"local_time", "9"}, {"model", "MV-700"},
    };
    for (const auto& [key, value] : blackbox)
        EXPECT_EQ(sections["blackbox"][key], value) << key;
    EXPECT_FALSE(sections["blackbox"]["version"].empty());
    EXPECT_LE(sections["blackbox"]["version"].size(), 9u);
    const std::map<std::string, std::string> time = {{"set", "0"}, {"year", "2024"}, {"month", "3"},
                                                     {"day", "5"}, {"hour", "9"},    {"min", "0"},
                                                     {"sec", "0"}};
    EXPECT_EQ(sections["time"], time);
    EXPECT_EQ(sections.size(), 2u);
}
