// clips::Export on a drive of two recordings, from a dash-cam folder and from a card made of the
// same footage: the lossless copy (its packets against the sources', its start, length and
// cameras), the evidence record (checked by evidence::VerifyManifest and the shipped tatcard
// verify), the targets it refuses, a cancel that leaves nothing, and the re-encoded clip.
#include "clips/ClipExport.h"
#include "base/ProgramVersion.h"
#include "evidence/Manifest.h"
#include "evidence/ReportTexts.h"
#include "evidence/Verify.h"
#include "sources/MediaOptions.h"
#include "sources/SourceOpening.h"
#include "tests/clips/StoredMedia.h"
#include "tests/support/ClipDrives.h"
#include "tests/support/ScopedTimeZone.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace clipdrive;

constexpr int64_t kFrameUs = 1000000 / kRate;

// A card's packets of one recording, as its parser delivers them.
struct CardPacket {
    int64_t timeUs = 0;
    std::vector<uint8_t> data;
};
struct CardRecording {
    std::vector<CardPacket> front;
    std::vector<CardPacket> rear;
    std::vector<CardPacket> sound; // 16-bit mono PCM
};

CardRecording ReadCard(const VRecordingSource& source, const std::string& name) {
    CardRecording out;
    std::string openName;
    const std::unique_ptr<VMediaParser> parser = source.NewParser(name, openName);
    if (!parser)
        return out;
    parser->Start();
    OpenInfo info;
    if (parser->Open(openName, &info) == 0)
        return out;
    std::vector<uint8_t> buffer(kPacketBufferSize);
    for (MediaPacket p; parser->Read(buffer.data(), kPacketBufferSize, p);) {
        CardPacket packet{p.timeUs, {p.payload, p.payload + p.size}};
        if (p.kind == FrontVideo)
            out.front.push_back(std::move(packet));
        else if (p.kind == RearVideo)
            out.rear.push_back(std::move(packet));
        else if (p.kind == Audio)
            out.sound.push_back(std::move(packet));
    }
    parser->Stop();
    return out;
}

// The packets of a source file whose presentation lies in [fromUs, toUs) of the file's time.
std::vector<StoredPacket> Between(const StoredStream& stream, int64_t fromUs, int64_t toUs) {
    std::vector<StoredPacket> kept;
    for (const StoredPacket& p : stream.packets)
        if (p.ptsUs - stream.startUs >= fromUs && p.ptsUs - stream.startUs < toUs)
            kept.push_back(p);
    return kept;
}

std::vector<std::vector<uint8_t>> DataOf(const std::vector<StoredPacket>& packets) {
    std::vector<std::vector<uint8_t>> data;
    for (const StoredPacket& p : packets)
        data.push_back(p.data);
    return data;
}

// The temporary files an export may leave by mistake in a folder.
std::vector<std::string> Leftovers(const std::filesystem::path& folder) {
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.find(".part-") != std::string::npos || name.find(".tmp-") != std::string::npos)
            left.push_back(name);
    }
    return left;
}

class ClipExportTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new TempDir();
        s_folder = s_dir->File("dashcam");
        s_card = s_dir->File("card");
        if (MakeFolder(s_folder, &s_failure))
            MakeCard(s_card, s_folder, TATCARD_PATH, &s_failure);
    }
    static void TearDownTestSuite() {
        delete s_dir;
        s_dir = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(s_failure.empty()) << s_failure;
        m_folder = sources::Open(s_folder, sources::WithMediaParsers(nullptr));
        m_card = sources::Open(s_card, sources::WithMediaParsers(nullptr));
        ASSERT_TRUE(m_folder && m_card);
        ASSERT_EQ(m_folder->Recordings().size(), 2u);
        ASSERT_EQ(m_card->Recordings().size(), 2u);
    }

    clips::ClipRequest Request(const std::shared_ptr<VRecordingSource>& source,
                               clips::ClipMark from, clips::ClipMark to, bool lossless,
                               const std::string& name = "incident.mp4") const {
        clips::ClipRequest request;
        request.source = source;
        request.from = std::move(from);
        request.to = std::move(to);
        request.lossless = lossless;
        request.outPath = m_out.File(name);
        return request;
    }

    clips::ClipResult Run(const clips::ClipRequest& request) {
        const std::atomic<bool> cancel{false};
        return clips::Export(request, {}, cancel);
    }

    static TempDir* s_dir;
    static std::string s_folder;
    static std::string s_card;
    static std::string s_failure;
    std::shared_ptr<VRecordingSource> m_folder;
    std::shared_ptr<VRecordingSource> m_card;
    TempDir m_out;
    const ScopedTimeZone m_zone{"UTC"};
};
TempDir* ClipExportTest::s_dir = nullptr;
std::string ClipExportTest::s_folder;
std::string ClipExportTest::s_card;
std::string ClipExportTest::s_failure;

// ---- The lossless copy of a folder's files ----

TEST_F(ClipExportTest, FolderLosslessCopiesThePacketsFromTheKeyFrameBeforeTheStart) {
    const clips::ClipResult result =
        Run(Request(m_folder, {kFirstFolder, 1200}, {kFirstFolder, 2500}, true));
    ASSERT_TRUE(result.ok) << result.error;
    const std::string out = m_out.File("incident.mp4");
    const std::string rear = m_out.File("incident-rear.mp4");
    EXPECT_EQ(result.written, (std::vector<std::string>{out, rear, m_out.File("incident.gpx"),
                                                        m_out.File("incident.csv"),
                                                        m_out.File("incident.manifest.json"),
                                                        m_out.File("incident.report.txt")}));
    // Key frames every half second: the copy starts at 1.0 s, 200 ms before the mark.
    EXPECT_EQ(result.startShiftMs, 200);
    EXPECT_EQ(result.frames, 45);
    EXPECT_NEAR(static_cast<double>(result.lengthMs), 1500.0, 1000.0 / kRate);
    EXPECT_FALSE(result.cutShort); // the recordings read to the end

    for (const auto& [copy, source] : {std::pair{out, FrontFile(s_folder, kFirstFolder)},
                                       std::pair{rear, RearFile(s_folder, kFirstFolder)}}) {
        const StoredStream copied = ReadStream(copy, true);
        ASSERT_TRUE(copied.found) << copy;
        EXPECT_EQ(copied.codec, "h264");
        ASSERT_FALSE(copied.packets.empty());
        EXPECT_TRUE(copied.packets.front().key);
        EXPECT_EQ(copied.packets.front().ptsUs - copied.startUs, 0);
        const std::vector<StoredPacket> expected =
            Between(ReadStream(source, true), 1000000, 2500000);
        EXPECT_EQ(expected.size(), 45u);
        EXPECT_TRUE(DataOf(copied.packets) == DataOf(expected)) << copy;
    }
    // The front's sound: the source's AAC packets of the span, unchanged and in order.
    const StoredStream sound = ReadStream(out, false);
    ASSERT_TRUE(sound.found);
    EXPECT_EQ(sound.codec, "aac");
    const std::vector<std::vector<uint8_t>> original =
        DataOf(ReadStream(FrontFile(s_folder, kFirstFolder), false).packets);
    const std::vector<std::vector<uint8_t>> copied = DataOf(sound.packets);
    ASSERT_GT(copied.size(), 60u); // 1.5 s of 1024-sample packets at 48 kHz: about 70
    const auto at = std::search(original.begin(), original.end(), copied.begin(), copied.end());
    EXPECT_NE(at, original.end());
    EXPECT_FALSE(ReadStream(rear, false).found);
}

