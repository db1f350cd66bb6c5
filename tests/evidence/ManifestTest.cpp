// The manifest: every field written and read back as it was, through the file too; what is
// refused when read (with the field named) and what is let through; the times it holds.
#include "evidence/Manifest.h"
#include "evidence/IsoTime.h"
#include "tests/support/ScopedTimeZone.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kDigestA(64, 'a');
const std::string kDigestB = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";

evidence::Manifest Sample() {
    evidence::Manifest m;
    m.programName = "tatview";
    m.programVersion = "0.1.0";
    m.createdUtc = "2026-12-09T05:00:00Z";
    m.sources = {{"/media/카드/TATSTORE/EVENT_20240305_090702_D.TAT", 123456789012ull,
                  "2024-03-05T00:07:02Z", kDigestA},
                 {"relative \"quoted\"\\path.mp4", 0, "1970-01-01T00:00:00Z", kDigestB}};
    m.outputs = {{"incident.mp4", evidence::OutputKind::kClip, "", 4096, kDigestB},
                 {"incident.gpx", evidence::OutputKind::kGpx, "", 10, kDigestA},
                 {"incident.csv", evidence::OutputKind::kCsv, "", 11, kDigestA},
                 {"incident/front.mp4", evidence::OutputKind::kCamera, "front", 12, kDigestB}};
    m.start = {"EVENT_20240305_090702_D", 12500, "2024-03-05T09:07:14.500+09:00"};
    m.end = {"REC_20240305_090802_D", 3000, "2024-03-05T09:08:05.000+09:00"};
    m.cameraMinusGpsMs = -1250;
    m.layout = "side-by-side";
    m.overlay = {true, {"time", "speed", "position"}};
    m.encoder = {"h264", 20, "medium", false, true};
    return m;
}

