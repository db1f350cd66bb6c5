// The report for people: what the manifest says, in English or in Korean, with every file's
// digest and the way to check them; written beside the clip.
#include "evidence/Report.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <string>

namespace {

evidence::Manifest Sample() {
    evidence::Manifest m;
    m.programName = "tatview";
    m.programVersion = "0.1.0";
    m.createdUtc = "2026-12-09T05:00:00Z";
    m.sources = {{"/media/card/EVENT_1.TAT", 1234, "2024-03-05T00:07:02Z", std::string(64, 'a')}};
    m.outputs = {
        {"incident.mp4", evidence::OutputKind::kClip, "", 4096, std::string(64, 'b')},
        {"incident/rear.mp4", evidence::OutputKind::kCamera, "rear", 12, std::string(64, 'c')}};
    m.start = {"EVENT_1", 3723004, "2024-03-05T10:09:05.004+09:00"};
    m.end = {"EVENT_1", 3725000, "2024-03-05T10:09:07.000+09:00"};
    m.cameraMinusGpsMs = -1250;
    m.layout = "side-by-side";
    m.overlay = {true, {"time", "speed"}};
    m.encoder = {"h264", 20, "medium", false, true};
    return m;
}

void ExpectHas(const std::string& text, const std::string& part) {
    EXPECT_NE(text.find(part), std::string::npos) << "no \"" << part << "\" in\n" << text;
}

TEST(ReportTest, EnglishSaysWhatTheManifestSays) {
    const std::string text = evidence::ReportText(Sample(), evidence::ReportLanguage::kEnglish,
                                                  "incident.manifest.json");
    ExpectHas(text, "Program: tatview 0.1.0\n");
    ExpectHas(text, "  Start: EVENT_1 +1:02:03.004 (2024-03-05T10:09:05.004+09:00)\n");
    ExpectHas(text, "  Camera clock minus GPS time: -1.250 s\n");
    ExpectHas(text, "  Overlay: on (time, speed)\n");
    ExpectHas(text, "  Encoding: h264, CRF 20, preset medium\n");
    ExpectHas(text, "  /media/card/EVENT_1.TAT\n    Size: 1234 bytes\n"
                    "    Modified (UTC): 2024-03-05T00:07:02Z\n    SHA-256: " +
                        std::string(64, 'a') + "\n");
    ExpectHas(text, "  incident/rear.mp4 (camera file, copied without loss: rear)\n");
    ExpectHas(text, "    SHA-256: " + std::string(64, 'c') + "\n");
    ExpectHas(text, "    tatcard verify incident.manifest.json\n");
    ExpectHas(text, "\n    Linux:   sha256sum FILE\n");
    // The sentences are broken into lines that fit 78 columns.
    size_t begin = 0;
    while (begin < text.size()) {
        const size_t end = text.find('\n', begin);
        EXPECT_LE(end - begin, 78u) << text.substr(begin, end - begin);
        begin = end + 1;
    }

    // A lossless copy without fixes says so, and no CRF.
    evidence::Manifest lossless = Sample();
    lossless.cameraMinusGpsMs.reset();
    lossless.encoder = {"hevc", std::nullopt, "", true, false};
    lossless.overlay = {false, {"time"}};
    const std::string plain =
        evidence::ReportText(lossless, evidence::ReportLanguage::kEnglish, "x.manifest.json");
    ExpectHas(plain, "Camera clock minus GPS time: not known (no GPS fixes)\n");
    ExpectHas(plain, "  Encoding: hevc, lossless copy of the recorded pictures\n  Sound: off\n");
    ExpectHas(plain, "  Overlay: off\n");
}

TEST(ReportTest, KoreanHasTheSameFactsInKorean) {
    const std::string korean =
        evidence::ReportText(Sample(), evidence::ReportLanguage::kKorean, "incident.manifest.json");
    ExpectHas(korean, "사고 영상: 증거 기록\n");
    ExpectHas(korean, "  카메라 시계 - GPS 시각: -1.250초\n");
    ExpectHas(korean, "    크기: 1234 바이트\n");
    ExpectHas(korean, "  인코딩: h264, CRF 20, 프리셋 medium\n");
    ExpectHas(korean, "    tatcard verify incident.manifest.json\n");
    ExpectHas(korean, "\n    Windows: certutil -hashfile 파일 SHA256\n");
    EXPECT_EQ(korean.find("Program"), std::string::npos);
    // The digests and names are the same in both.
    const std::string english = evidence::ReportText(Sample(), evidence::ReportLanguage::kEnglish,
                                                     "incident.manifest.json");
    for (const char* part : {"/media/card/EVENT_1.TAT", "2024-03-05T10:09:07.000+09:00"})
        ExpectHas(korean, part);
    EXPECT_NE(korean, english);
}

TEST(ReportTest, WrittenBesideTheClip) {
    TempDir dir;
    const std::string path = evidence::ReportPathFor(dir.File("incident.mp4"));
    EXPECT_EQ(path, dir.File("incident.report.txt"));
    ASSERT_TRUE(evidence::WriteReport(path, Sample(), evidence::ReportLanguage::kKorean,
                                      "incident.manifest.json")
                    .Ok());
    EXPECT_EQ(ReadFileText(path), evidence::ReportText(Sample(), evidence::ReportLanguage::kKorean,
                                                       "incident.manifest.json"));
    // Into a folder that is not there: the failure is told.
    EXPECT_FALSE(evidence::WriteReport(dir.File("none/x.report.txt"), Sample(),
                                       evidence::ReportLanguage::kEnglish, "x")
                     .Ok());
}

} // namespace