TEST_F(ClipExportTest, FolderLosslessAppendsTheNextRecordingAcrossTheBoundary) {
    const clips::ClipResult result =
        Run(Request(m_folder, {kFirstFolder, 2000}, {kSecondFolder, 1000}, true));
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.startShiftMs, 0); // 2.0 s is a key frame
    EXPECT_EQ(result.frames, 60);
    EXPECT_NEAR(static_cast<double>(result.lengthMs), 2000.0, 1000.0 / kRate);
    EXPECT_FALSE(result.cutShort); // the recordings read to the end

    const StoredStream front = ReadStream(m_out.File("incident.mp4"), true);
    std::vector<StoredPacket> expected =
        Between(ReadStream(FrontFile(s_folder, kFirstFolder), true), 2000000, 3000000);
    const std::vector<StoredPacket> second =
        Between(ReadStream(FrontFile(s_folder, kSecondFolder), true), 0, 1000000);
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_TRUE(DataOf(front.packets) == DataOf(expected));
    // The second file's pictures go on where the first's end: one time line, rising.
    ASSERT_EQ(front.packets.size(), 60u);
    for (size_t k = 1; k < front.packets.size(); ++k)
        EXPECT_NEAR(static_cast<double>(front.packets[k].ptsUs - front.packets[k - 1].ptsUs),
                    static_cast<double>(kFrameUs), 2000.0)
            << "picture " << k;
    EXPECT_TRUE(front.packets[30].key);
    // It decodes whole.
    std::string out;
    EXPECT_EQ(RunCommand("ffmpeg -nostdin -v error -xerror -i '" + m_out.File("incident.mp4") +
                             "' -f null - 2>&1",
                         &out),
              0)
        << out;
    // The rear likewise, from its own files.
    const StoredStream rear = ReadStream(m_out.File("incident-rear.mp4"), true);
    std::vector<StoredPacket> rearExpected =
        Between(ReadStream(RearFile(s_folder, kFirstFolder), true), 2000000, 3000000);
    const std::vector<StoredPacket> rearSecond =
        Between(ReadStream(RearFile(s_folder, kSecondFolder), true), 0, 1000000);
    rearExpected.insert(rearExpected.end(), rearSecond.begin(), rearSecond.end());
    EXPECT_TRUE(DataOf(rear.packets) == DataOf(rearExpected));
}

// ---- The lossless copy of a card's packets ----

TEST_F(ClipExportTest, CardLosslessKeepsTheAccessUnitsAndCodesTheSoundSampleForSample) {
    const clips::ClipResult result =
        Run(Request(m_card, {kFirstCard, 1200}, {kFirstCard, 2500}, true));
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.startShiftMs, 200);
    EXPECT_EQ(result.frames, 45);
    EXPECT_NEAR(static_cast<double>(result.lengthMs), 1500.0, 1000.0 / kRate);
    EXPECT_FALSE(result.cutShort); // the recordings read to the end

    const CardRecording card = ReadCard(*m_card, kFirstCard);
    ASSERT_EQ(card.front.size(), 90u);
    for (const auto& [file, packets] : {std::pair{m_out.File("incident.mp4"), &card.front},
                                        std::pair{m_out.File("incident-rear.mp4"), &card.rear}}) {
        const StoredStream copied = ReadStream(file, true);
        ASSERT_EQ(copied.packets.size(), 45u) << file;
        EXPECT_TRUE(copied.packets.front().key);
        for (size_t k = 0; k < copied.packets.size(); ++k)
            EXPECT_TRUE(LengthPrefixedUnits(copied.packets[k].data) ==
                        AnnexBUnits((*packets)[30 + k].data))
                << file << " picture " << k;
    }
    // The card's PCM from the key frame's time (1.0 s) to the end mark, exactly.
    std::vector<int16_t> pcm;
    for (const CardPacket& block : card.sound)
        for (size_t i = 0; i + 1 < block.data.size(); i += 2)
            pcm.push_back(static_cast<int16_t>(block.data[i] | (block.data[i + 1] << 8)));
    ASSERT_FALSE(card.sound.empty());
    ASSERT_EQ(card.sound.front().timeUs, 0);
    const StoredStream sound = ReadStream(m_out.File("incident.mp4"), false);
    EXPECT_EQ(sound.codec, "alac");
    const std::vector<int16_t> decoded = DecodeSound(m_out.File("incident.mp4"));
    ASSERT_EQ(decoded.size(), 12000u); // 1.5 s at 8 kHz
    EXPECT_TRUE(std::equal(decoded.begin(), decoded.end(), pcm.begin() + 8000));
}