// The sample's JSON with the first occurrence of `from` replaced by `to`.
std::string SampleWith(const std::string& from, const std::string& to) {
    std::string text = evidence::ManifestJson(Sample());
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST(ManifestTest, EveryFieldRoundTripsThroughTheFile) {
    TempDir dir;
    const evidence::Manifest sample = Sample();
    const std::string path = dir.File("incident.manifest.json");
    ASSERT_TRUE(evidence::WriteManifest(path, sample).Ok());
    const evidence::ManifestRead read = evidence::ReadManifest(path);
    ASSERT_TRUE(read.manifest.has_value()) << read.error;
    EXPECT_EQ(*read.manifest, sample);
    EXPECT_EQ(read.error, "");

    // The optional parts left out come back left out; writing again replaces the file.
    evidence::Manifest lossless = sample;
    lossless.cameraMinusGpsMs.reset();
    lossless.encoder = {"hevc", std::nullopt, "", true, false};
    lossless.overlay = {};
    lossless.sources.clear();
    ASSERT_TRUE(evidence::WriteManifest(path, lossless).Ok());
    const evidence::ManifestRead again = evidence::ReadManifest(path);
    ASSERT_TRUE(again.manifest.has_value()) << again.error;
    EXPECT_EQ(*again.manifest, lossless);
    const std::string text = ReadFileText(path);
    EXPECT_NE(text.find("\"camera_minus_gps_ms\": null"), std::string::npos) << text;
    EXPECT_NE(text.find("\"crf\": null"), std::string::npos) << text;
}

TEST(ManifestTest, TheTextIsReadableJsonInAFixedOrder) {
    const std::string text = evidence::ManifestJson(Sample());
    EXPECT_EQ(
        text.rfind("{\n  \"format\": \"tatview-clip-evidence\",\n  \"format_version\": 1,", 0), 0u)
        << text;
    EXPECT_LT(text.find("\"clip\""), text.find("\"sources\""));
    EXPECT_LT(text.find("\"sources\""), text.find("\"outputs\""));
    EXPECT_NE(text.find("\"/media/카드/TATSTORE/"), std::string::npos); // UTF-8 as it is
    EXPECT_NE(text.find("\"kind\": \"camera\",\n      \"camera\": \"front\""), std::string::npos);
    EXPECT_EQ(text.back(), '\n');
}

TEST(ManifestTest, DamagedTextIsRefusedWithTheFieldNamed) {
    const struct {
        std::string text;
        std::string error;
    } cases[] = {
        {"", "not JSON"},
        {"{\"format\": ", "not JSON"},
        {"[1, 2]", "not a JSON object"},
        {std::string(100, '[') + std::string(100, ']'), "nested deeper than a manifest"},
        {"{\"format_version\": 1}", "format: missing"},
        {SampleWith("tatview-clip-evidence", "something-else"),
         "format: not a clip evidence record"},
        {SampleWith("\"format_version\": 1", "\"format_version\": 2"),
         "format_version: 2, this program reads 1"},
        {SampleWith("\"size_bytes\": 123456789012", "\"size_bytes\": -1"),
         "sources[0].size_bytes: not a whole number from 0"},
        {SampleWith("\"size_bytes\": 4096", "\"size_bytes\": 4096.5"),
         "outputs[0].size_bytes: not a whole number from 0"},
        {SampleWith(kDigestB, "0123456789ABCDEF0123456789abcdef0123456789abcdef0123456789abcdef"),
         "sources[1].sha256: not 64 lower-case hex digits"},
        {SampleWith("\"incident.mp4\"", "\"../incident.mp4\""),
         "outputs[0].name: not a name relative to the manifest's folder"},
        {SampleWith("\"incident.gpx\"", "\"/etc/passwd\""),
         "outputs[1].name: not a name relative to the manifest's folder"},
        {SampleWith("\"kind\": \"csv\"", "\"kind\": \"film\""),
         "outputs[2].kind: unknown kind \"film\""},
        {SampleWith("\"offset_ms\": 12500", "\"offset_ms\": 9223372036854775808"),
         "clip.start.offset_ms: not a whole number"},
        {SampleWith("\"offset_ms\": 3000", "\"offset_ms\": \"3000\""),
         "clip.end.offset_ms: not a whole number"},
        {SampleWith("\"lossless\": false", "\"lossless\": 0"),
         "clip.encoder.lossless: not true or false"},
        {SampleWith("\"crf\": 20", "\"crf\": 1000"), "clip.encoder.crf: out of range"},
        {SampleWith("\"layout\": \"side-by-side\"", "\"layout\": \"a\\u0000b\""),
         "clip.layout: holds a NUL character"},
        {SampleWith("\"outputs\": [", "\"outputs\": 5, \"x\": ["), "outputs: not an array"},
        {SampleWith("\"time\"", "7"), "clip.overlay.fields[0]: not a string"},
    };
    for (const auto& c : cases) {
        const evidence::ManifestRead read = evidence::ParseManifest(c.text);
        EXPECT_FALSE(read.manifest.has_value()) << c.text;
        EXPECT_EQ(read.error, c.error) << c.text;
    }
}

TEST(ManifestTest, UnknownFieldsAndTheOffsetLeftOutAreAccepted) {
    std::string text = SampleWith("\"camera_minus_gps_ms\": -1250,", "\"later\": {\"x\": [1]},");
    const evidence::ManifestRead read = evidence::ParseManifest(text);
    ASSERT_TRUE(read.manifest.has_value()) << read.error;
    evidence::Manifest expected = Sample();
    expected.cameraMinusGpsMs.reset();
    EXPECT_EQ(*read.manifest, expected);
}

TEST(ManifestTest, FilesThatAreNoManifestAreTold) {
    TempDir dir;
    EXPECT_NE(evidence::ReadManifest(dir.File("none.json")).error, "");
    EXPECT_NE(evidence::ReadManifest(dir.Path().string()).error, "");
    WriteFileText(dir.File("big.json"), std::string(evidence::kMaxManifestBytes + 1, ' '));
    EXPECT_EQ(evidence::ReadManifest(dir.File("big.json")).error, "larger than a manifest can be");
}

TEST(ManifestTest, NamesBesideTheClip) {
    EXPECT_EQ(evidence::ManifestPathFor("/out/incident.mp4"), "/out/incident.manifest.json");
    EXPECT_EQ(evidence::ManifestPathFor("crash.2024.mp4"), "crash.2024.manifest.json");
    EXPECT_EQ(evidence::ManifestPathFor("/out.d/clip"), "/out.d/clip.manifest.json");

    EXPECT_TRUE(evidence::IsPlainRelativeName("a.mp4"));
    EXPECT_TRUE(evidence::IsPlainRelativeName("cameras/rear.mp4"));
    EXPECT_TRUE(evidence::IsPlainRelativeName("..a"));
    for (const char* refused : {"", "/a", "a//b", "a/", "./a", "a/../b", "..", "a/.."})
        EXPECT_FALSE(evidence::IsPlainRelativeName(refused)) << refused;
}

TEST(IsoTimeTest, UtcAndLocalTimesWithTheZonesOffset) {
    EXPECT_EQ(evidence::IsoUtcTime(0), "1970-01-01T00:00:00Z");
    EXPECT_EQ(evidence::IsoUtcTime(1709597222), "2024-03-05T00:07:02Z");
    {
        ScopedTimeZone zone("Asia/Seoul");
        EXPECT_EQ(evidence::IsoLocalWithOffset(1709597222250), "2024-03-05T09:07:02.250+09:00");
        EXPECT_EQ(evidence::IsoWallClock(CivilTime{2024, 3, 5, 9, 7, 2}, 72500),
                  "2024-03-05T09:08:14.500+09:00");
        EXPECT_EQ(evidence::IsoLocalWithOffset(-1), "1970-01-01T08:59:59.999+09:00");
    }
    {
        // A clip over the spring change: each end with the offset of its own moment.
        ScopedTimeZone zone("Europe/Berlin");
        const CivilTime start{2024, 3, 31, 1, 59, 0};
        EXPECT_EQ(evidence::IsoWallClock(start, 0), "2024-03-31T01:59:00.000+01:00");
        EXPECT_EQ(evidence::IsoWallClock(start, 120000), "2024-03-31T03:01:00.000+02:00");
    }
    {
        ScopedTimeZone zone("America/St_Johns"); // half an hour, west of UTC
        EXPECT_EQ(evidence::IsoLocalWithOffset(1709597222000), "2024-03-04T20:37:02.000-03:30");
    }
}

} // namespace
