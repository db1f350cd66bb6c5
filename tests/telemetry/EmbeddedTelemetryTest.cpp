#include "telemetry/EmbeddedTelemetry.h"
#include "telemetry/BlackVueTelemetry.h"
#include "telemetry/FixMaker.h"
#include "telemetry/GpmfReader.h"
#include "telemetry/MemoryByteSource.h"
#include "telemetry/NmeaText.h"
#include "telemetry/NovatekGps.h"
#include "telemetry/RecordingTelemetry.h"
#include "telemetry/TeslaEvent.h"
#include "telemetry/ThinkwareCue.h"
#include "tests/support/TelemetryTestFiles.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using namespace telemetryfiles;

namespace {

TelemetryTrack ReadBytes(const Bytes& bytes, TelemetryFormat expected) {
    MemoryByteSource source(bytes.data(), bytes.size());
    TelemetryFormat format = TelemetryFormat::kNone;
    TelemetryTrack track = EmbeddedTelemetry::Read(source, &format);
    EXPECT_EQ(format, expected) << TelemetryFormatName(format);
    return track;
}

// "$GPRMC,...*hh" with its checksum.
std::string Sentence(const std::string& body) {
    unsigned sum = 0;
    for (const char c : body)
        sum ^= static_cast<unsigned char>(c);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X", sum);
    return "$" + body + tail;
}

Bytes Accel(uint32_t timeMs, int16_t x, int16_t y, int16_t z) {
    Bytes out;
    PutU32BE(out, timeMs);
    for (const int16_t v : {x, y, z})
        PutU16BE(out, static_cast<uint16_t>(v));
    return out;
}

} // namespace

TEST(NmeaTextTest, RmcOfEveryTalkerWithItsChecksum) {
    CGPSData fix;
    for (const char* talker : {"GP", "GN", "GL", "GA", "BD"}) {
        const std::string body =
            std::string(talker) + "RMC,053740.000,A,3731.1234,S,12658.6758,W,10.0,,060612,,,A";
        EXPECT_TRUE(ParseRmcSentence(Sentence(body), fix)) << talker;
        EXPECT_NEAR(fix.LatitudeDegrees(), -(37 + 31.1234 / 60), 1e-9);
        EXPECT_NEAR(fix.LongitudeDegrees(), -(126 + 58.6758 / 60), 1e-9);
        EXPECT_NEAR(fix.GetSpeed(), 18.52, 1e-4);
        // An empty course keeps the date in its own field.
        EXPECT_EQ(fix.course, 0);
        EXPECT_EQ(fix.day, 6);
        EXPECT_EQ(fix.month, 6);
        EXPECT_EQ(fix.year, 12);
        EXPECT_EQ(fix.hour, 5 + 9);                // the card's convention: UTC + 9
        EXPECT_EQ(FixUtcSeconds(fix), 1338961060); // 2012-06-06T05:37:40Z
    }
    EXPECT_FALSE(ParseRmcSentence("$GPRMC,053740,A,3731.1,N,12658.6,E,1,2,060612*00", fix));
    EXPECT_FALSE(ParseRmcSentence(Sentence("XXRMC,053740,A,3731.1,N,12658.6,E,1,2,060612"), fix));
    EXPECT_FALSE(ParseRmcSentence(Sentence("GPGGA,053740,3731.1,N,12658.6,E,1,08,0.9"), fix));
    EXPECT_FALSE(ParseRmcSentence(Sentence("GPRMC,053740,A,37x1.1,N,12658.6,E,1,2,060612"), fix));
    EXPECT_FALSE(ParseRmcSentence(Sentence("GPRMC,053740,A,3731.1,N"), fix));
    // Without '$' and checksum, as some cameras write it.
    EXPECT_TRUE(ParseRmcSentence("GNRMC,000001,V,,,,,,,010124,,,N", fix));
    EXPECT_EQ(fix.valid, 0);
}