TEST_F(ClipExportTest, CardLosslessRunsOnIntoTheNextRecording) {
    const clips::ClipResult result =
        Run(Request(m_card, {kFirstCard, 1200}, {kSecondCard, 1500}, true, "drive.mp4"));
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.frames, 105); // 1.0 s to 3.0 s, then 0 to 1.5 s
    const CardRecording first = ReadCard(*m_card, kFirstCard);
    const CardRecording second = ReadCard(*m_card, kSecondCard);
    const StoredStream copied = ReadStream(m_out.File("drive.mp4"), true);
    ASSERT_EQ(copied.packets.size(), 105u);
    for (size_t k = 0; k < copied.packets.size(); ++k) {
        const CardPacket& source = k < 60 ? first.front[30 + k] : second.front[k - 60];
        EXPECT_TRUE(LengthPrefixedUnits(copied.packets[k].data) == AnnexBUnits(source.data))
            << "picture " << k;
    }
    EXPECT_NEAR(static_cast<double>(copied.packets[60].ptsUs - copied.startUs), 2000000.0, 2000.0);
    const std::vector<int16_t> decoded = DecodeSound(m_out.File("drive.mp4"));
    EXPECT_NEAR(static_cast<double>(decoded.size()), 3.5 * 8000, 1.0);
}

// ---- The evidence record ----

TEST_F(ClipExportTest, TheManifestListsEverySourceAndOutputAndVerifyCatchesAFlippedByte) {
    clips::ClipRequest request =
        Request(m_folder, {kFirstFolder, 2000}, {kSecondFolder, 1000}, true);
    request.language = evidence::ReportLanguage::kKorean;
    const clips::ClipResult result = Run(request);
    ASSERT_TRUE(result.ok) << result.error;
    const std::string manifestPath = m_out.File("incident.manifest.json");
    const evidence::ManifestRead read = evidence::ReadManifest(manifestPath);
    ASSERT_TRUE(read.manifest) << read.error;
    const evidence::Manifest& m = *read.manifest;
    EXPECT_EQ(m.programName, "tatview");
    EXPECT_EQ(m.programVersion, ProgramVersion());
    ASSERT_EQ(m.sources.size(), 6u); // each recording's front, rear and .gps
    EXPECT_EQ(
        m.sources[0].path,
        std::filesystem::absolute(FrontFile(s_folder, kFirstFolder)).lexically_normal().string());
    std::vector<std::string> names;
    for (const evidence::OutputFile& output : m.outputs)
        names.push_back(output.name + ":" + evidence::OutputKindWord(output.kind) + ":" +
                        output.camera);
    EXPECT_EQ(names, (std::vector<std::string>{"incident.mp4:camera:front",
                                               "incident-rear.mp4:camera:rear",
                                               "incident.gpx:gpx:", "incident.csv:csv:"}));
    EXPECT_EQ(m.start, (evidence::ClipPoint{kFirstFolder, 2000, "2024-03-05T09:07:04.000+00:00"}));
    EXPECT_EQ(m.end, (evidence::ClipPoint{kSecondFolder, 1000, "2024-03-05T09:07:06.000+00:00"}));
    EXPECT_EQ(m.cameraMinusGpsMs, kCameraMinusGpsMs);
    EXPECT_EQ(m.layout, "per-camera");
    EXPECT_FALSE(m.overlay.on);
    EXPECT_EQ(m.encoder, (evidence::EncoderSettings{"h264", std::nullopt, "", true, true}));

    // The route and the telemetry of the span, from the copy's first picture.
    const std::string csv = ReadFileText(m_out.File("incident.csv"));
    EXPECT_EQ(csv.rfind("time_ms,kind,", 0), 0u) << csv;
    EXPECT_NE(csv.find("\n0,fix,"), std::string::npos) << csv;
    EXPECT_NE(csv.find("\n500,gsensor,"), std::string::npos) << csv;
    EXPECT_NE(csv.find("\n1000,fix,"), std::string::npos) << csv;
    EXPECT_EQ(csv.find("\n2000,fix,"), std::string::npos) << csv; // past the end
    EXPECT_NE(ReadFileText(m_out.File("incident.gpx")).find("<trkpt"), std::string::npos);
    EXPECT_NE(ReadFileText(m_out.File("incident.report.txt"))
                  .find(evidence::Phrase(evidence::ReportPhrase::kTitle,
                                         evidence::ReportLanguage::kKorean)),
              std::string::npos);

    EXPECT_TRUE(evidence::VerifyManifest(m, m_out.Path().string()).Intact());
    std::string out;
    const std::string verify =
        std::string("'") + TATCARD_PATH + "' verify '" + manifestPath + "' 2>&1";
    EXPECT_EQ(RunCommand(verify, &out), 0) << out;

    std::vector<uint8_t> clip = ReadFileBytes(m_out.File("incident.mp4"));
    clip[clip.size() / 2] ^= 0x01;
    WriteFileBytes(m_out.File("incident.mp4"), clip);
    const evidence::Verification flipped = evidence::VerifyManifest(m, m_out.Path().string());
    EXPECT_FALSE(flipped.Intact());
    EXPECT_EQ(flipped.outputs[0].state, evidence::FileState::kDiffers);
    EXPECT_EQ(RunCommand(verify, &out), 1) << out;
}

