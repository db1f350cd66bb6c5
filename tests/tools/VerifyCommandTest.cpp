// tatcard verify as a user runs it on an export: every file as written, a flipped byte in the
// clip, a deleted output, a source card taken away, and manifests it cannot read.
#include "TatcardProgram.h"
#include "evidence/Manifest.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace {

// An export folder holding a clip, its route and their manifest, made from one source file
// in a card folder beside it.
class VerifyCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(m_dir.Path() / "export");
        std::filesystem::create_directories(m_dir.Path() / "card");
        WriteFileText(m_source, std::string(70000, 's'));
        WriteFileText(Output("incident.mp4"), std::string(20000, 'c'));
        WriteFileText(Output("incident.gpx"), "<gpx/>\n");

        evidence::Manifest manifest;
        manifest.programName = "tatview";
        manifest.programVersion = "0.1.0";
        manifest.start = {"EVENT_20240305_090702_D", 1000, "2024-03-05T09:07:03.000+09:00"};
        manifest.end = {"EVENT_20240305_090702_D", 9000, "2024-03-05T09:07:11.000+09:00"};
        manifest.encoder = {"h264", 23, "veryfast", false, true};
        evidence::FileDigest digest;
        ASSERT_TRUE(evidence::DigestFile(m_source, digest).Ok());
        manifest.sources.push_back(evidence::MakeSourceFile(m_source, digest));
        for (const auto& [name, kind] : {std::pair{"incident.mp4", evidence::OutputKind::kClip},
                                         std::pair{"incident.gpx", evidence::OutputKind::kGpx}}) {
            ASSERT_TRUE(evidence::DigestFile(Output(name), digest).Ok());
            manifest.outputs.push_back(evidence::MakeOutputFile(name, kind, digest));
        }
        ASSERT_TRUE(evidence::WriteManifest(m_manifest, manifest).Ok());
    }

    std::string Output(const std::string& name) const { return m_dir.File("export/" + name); }
    TatcardRun Verify(const std::string& manifest) {
        return RunTatcard("verify " + Quoted(manifest), m_scratch);
    }

    TempDir m_scratch;
    TempDir m_dir;
    std::string m_source = m_dir.File("card/EVENT_20240305_090702_D.TAT");
    std::string m_manifest = m_dir.File("export/incident.manifest.json");
};

TEST_F(VerifyCommandTest, AnExportAsWrittenPasses) {
    const TatcardRun r = Verify(m_manifest);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "ok         output incident.mp4\n"
                     "ok         output incident.gpx\n"
                     "ok         source " +
                         m_source +
                         "\n"
                         "outputs: 2 ok, 0 differ, 0 missing; sources: 1 ok, 0 differ, 0 "
                         "missing: the export is as it was written\n");
    EXPECT_EQ(r.err, "");

    // From inside the folder, by the manifest's bare name.
    std::string out;
    EXPECT_EQ(RunCommand("cd " + Quoted(m_dir.File("export")) + " && " + Quoted(TatcardPath()) +
                             " verify incident.manifest.json",
                         &out),
              0)
        << out;
}

TEST_F(VerifyCommandTest, AFlippedByteOrADeletedOutputFails) {
    std::vector<uint8_t> clip = ReadFileBytes(Output("incident.mp4"));
    clip[10000] ^= 0x80;
    WriteFileBytes(Output("incident.mp4"), clip);
    TatcardRun r = Verify(m_manifest);
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_EQ(r.out.rfind("DIFFERS    output incident.mp4  (SHA-256 ", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("\nok         output incident.gpx\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("the export is NOT as it was written\n"), std::string::npos) << r.out;

    WriteFileBytes(Output("incident.mp4"), {});
    std::filesystem::remove(Output("incident.gpx"));
    r = Verify(m_manifest);
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_EQ(r.out.rfind("DIFFERS    output incident.mp4  (0 bytes, the manifest says 20000)\n"
                          "missing    output incident.gpx\n",
                          0),
              0u)
        << r.out;
    EXPECT_NE(r.out.find("outputs: 0 ok, 1 differ, 1 missing;"), std::string::npos) << r.out;
}

TEST_F(VerifyCommandTest, AMissingSourceIsToldButPasses) {
    std::filesystem::remove_all(m_dir.Path() / "card");
    TatcardRun r = Verify(m_manifest);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("missing    source " + m_source + "\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("sources: 0 ok, 0 differ, 1 missing: the export is as it was written"),
              std::string::npos)
        << r.out;

    // A source that is there and changed fails.
    std::filesystem::create_directories(m_dir.Path() / "card");
    WriteFileText(m_source, std::string(70000, 't'));
    r = Verify(m_manifest);
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("DIFFERS    source " + m_source), std::string::npos) << r.out;
}

TEST_F(VerifyCommandTest, ManifestsItCannotReadAndBadLinesExitWith2) {
    // Damaged: cut in half, garbage, a digest changed to upper case, no file at all.
    const std::string text = ReadFileText(m_manifest);
    const std::string damaged = m_dir.File("export/damaged.manifest.json");
    std::string upper = text;
    const size_t digest = upper.find("\"sha256\": \"") + 11;
    for (size_t i = digest; i < digest + 64; ++i)
        upper[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(upper[i])));
    for (const std::string& bytes :
         {text.substr(0, text.size() / 2), std::string("\x89PNG\r\n\x1a\n\0\0\xff", 11), upper}) {
        WriteFileText(damaged, bytes);
        const TatcardRun r = Verify(damaged);
        EXPECT_EQ(r.status, 2) << r.out << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("tatcard: cannot read the manifest " + damaged + ": ", 0), 0u)
            << r.err;
    }
    EXPECT_EQ(Verify(m_dir.File("none.manifest.json")).status, 2);
    EXPECT_EQ(RunTatcard("verify", m_scratch).status, 2);
    EXPECT_EQ(RunTatcard("verify " + Quoted(m_manifest) + " extra", m_scratch).status, 2);
}

} // namespace