TEST(NmeaTextTest, StampedLinesTakeTheirTimeFromTheFirstStamp) {
    const std::string text =
        "[1000500]" + Sentence("GPRMC,120000,A,3731.0000,N,12658.0000,E,0,0,010124,,") +
        "\r\n[1000600]" + Sentence("GPGGA,120000,3731.0,N,12658.0,E,1,08,0.9,10,M,,M,,") +
        "\n[1001500]" + Sentence("GNRMC,120001,A,3731.0100,N,12658.0000,E,0,0,010124,,") +
        "\n[bad]" + Sentence("GNRMC,120002,A,3731.0200,N,12658.0000,E,0,0,010124,,") + "\n" +
        Sentence("GNRMC,120002,A,3731.0200,N,12658.0000,E,0,0,010124,,") + "\n" +
        std::string(1, '\0') + "[1002500]" +
        Sentence("GPRMC,120003,A,3731.0300,N,12658.0000,E,0,0,010124,,");
    const std::vector<TimedFix> fixes = TimedFixesFromNmea(text);
    ASSERT_EQ(fixes.size(), 3u); // GGA ignored; nothing after the zero byte
    EXPECT_EQ(fixes[0].timeMs, 0);
    EXPECT_EQ(fixes[1].timeMs, 1000);
    EXPECT_EQ(fixes[2].timeMs, 0); // unstamped: by its UTC time from the first unstamped fix
    // With the recording's start on the stamps' clock.
    EXPECT_EQ(TimedFixesFromNmea(text, 1000000)[1].timeMs, 1500);
}

TEST(NmeaTextTest, StampsOfMoreThanEighteenDigitsAreNotRead) {
    const std::string rmc = Sentence("GPRMC,120000,A,3731.0000,N,12658.0000,E,0,0,010124,,");
    const std::vector<StampedFix> lines =
        ReadNmeaLines("[999999999999999999]" + rmc + "\n[9999999999999999999]" + rmc + "\n");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].stampMs, 999999999999999999);
}

TEST(BlackVueTest, FreeBoxWithGpsAndSensorRecords) {
    const std::string gps =
        "[1700000000000]" +
        Sentence("GPRMC,083000.00,A,3731.1234,N,12658.6758,E,30.0,90.0,150324,,") +
        "\n[1700000001000]" +
        Sentence("GPRMC,083001.00,A,3731.1300,N,12658.6900,E,31.0,91.0,150324,,") + "\n";
    Bytes gpsPayload(gps.begin(), gps.end());
    gpsPayload.push_back(0);
    // At rest the vertical axis reads one g.
    const Bytes sensor = Join({Accel(0, 0, 0, 128), Accel(100, -64, 32, 130),
                               Accel(0xFFFFFFFF, 0, 0, 0), Accel(200, 1, 1, 1)});
    const Bytes file = Join({Box("ftyp", Bytes(8, 0)),
                             Box("free", Join({Box("gps ", gpsPayload), Box("3gf ", sensor)})),
                             Box("mdat", Bytes(64, 0)), Box("moov", {})});
    const TelemetryTrack track = ReadBytes(file, TelemetryFormat::kBlackVue);
    ASSERT_EQ(track.fixes.size(), 2u);
    EXPECT_EQ(track.fixes[1].timeMs, 1000);
    EXPECT_NEAR(track.fixes[1].fix.LatitudeDegrees(), 37 + 31.13 / 60, 1e-9);
    EXPECT_NEAR(track.fixes[1].fix.GetSpeed(), 31.0 * 1.852, 1e-4);
    ASSERT_EQ(track.accelerations.size(), 2u); // the end record stops the list
    EXPECT_DOUBLE_EQ(track.accelerations[0].z, 1.0);
    EXPECT_EQ(track.accelerations[1].timeMs, 100);
    EXPECT_DOUBLE_EQ(track.accelerations[1].x, -0.5);
    EXPECT_DOUBLE_EQ(track.accelerations[1].y, 0.25);

    // The side files: a record cut short is left out.
    TempDir dir;
    Bytes side = Join({Accel(50, 0, 0, 127), Accel(0, 0, 0, 128), Accel(60, 0, 0, 1)});
    side.resize(side.size() - 3);
    WriteFileBytes(dir.File("a.3gf"), side);
    WriteFileText(dir.File("a.gps"), gps);
    const TelemetryTrack sideTrack =
        blackvue::ReadSideFiles(dir.File("a.gps"), dir.File("a.3gf"), 1699999999000);
    ASSERT_EQ(sideTrack.accelerations.size(), 2u);
    EXPECT_EQ(sideTrack.accelerations[0].timeMs, 0); // in time order
    ASSERT_EQ(sideTrack.fixes.size(), 2u);
    EXPECT_EQ(sideTrack.fixes[0].timeMs, 1000);
    EXPECT_TRUE(blackvue::ReadSideFiles("", dir.File("missing.3gf")).Empty());
}