TEST_F(ClipExportTest, ACardsSourcesAreItsRecordingFiles) {
    const clips::ClipResult result =
        Run(Request(m_card, {kFirstCard, 2000}, {kSecondCard, 500}, true));
    ASSERT_TRUE(result.ok) << result.error;
    const evidence::ManifestRead read =
        evidence::ReadManifest(m_out.File("incident.manifest.json"));
    ASSERT_TRUE(read.manifest) << read.error;
    ASSERT_EQ(read.manifest->sources.size(), 2u);
    EXPECT_NE(
        read.manifest->sources[0].path.find(std::string("/TATSTORE/REC/") + kFirstCard + ".TRD"),
        std::string::npos);
    EXPECT_NE(
        read.manifest->sources[1].path.find(std::string("/TATSTORE/REC/") + kSecondCard + ".TRD"),
        std::string::npos);
    EXPECT_EQ(read.manifest->cameraMinusGpsMs, kCameraMinusGpsMs);
    EXPECT_TRUE(read.manifest->encoder.sound);
    EXPECT_TRUE(evidence::VerifyManifest(*read.manifest, m_out.Path().string()).Intact());
}

// ---- What it refuses, and what a failure or a cancel leaves ----

TEST_F(ClipExportTest, ASourceFileOrTheCardsStorageIsNeverATarget) {
    const std::string source = FrontFile(s_folder, kFirstFolder);
    const std::vector<uint8_t> before = ReadFileBytes(source);
    clips::ClipRequest request = Request(m_folder, {kFirstFolder, 0}, {kFirstFolder, 1000}, true);
    request.outPath = source;
    clips::ClipResult result = Run(request);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("source"), std::string::npos) << result.error;
    // The same file by another name.
    std::filesystem::create_symlink(source, m_out.File("link.mp4"));
    request.outPath = m_out.File("link.mp4");
    result = Run(request);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("source"), std::string::npos) << result.error;
    EXPECT_EQ(ReadFileBytes(source), before);
    EXPECT_TRUE(Leftovers(std::filesystem::path(source).parent_path()).empty());
    EXPECT_TRUE(Leftovers(m_out.Path()).empty());

    request = Request(m_card, {kFirstCard, 0}, {kFirstCard, 1000}, true);
    request.outPath = s_card + "/TATSTORE/REC/clip.mp4";
    result = Run(request);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("storage"), std::string::npos) << result.error;
    EXPECT_FALSE(std::filesystem::exists(request.outPath));

    // A folder that is not there: the reason and the path.
    request = Request(m_folder, {kFirstFolder, 0}, {kFirstFolder, 1000}, true);
    request.outPath = m_out.File("missing/clip.mp4");
    result = Run(request);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("No such file or directory"), std::string::npos) << result.error;
    EXPECT_NE(result.error.find(request.outPath), std::string::npos) << result.error;
}

