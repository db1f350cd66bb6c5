// Checking an export against its manifest: everything as written, a changed byte and a cut-off
// output, and sources that are changed, gone, unreadable or found from the manifest's folder.
// (A deleted output is run through tatcard verify in tests/tools.)
#include "evidence/Verify.h"
#include "evidence/Manifest.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

// An export in a folder of its own: a clip and its route, made from two sources in another
// folder (one named by its absolute path, one relative to the manifest's folder).
class VerifyTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(m_dir.Path() / "export");
        std::filesystem::create_directories(m_dir.Path() / "card");
        WriteFileText(Source("a.avi"), std::string(5000, 'a'));
        WriteFileText(Source("b.avi"), "the second recording");
        WriteFileText(Output("clip.mp4"), std::string(3000, 'c'));
        WriteFileText(Output("clip.gpx"), "<gpx/>");
        m_manifest.outputs = {Out("clip.mp4", evidence::OutputKind::kClip),
                              Out("clip.gpx", evidence::OutputKind::kGpx)};
        m_manifest.sources = {In(Source("a.avi"), Source("a.avi")),
                              In("../card/b.avi", Source("b.avi"))};
    }

    std::string Source(const std::string& name) const { return m_dir.File("card/" + name); }
    std::string Output(const std::string& name) const { return m_dir.File("export/" + name); }

    evidence::OutputFile Out(const std::string& name, evidence::OutputKind kind) const {
        evidence::FileDigest digest;
        EXPECT_TRUE(evidence::DigestFile(Output(name), digest).Ok());
        return evidence::MakeOutputFile(name, kind, digest);
    }
    static evidence::SourceFile In(const std::string& listed, const std::string& path) {
        evidence::FileDigest digest;
        EXPECT_TRUE(evidence::DigestFile(path, digest).Ok());
        return evidence::MakeSourceFile(listed, digest);
    }

    evidence::Verification Verify() const {
        return evidence::VerifyManifest(m_manifest, m_dir.File("export"));
    }
    static std::vector<evidence::FileState> States(const std::vector<evidence::FileCheck>& checks) {
        std::vector<evidence::FileState> states;
        for (const evidence::FileCheck& check : checks)
            states.push_back(check.state);
        return states;
    }

    TempDir m_dir;
    evidence::Manifest m_manifest;
};

using S = std::vector<evidence::FileState>;
constexpr auto kMatch = evidence::FileState::kMatch;
constexpr auto kDiffers = evidence::FileState::kDiffers;
constexpr auto kMissing = evidence::FileState::kMissing;

TEST_F(VerifyTest, AnExportAsWrittenMatches) {
    const evidence::Verification v = Verify();
    EXPECT_EQ(States(v.outputs), (S{kMatch, kMatch}));
    EXPECT_EQ(States(v.sources), (S{kMatch, kMatch}));
    EXPECT_TRUE(v.Intact());
    EXPECT_EQ(v.outputs[0].listed, "clip.mp4");
    EXPECT_EQ(v.outputs[0].path, Output("clip.mp4"));
    EXPECT_EQ(v.sources[1].path, m_dir.File("export/../card/b.avi"));
    EXPECT_EQ(v.outputs[0].foundSha256, m_manifest.outputs[0].sha256);
}

TEST_F(VerifyTest, AChangedOrCutOutputDiffers) {
    // One byte flipped, the size the same: only the digest tells.
    std::vector<uint8_t> clip = ReadFileBytes(Output("clip.mp4"));
    clip[1234] ^= 0x01;
    WriteFileBytes(Output("clip.mp4"), clip);
    // One byte cut off the route: told by its size.
    WriteFileText(Output("clip.gpx"), "<gpx>");

    const evidence::Verification v = Verify();
    EXPECT_EQ(States(v.outputs), (S{kDiffers, kDiffers}));
    EXPECT_FALSE(v.Intact());
    EXPECT_EQ(v.outputs[0].foundBytes, 3000u);
    EXPECT_NE(v.outputs[0].foundSha256, m_manifest.outputs[0].sha256);
    EXPECT_EQ(v.outputs[1].foundBytes, 5u);
    EXPECT_EQ(v.outputs[1].expectedBytes, 6u);
}

TEST_F(VerifyTest, MissingSourcesAreToldWithoutFailingChangedOnesFail) {
    std::filesystem::remove_all(m_dir.Path() / "card"); // the card taken out
    evidence::Verification v = Verify();
    EXPECT_EQ(States(v.sources), (S{kMissing, kMissing}));
    EXPECT_TRUE(v.Intact());

    std::filesystem::create_directories(m_dir.Path() / "card");
    WriteFileText(Source("b.avi"), "the second recording, changed");
    v = Verify();
    EXPECT_EQ(States(v.sources), (S{kMissing, kDiffers}));
    EXPECT_FALSE(v.Intact());

    // A folder where a file was is no file to match: it fails, and says why.
    std::filesystem::remove(Source("b.avi"));
    std::filesystem::create_directories(Source("b.avi"));
    v = Verify();
    EXPECT_EQ(v.sources[1].state, evidence::FileState::kUnreadable);
    EXPECT_NE(v.sources[1].reason, "");
    EXPECT_FALSE(v.Intact());
}

TEST(ManifestFolderTest, TheFolderOfAManifestPath) {
    EXPECT_EQ(evidence::ManifestFolder("/out/a.manifest.json"), "/out");
    EXPECT_EQ(evidence::ManifestFolder("a.manifest.json"), ".");
    EXPECT_EQ(evidence::ManifestFolder("sub/a.manifest.json"), "sub");
}

} // namespace