TEST(NovatekTest, IndexedBlocksOfBothLayouts) {
    GpsRecord first{8, 30, 0, 24, 3, 15, 'A', 'N', 'E', 3731.1234f, 12658.6758f, 20.0f, 45.5f};
    GpsRecord second = first;
    second.second = 1;
    second.ns = 'S';
    second.ew = 'W';
    GpsRecord lost = first;
    lost.status = 'V';
    const Bytes blocks = Join({Block(first, false), Block(second, true), Block(lost, false)});
    const Bytes ftyp = Box("ftyp", Bytes(8, 0));
    const uint32_t mdatData = static_cast<uint32_t>(ftyp.size() + 8);
    Bytes index;
    PutU32BE(index, 1);
    PutU32BE(index, 4);
    for (uint32_t i = 0; i < 3; ++i) {
        PutU32BE(index, mdatData + i * 0x100);
        PutU32BE(index, 0x100);
    }
    PutU32BE(index, 0xFFFFFF00); // outside the file: skipped
    PutU32BE(index, 0x100);
    const Bytes file = Join({ftyp, Box("mdat", blocks), Box("moov", Box("gps ", index))});
    const TelemetryTrack track = ReadBytes(file, TelemetryFormat::kNovatek);
    ASSERT_EQ(track.fixes.size(), 3u);
    const CGPSData& a = track.fixes[0].fix;
    EXPECT_EQ(a.valid, 1);
    EXPECT_NEAR(a.LatitudeDegrees(), 37 + 31.1234 / 60, 2e-6);
    EXPECT_NEAR(a.LongitudeDegrees(), 126 + 58.6758 / 60, 2e-6);
    EXPECT_NEAR(a.GetSpeed(), 37.04, 1e-4);
    EXPECT_NEAR(a.course, 45.5, 1e-6);
    EXPECT_EQ(FixUtcSeconds(a), 1710491400); // 2024-03-15T08:30:00Z
    EXPECT_EQ(track.fixes[1].timeMs, 1000);
    EXPECT_LT(track.fixes[1].fix.LatitudeDegrees(), 0);
    EXPECT_LT(track.fixes[1].fix.LongitudeDegrees(), 0);
    EXPECT_EQ(track.fixes[2].fix.valid, 0);

    // A file cut off before its movie box is scanned for the blocks.
    Bytes cut = Join({ftyp, Box("mdat", Join({Bytes(13, 0), blocks}))});
    cut.resize(cut.size() - 0xE0); // the last block's record is lost
    const TelemetryTrack scanned = ReadBytes(cut, TelemetryFormat::kNovatek);
    ASSERT_EQ(scanned.fixes.size(), 2u);
    EXPECT_EQ(scanned.fixes[1].timeMs, 1000);
    EXPECT_EQ(scanned.fixes[1].fix.second, 1);
}

TEST(NovatekTest, ScanFindsBlocksAcrossItsReadStepsAndAtTheFileEnd) {
    GpsRecord record{8, 30, 0, 24, 3, 15, 'A', 'N', 'E', 3731.0f, 12658.0f, 0, 0};
    // One block across the 1 MiB boundary of the scan's reads, one in the file's last bytes.
    Bytes file(0x100000 - 20, 0);
    const Bytes straddling = Block(record, true);
    file.insert(file.end(), straddling.begin(), straddling.end());
    file.resize(0x100000 + 0x300, 0);
    record.second = 1;
    const Bytes last = Block(record, false, 0x3C);
    file.insert(file.end(), last.begin(), last.end());
    MemoryByteSource source(file.data(), file.size());
    TelemetryTrack track;
    novatek::ScanBlocks(source, file.size(), track);
    ASSERT_EQ(track.fixes.size(), 2u);
    EXPECT_EQ(track.fixes[1].fix.second, 1);
}