TEST_F(ClipExportTest, ACancelLeavesNoTemporaryFileAndTheOlderFilesAsTheyWere) {
    WriteFileText(m_out.File("incident.mp4"), "the older clip");
    WriteFileText(m_out.File("incident.gpx"), "the older route");
    for (const bool inTheCopy : {false, true}) {
        for (const std::shared_ptr<VRecordingSource>& source : {m_folder, m_card}) {
            const bool card = source == m_card;
            const clips::ClipRequest request =
                Request(source, {card ? kFirstCard : kFirstFolder, 500},
                        {card ? kSecondCard : kSecondFolder, 2500}, true);
            std::atomic<bool> cancel{false};
            int calls = 0;
            const clips::ClipResult result = clips::Export(
                request,
                [&](const clips::ClipProgress& progress) {
                    ++calls;
                    // While the sources are digested (no picture yet), or once the copy runs.
                    if (!inTheCopy || progress.framesDone > 0)
                        cancel.store(true);
                },
                cancel);
            EXPECT_TRUE(result.cancelled) << (card ? "card" : "folder") << inTheCopy;
            EXPECT_FALSE(result.ok);
            EXPECT_TRUE(result.error.empty()) << result.error;
            EXPECT_TRUE(result.written.empty());
            EXPECT_GT(calls, 0);
            EXPECT_TRUE(Leftovers(m_out.Path()).empty());
            EXPECT_EQ(ReadFileText(m_out.File("incident.mp4")), "the older clip");
            EXPECT_EQ(ReadFileText(m_out.File("incident.gpx")), "the older route");
            EXPECT_FALSE(std::filesystem::exists(m_out.File("incident-rear.mp4")));
            EXPECT_FALSE(std::filesystem::exists(m_out.File("incident.manifest.json")));
        }
    }
    // A whole export then replaces them.
    const clips::ClipResult result =
        Run(Request(m_folder, {kFirstFolder, 500}, {kFirstFolder, 1500}, true));
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_NE(ReadFileText(m_out.File("incident.gpx")), "the older route");
    EXPECT_TRUE(Leftovers(m_out.Path()).empty());
}

TEST_F(ClipExportTest, MarksOutsideTheDriveAreRefusedBeforeAnythingIsWritten) {
    EXPECT_NE(Run(Request(m_folder, {"20240101_000000_N", 0}, {kFirstFolder, 1000}, true))
                  .error.find("20240101_000000_N"),
              std::string::npos);
    EXPECT_FALSE(Run(Request(m_folder, {kSecondFolder, 1000}, {kFirstFolder, 1000}, true)).ok);
    EXPECT_TRUE(std::filesystem::is_empty(m_out.Path()));
}

// ---- The re-encoded clip (skipped while the encoder is not built) ----

class ClipEncodeTest : public ClipExportTest {
protected:
    // The export, or a skip while EncodeClip is the placeholder.
    std::optional<clips::ClipResult> Encode(const clips::ClipRequest& request) {
        clips::ClipResult result = Run(request);
        if (!result.ok && result.error.find("not built yet") != std::string::npos)
            return std::nullopt;
        return result;
    }
};