TEST(NovatekTest, TransportStreamRecordsOnAnUnlistedPid) {
    GpsRecord record{23, 59, 59, 23, 12, 31, 'A', 'N', 'E', 5130.0000f, 0007.5000f, 10.0f, 0};
    const Bytes body = Record(record);
    const Bytes file =
        Join({TsPacket(0, true, PatPayload(0x1000)), TsPacket(0x1000, true, PmtPayload({0x100})),
              TsPacket(0x100, true, Pes(0xE0, Bytes(100, 0))),
              TsPacket(0x100, true, Pes(0xBF, body)), // listed: not GPS
              TsPacket(0x300, true, Pes(0xBF, body)),
              TsPacket(0x301, true, Pes(0xE0, body)), // not private_stream_2
              TsPacket(0x300, true, Pes(0xBF, Record(record)))});
    const TelemetryTrack track = ReadBytes(file, TelemetryFormat::kNovatekTs);
    ASSERT_EQ(track.fixes.size(), 2u);
    EXPECT_NEAR(track.fixes[0].fix.LatitudeDegrees(), 51.5, 1e-6);
    EXPECT_NEAR(track.fixes[0].fix.LongitudeDegrees(), 0.125, 1e-6);
    EXPECT_EQ(FixUtcSeconds(track.fixes[0].fix), 1704067199); // 2023-12-31T23:59:59Z
    EXPECT_EQ(track.fixes[1].timeMs, 1000);
}

TEST(GpmfTest, GpsAndAccelerometerStreamsOfADataTrack) {
    auto i32 = [](std::initializer_list<int32_t> values) {
        Bytes out;
        for (const int32_t v : values)
            PutU32BE(out, static_cast<uint32_t>(v));
        return out;
    };
    auto i16 = [](std::initializer_list<int16_t> values) {
        Bytes out;
        for (const int16_t v : values)
            PutU16BE(out, static_cast<uint16_t>(v));
        return out;
    };
    auto payload = [&](int32_t latitude) {
        const Bytes gpsStream = Join(
            {Klv("STNM", 'c', 1, 4, Bytes{'G', 'P', 'S', '5'}), Klv("GPSF", 'L', 4, 1, i32({3})),
             Klv("GPSU", 'U', 16, 1,
                 Bytes{'2', '4', '0', '3', '1', '5', '0', '8', '3', '0', '0', '0', '.', '0', '0',
                       '0'}),
             Klv("SCAL", 'l', 4, 5, i32({10000000, 10000000, 1000, 1000, 100})),
             Klv("GPS5", 'l', 20, 2,
                 i32({latitude, 1269779300, 35000, 10000, 1000, latitude + 10, 1269779300, 35000,
                      10000, 1000}))});
        const Bytes acclStream = Join(
            {Klv("SCAL", 's', 2, 1, i16({418})),
             Klv("ACCL", 's', 6, 4, i16({0, 0, 4101, 0, 0, 4101, 2050, -2050, 4101, 0, 0, 4101}))});
        const Bytes streams =
            Join({Klv("STRM", 0, 1, static_cast<uint16_t>(gpsStream.size()), gpsStream),
                  Klv("STRM", 0, 1, static_cast<uint16_t>(acclStream.size()), acclStream)});
        return Klv("DEVC", 0, 1, static_cast<uint16_t>(streams.size()), streams);
    };
    const Bytes file =
        Mp4WithTrack("meta", "gpmd", 1000, {payload(375660480), payload(375660500)}, 1001);
    const TelemetryTrack track = ReadBytes(file, TelemetryFormat::kGpmf);
    ASSERT_EQ(track.fixes.size(), 4u);
    EXPECT_EQ(track.fixes[1].timeMs, 500); // two samples spread over 1001 ms
    EXPECT_EQ(track.fixes[2].timeMs, 1001);
    EXPECT_NEAR(track.fixes[0].fix.LatitudeDegrees(), 37.5660480, 1e-9);
    EXPECT_NEAR(track.fixes[1].fix.LatitudeDegrees(), 37.5660490, 1e-9);
    EXPECT_NEAR(track.fixes[0].fix.LongitudeDegrees(), 126.97793, 1e-9);
    EXPECT_NEAR(track.fixes[0].fix.GetSpeed(), 36.0, 1e-4); // 10 m/s
    EXPECT_EQ(track.fixes[0].fix.valid, 1);
    EXPECT_EQ(FixUtcSeconds(track.fixes[0].fix), 1710491400);
    ASSERT_EQ(track.accelerations.size(), 8u);
    EXPECT_EQ(track.accelerations[2].timeMs, 500);
    EXPECT_NEAR(track.accelerations[0].z, 4101.0 / 418 / 9.80665, 1e-12); // about 1 g
    EXPECT_NEAR(track.accelerations[2].x, 2050.0 / 418 / 9.80665, 1e-12);
    EXPECT_NEAR(track.accelerations[2].y, -2050.0 / 418 / 9.80665, 1e-12);
}

TEST(GpmfTest, ItemsThatDoNotFitAreNotRead) {
    GpmfReader reader;
    TelemetryTrack track;
    Bytes item = Klv("STRM", 0, 1, 64, Klv("GPS5", 'l', 20, 10, Bytes(200, 0)));
    item.resize(item.size() - 8);
    reader.ReadPayload(item.data(), item.size(), 0, 1000, track);
    const Bytes odd = Klv("STRM", 0, 1, 12, Klv("ACCL", 's', 5, 1, Bytes(5, 0)));
    reader.ReadPayload(odd.data(), odd.size(), 0, 1000, track);
    EXPECT_TRUE(track.Empty());
}

TEST(ThinkwareTest, CuesOfTheSubtitleTrack) {
    auto cue = [](const std::string& text) {
        Bytes out;
        PutU16BE(out, static_cast<uint32_t>(text.size()));
        PutText(out, text);
        return out;
    };
    const Bytes file = Mp4WithTrack(
        "sbtl", "tx3g", 1000,
        {cue("gsensori,4,512,0,-51,512;GNRMC,083000.00,A,3731.1234,N,12658.6758,E,5.0,0.0,150324,,"
             ",A;CAR,0,0,0"),
         cue("gsensori,4,512,256,0,512;CAR,0,0,0"), cue("no telemetry here")},
        1000);
    const TelemetryTrack track = ReadBytes(file, TelemetryFormat::kThinkware);
    ASSERT_EQ(track.fixes.size(), 1u);
    EXPECT_NEAR(track.fixes[0].fix.LatitudeDegrees(), 37 + 31.1234 / 60, 1e-9);
    EXPECT_NEAR(track.fixes[0].fix.GetSpeed(), 9.26, 1e-4);
    ASSERT_EQ(track.accelerations.size(), 2u);
    EXPECT_NEAR(track.accelerations[0].y, -51.0 / 512, 1e-12);
    EXPECT_DOUBLE_EQ(track.accelerations[0].z, 1.0);
    EXPECT_EQ(track.accelerations[1].timeMs, 1000);
    EXPECT_DOUBLE_EQ(track.accelerations[1].x, 0.5);
}