TEST_F(ClipEncodeTest, AFolderClipIsCodedAgainWithItsRecord) {
    clips::ClipRequest request =
        Request(m_folder, {kFirstFolder, 1200}, {kSecondFolder, 700}, false);
    request.crf = 26;
    request.layout = clips::Layout::kSide;
    const std::optional<clips::ClipResult> result = Encode(request);
    if (!result)
        GTEST_SKIP() << "the re-encoding is not built on this branch yet";
    ASSERT_TRUE(result->ok) << result->error;
    EXPECT_EQ(result->startShiftMs, 0);
    EXPECT_NEAR(static_cast<double>(result->frames), 75.0, 1.0); // 1.8 s + 0.7 s
    EXPECT_NEAR(static_cast<double>(result->lengthMs), 2500.0, 2000.0 / kRate);
    EXPECT_FALSE(result->cutShort);        // the recordings read to the end
    EXPECT_EQ(result->written.size(), 5u); // clip, GPX, CSV, manifest, report
    EXPECT_EQ(ReadStream(request.outPath, true).codec, "h264");
    EXPECT_EQ(ReadStream(request.outPath, false).codec, "aac");
    const evidence::ManifestRead read =
        evidence::ReadManifest(m_out.File("incident.manifest.json"));
    ASSERT_TRUE(read.manifest) << read.error;
    EXPECT_EQ(read.manifest->layout, "side");
    EXPECT_TRUE(read.manifest->overlay.on);
    EXPECT_FALSE(read.manifest->overlay.fields.empty());
    EXPECT_EQ(read.manifest->encoder,
              (evidence::EncoderSettings{"h264", 26, "veryfast", false, true}));
    EXPECT_EQ(read.manifest->outputs.front().kind, evidence::OutputKind::kClip);
    EXPECT_EQ(read.manifest->start.offsetMs, 1200);
    EXPECT_TRUE(evidence::VerifyManifest(*read.manifest, m_out.Path().string()).Intact());
}

TEST_F(ClipEncodeTest, ACardClipIsCodedAgainWithoutSoundWhenAsked) {
    clips::ClipRequest request = Request(m_card, {kFirstCard, 2000}, {kSecondCard, 1000}, false);
    request.sound = false;
    request.overlay = false;
    const std::optional<clips::ClipResult> result = Encode(request);
    if (!result)
        GTEST_SKIP() << "the re-encoding is not built on this branch yet";
    ASSERT_TRUE(result->ok) << result->error;
    EXPECT_NEAR(static_cast<double>(result->frames), 60.0, 1.0);
    EXPECT_FALSE(ReadStream(request.outPath, false).found);
    const evidence::ManifestRead read =
        evidence::ReadManifest(m_out.File("incident.manifest.json"));
    ASSERT_TRUE(read.manifest) << read.error;
    EXPECT_FALSE(read.manifest->overlay.on);
    EXPECT_FALSE(read.manifest->encoder.sound);
    EXPECT_TRUE(evidence::VerifyManifest(*read.manifest, m_out.Path().string()).Intact());
}

TEST_F(ClipEncodeTest, ACancelledEncodeLeavesNothing) {
    WriteFileText(m_out.File("incident.mp4"), "the older clip");
    std::atomic<bool> cancel{false};
    const clips::ClipResult result = clips::Export(
        Request(m_folder, {kFirstFolder, 0}, {kSecondFolder, 3000}, false),
        [&](const clips::ClipProgress& progress) {
            if (progress.framesDone > 0)
                cancel.store(true);
        },
        cancel);
    if (!result.ok && result.error.find("not built yet") != std::string::npos)
        GTEST_SKIP() << "the re-encoding is not built on this branch yet";
    EXPECT_TRUE(result.cancelled) << result.error;
    EXPECT_TRUE(Leftovers(m_out.Path()).empty());
    EXPECT_EQ(ReadFileText(m_out.File("incident.mp4")), "the older clip");
}

} // namespace