TEST(EmbeddedTelemetryTest, FilesWithoutTelemetryOrDamagedOnes) {
    // A plain video track, text that is not an MP4, an empty file, a box larger than the file.
    const Bytes video = Mp4WithTrack("vide", "avc1", 90000, {Bytes(10, 1), Bytes(10, 2)}, 3000);
    ReadBytes(video, TelemetryFormat::kNone);
    const std::string text = "just some text, not a video";
    ReadBytes(Bytes(text.begin(), text.end()), TelemetryFormat::kNone);
    ReadBytes({}, TelemetryFormat::kNone);
    Bytes huge = Box("ftyp", Bytes(8, 0));
    PutU32BE(huge, 0x7FFFFFFF);
    PutText(huge, "moov");
    EXPECT_TRUE(ReadBytes(huge, TelemetryFormat::kNone).Empty());

    // Read from a file by its path.
    TempDir dir;
    const std::string path = dir.File("clip.mp4");
    GpsRecord record{8, 30, 0, 24, 3, 15, 'A', 'N', 'E', 3731.0f, 12658.0f, 0, 0};
    WriteFileBytes(path, Join({Box("ftyp", Bytes(8, 0)), Box("mdat", Block(record, false))}));
    TelemetryFormat format = TelemetryFormat::kNone;
    EXPECT_EQ(EmbeddedTelemetry::Read(path, &format).fixes.size(), 1u);
    EXPECT_EQ(format, TelemetryFormat::kNovatek);
    EXPECT_TRUE(EmbeddedTelemetry::Read(dir.File("missing.mp4"), &format).Empty());
}

TEST(TeslaEventTest, PositionOfTheEventFile) {
    const std::optional<TimedFix> fix = teslaevent::ReadEventJson(
        R"({"timestamp":"2024-03-05T09:07:02","city":"Seoul","est_lat":"37.5665","est_lon" : 126.978,)"
        R"("reason":"sentry_aware_object_detection","camera":"0"})");
    ASSERT_TRUE(fix.has_value());
    EXPECT_EQ(fix->fix.valid, 1);
    EXPECT_NEAR(fix->fix.LatitudeDegrees(), 37.5665, 1e-9);
    EXPECT_NEAR(fix->fix.LongitudeDegrees(), 126.978, 1e-9);
    EXPECT_FALSE(FixUtcSeconds(fix->fix).has_value()); // local time stamp: no date taken
    EXPECT_FALSE(teslaevent::ReadEventJson(R"({"est_lat":"","est_lon":"1"})").has_value());
    EXPECT_FALSE(teslaevent::ReadEventJson(R"({"est_lat":91,"est_lon":1})").has_value());
    EXPECT_FALSE(teslaevent::ReadEventJson(R"({"est_lat":1})").has_value());
}

TEST(RecordingTelemetryTest, SideFilesFirstThenTheFirstVideoThatHoldsAny) {
    const std::string gps =
        "[1700000000000]" +
        Sentence("GPRMC,083000.00,A,3731.1234,N,12658.6758,E,30.0,90.0,150324,,");
    Bytes gpsPayload(gps.begin(), gps.end());
    gpsPayload.push_back(0);
    const Bytes embedded =
        Join({Box("ftyp", Bytes(8, 0)),
              Box("free", Join({Box("gps ", gpsPayload), Box("3gf ", Accel(40, 0, 0, 128))})),
              Box("mdat", Bytes(64, 0)), Box("moov", {})});
    TempDir dir;
    WriteFileBytes(dir.File("20240315_173000_NF.mp4"), Bytes(64, 0)); // no telemetry
    WriteFileBytes(dir.File("20240315_173000_NR.mp4"), embedded);
    TelemetryTrack track = RecordingTelemetry::Load(
        {dir.File("20240315_173000_NF.mp4"), dir.File("20240315_173000_NR.mp4")});
    ASSERT_EQ(track.fixes.size(), 1u);
    ASSERT_EQ(track.accelerations.size(), 1u);
    EXPECT_EQ(track.accelerations[0].timeMs, 40);

    // A binary G-sensor side file outranks the video's samples; its fixes still count.
    WriteFileBytes(dir.File("20240315_173000_N.3gf"),
                   Join({Accel(0, 0, 0, 128), Accel(100, 0, 0, 128)}));
    track = RecordingTelemetry::Load(
        {dir.File("20240315_173000_NR.mp4"), dir.File("20240315_173000_N.3gf")});
    EXPECT_EQ(track.fixes.size(), 1u);
    ASSERT_EQ(track.accelerations.size(), 2u);
    EXPECT_DOUBLE_EQ(track.accelerations[1].z, 1.0);
}
