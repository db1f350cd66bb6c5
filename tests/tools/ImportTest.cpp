// Recordings made from media files, looked at packet by packet: H.264 taken over unit for
// unit, other video coded again, the camera's packet order, sound blocks and GPS lines in
// their places, and nothing begun or left complete when an import fails.
#include "ImportInputs.h"
#include "formats/AnnexB.h"
#include "tests/support/TempDir.h"
#include "tools/tatcard/MediaImporter.h"
#include "tools/tatcard/PacketList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace {

using Bytes = std::vector<uint8_t>;
using Packet = CPacketList::Packet;

bool IsVideo(const Packet& p) {
    return p.type == tat::VideoKeyFrame || p.type == tat::VideoFrame;
}

bool StartsWithDelimiter(const Bytes& unit) {
    return unit.size() > 5 && unit[0] == 0 && unit[1] == 0 &&
           ((unit[2] == 1 && (unit[3] & 0x1F) == 9) ||
            (unit[2] == 0 && unit[3] == 1 && (unit[4] & 0x1F) == 9));
}

// The NAL units of an access unit without their start codes, delimiters left out.
std::vector<Bytes> NalUnits(const Bytes& unit) {
    std::vector<size_t> starts; // NAL headers
    for (size_t i = 0; i + 3 <= unit.size(); ++i) {
        if (unit[i] == 0 && unit[i + 1] == 0 && unit[i + 2] == 1) {
            starts.push_back(i + 3);
            i += 2;
        }
    }
    std::vector<Bytes> nals;
    for (size_t n = 0; n < starts.size(); ++n) {
        size_t end = n + 1 < starts.size() ? starts[n + 1] - 3 : unit.size();
        while (end > starts[n] && unit[end - 1] == 0)
            --end;
        if ((unit[starts[n]] & 0x1F) != 9)
            nals.emplace_back(unit.begin() + static_cast<std::ptrdiff_t>(starts[n]),
                              unit.begin() + static_cast<std::ptrdiff_t>(end));
    }
    return nals;
}

// Key frame flags of the video packets of a file, in file order.
std::vector<bool> KeyFlags(const std::string& path) {
    std::string out;
    std::string command = "ffprobe -v error -select_streams v -show_entries packet=flags -of "
                          "csv=p=0 '";
    command.append(path).append("'");
    EXPECT_EQ(RunCommand(command, &out), 0);
    std::vector<bool> keys;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line))
        keys.push_back(!line.empty() && line[0] == 'K');
    return keys;
}

double Loudness(const Bytes& block) {
    double sum = 0;
    for (size_t i = 0; i + 1 < block.size(); i += 2) {
        const auto sample = static_cast<int16_t>(block[i] | block[i + 1] << 8);
        sum += static_cast<double>(sample) * sample;
    }
    return std::sqrt(sum / static_cast<double>(block.size() / 2));
}

// The largest difference of the samples of a block from those of `pcm` at byte `at`.
int Difference(const Bytes& block, const Bytes& pcm, size_t at) {
    int largest = 0;
    for (size_t i = 0; i + 1 < block.size() && at + i + 1 < pcm.size(); i += 2) {
        const auto ours = static_cast<int16_t>(block[i] | block[i + 1] << 8);
        const auto theirs = static_cast<int16_t>(pcm[at + i] | pcm[at + i + 1] << 8);
        largest = std::max(largest, std::abs(ours - theirs));
    }
    return largest;
}

// A sink that takes `limit` packets and then fails, as a full card would.
class CFailingSink : public VRecordingSink {
public:
    explicit CFailingSink(size_t limit) : m_limit(limit) {}
    bool Begin(const std::string& name, const tat::InfoBlock& info) override {
        return list.Begin(name, info);
    }
    bool Add(uint8_t type, uint8_t channel, const uint8_t* payload, uint32_t size) override {
        return list.Packets().size() < m_limit && list.Add(type, channel, payload, size);
    }
    bool Finish() override { return list.Finish(); }
    void Abandon(bool cutMidPacket) override { list.Abandon(cutMidPacket); }
    void Discard() override { list.Discard(); }
    std::string Error() const override { return "the card is full"; }

    CPacketList list;

private:
    size_t m_limit;
};

class ImportTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(TestInputs().made) << TestInputs().failure; }

    static bool Import(const std::string& name, const ImportSources& sources, CPacketList& list,
                       ImportResult& result, std::string& error) {
        return ImportRecording(name, sources, list, &result, &error, 1);
    }

    const ImportInputs& in = TestInputs();
};

} // namespace

TEST_F(ImportTest, CopiesH264CodesOtherVideoAndKeepsTheCameraOrder) {
    ImportSources sources;
    sources.front = in.front;
    sources.rear = in.rearLong;
    sources.gpsLog = in.gpsLog;
    CPacketList list;
    ImportResult result;
    std::string error;
    ASSERT_TRUE(Import("REC_20240305_090702_D", sources, list, result, error)) << error;
    ASSERT_EQ(list.End(), CPacketList::Ending::Finished);
    EXPECT_EQ(list.Name(), "REC_20240305_090702_D");

    const tat::InfoBlock& info = list.Info();
    EXPECT_EQ(info.category, 1);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.frontFrameRate, 25);
    EXPECT_EQ(info.rearFrameRate, 25);
    EXPECT_EQ(info.frontWidth, 320);
    EXPECT_EQ(info.frontHeight, 240);
    EXPECT_EQ(info.rearWidth, 160);
    EXPECT_EQ(info.rearHeight, 120);
    EXPECT_EQ(info.audioRate, 8000u);
    EXPECT_EQ(info.audioBits, 16);
    EXPECT_EQ(info.startTime, 1709629622); // 2024-03-05 09:07:02 on the camera's clock

    // The rear has 75 frames; those past the front's 50 are left out.
    EXPECT_EQ(result.frontFrames, 50);
    EXPECT_EQ(result.rearFrames, 50);
    EXPECT_TRUE(result.frontCopied);
    EXPECT_FALSE(result.rearCopied);
    // The last frame starts at 1.96 s: 8 whole blocks of 240 ms lie before it.
    EXPECT_EQ(result.audioBlocks, 8);
    EXPECT_EQ(result.gpsLines, 3);

    // The front's H.264 as FFmpeg's own filters turn it into Annex B, with delimiters.
    const TempDir scratch;
    const std::string annexB = scratch.File("front.h264");
    std::string command = "ffmpeg -nostdin -v error -i '";
    command.append(in.front).append(
        "' -map 0:v -c copy -bsf:v h264_mp4toannexb,h264_metadata=aud=insert -f h264 '");
    command.append(annexB).append("' 2>&1");
    std::string out;
    ASSERT_EQ(RunCommand(command, &out), 0) << out;
    const Bytes reference = ReadFileBytes(annexB);
    // Its sound as FFmpeg mixes it down and resamples it to 8 kHz.
    const std::string pcm = scratch.File("front.pcm");
    command = "ffmpeg -nostdin -v error -i '";
    command.append(in.front).append("' -map 0:a -ac 1 -ar 8000 -f s16le '");
    command.append(pcm).append("' 2>&1");
    ASSERT_EQ(RunCommand(command, &out), 0) << out;
    const Bytes sound = ReadFileBytes(pcm);
    ASSERT_GE(sound.size(), 8u * 3840);
    const auto units = SplitAccessUnits(reference.data(), reference.size());
    const std::vector<bool> keys = KeyFlags(in.front);
    ASSERT_EQ(units.size(), 50u);
    ASSERT_EQ(keys.size(), 50u);

    int front = -1;
    int rear = 0;
    int blocks = 0;
    size_t lines = 0;
    const Packet* previous = nullptr;
    for (const Packet& p : list.Packets()) {
        if (IsVideo(p) && p.channel == 0) {
            ++front;
            const auto f = static_cast<size_t>(front);
            ASSERT_LT(f, units.size());
            EXPECT_TRUE(StartsWithDelimiter(p.payload)) << front;
            EXPECT_EQ(NalUnits(p.payload), NalUnits(units[f])) << "front frame " << front;
            EXPECT_EQ(p.type == tat::VideoKeyFrame, keys[f]) << front;
        } else if (IsVideo(p)) {
            // Each rear frame follows the front frame of its number at once.
            ASSERT_NE(previous, nullptr);
            EXPECT_TRUE(IsVideo(*previous) && previous->channel == 0);
            EXPECT_EQ(rear, front);
            EXPECT_TRUE(StartsWithDelimiter(p.payload)) << rear;
            const bool key = IsKeyFrame(p.payload.data(), p.payload.size());
            EXPECT_EQ(p.type == tat::VideoKeyFrame, key) << rear;
            EXPECT_EQ(key, rear % 25 == 0) << "coded again with a key frame every second";
            ++rear;
        } else if (p.type == tat::Audio) {
            // Block k ends at 240 (k + 1) ms: the first frame at or past that is 6 (k + 1).
            EXPECT_EQ(front, 6 * (blocks + 1)) << "block " << blocks;
            EXPECT_EQ(p.payload.size(), 3840u);
            EXPECT_GT(Loudness(p.payload), 500.0) << "block " << blocks << " is silent";
            EXPECT_LE(Difference(p.payload, sound, static_cast<size_t>(blocks) * 3840), 2)
                << "block " << blocks;
            ++blocks;
        } else {
            ASSERT_EQ(p.type, tat::Text);
            ASSERT_LT(lines, ExpectedGpsLines().size());
            const ExpectedGpsLine& expected = ExpectedGpsLines()[lines];
            EXPECT_EQ(std::string(p.payload.begin(), p.payload.end()), expected.line);
            EXPECT_EQ(front, expected.afterFrame) << expected.line;
            ++lines;
        }
        EXPECT_TRUE(IsVideo(p) || p.channel == 0);
        previous = &p;
    }
    EXPECT_EQ(front, 49);
    EXPECT_EQ(rear, 50);
    EXPECT_EQ(blocks, 8);
    EXPECT_EQ(lines, ExpectedGpsLines().size());
}

TEST_F(ImportTest, AShortRearStopsAndAFrontWithoutSoundGivesNoBlocks) {
    ImportSources sources;
    sources.front = in.rearLong; // MPEG-4 Visual, 75 frames, no sound
    sources.rear = in.rearShort; // Motion JPEG, 25 frames
    CPacketList list;
    ImportResult result;
    std::string error;
    ASSERT_TRUE(Import("EVENT_20240305_090702_D", sources, list, result, error)) << error;
    ASSERT_EQ(list.End(), CPacketList::Ending::Finished);
    EXPECT_EQ(list.Info().category, 0);
    EXPECT_EQ(list.Info().frontWidth, 160);
    EXPECT_EQ(list.Info().rearWidth, 176);
    EXPECT_EQ(list.Info().rearHeight, 144);
    EXPECT_EQ(result.frontFrames, 75);
    EXPECT_EQ(result.rearFrames, 25);
    EXPECT_FALSE(result.frontCopied);
    EXPECT_EQ(result.audioBlocks, 0);
    EXPECT_EQ(result.gpsLines, 0);

    int front = -1;
    int rear = 0;
    for (const Packet& p : list.Packets()) {
        ASSERT_TRUE(IsVideo(p)) << "no sound and no GPS log: pictures only";
        if (p.channel == 0) {
            ++front;
            EXPECT_EQ(p.type == tat::VideoKeyFrame, front % 25 == 0) << front;
            EXPECT_TRUE(IsKeyFrame(p.payload.data(), p.payload.size()) == (front % 25 == 0));
        } else {
            EXPECT_EQ(rear++, front);
        }
    }
    EXPECT_EQ(front, 74);
    EXPECT_EQ(rear, 25);
}

TEST_F(ImportTest, AFailureAfterTheStartDiscardsTheRecording) {
    ImportSources sources;
    sources.front = in.front;
    CFailingSink sink(20);
    ImportResult result;
    std::string error;
    EXPECT_FALSE(ImportRecording("MANUAL_20240305_091512_S", sources, sink, &result, &error, 1));
    EXPECT_EQ(error, "the card is full");
    EXPECT_EQ(sink.list.End(), CPacketList::Ending::Discarded);
    EXPECT_EQ(sink.list.Packets().size(), 20u);
}

TEST_F(ImportTest, FailuresBeforeTheStartBeginNothing) {
    const TempDir scratch;
    const std::string missing = scratch.File("missing.mp4");
    struct Case {
        ImportSources sources;
        const char* name;
        const char* says;
    };
    const Case cases[] = {
        {{missing, "", ""}, "REC_20240305_090702_S", "cannot open"},
        {{in.soundOnly, "", ""}, "REC_20240305_090702_S", "no video stream"},
        {{in.gpsLog, "", ""}, "REC_20240305_090702_S", "cannot open"},
        {{in.front, missing, ""}, "REC_20240305_090702_D", "cannot open"},
        {{in.front, in.soundOnly, ""}, "REC_20240305_090702_D", "no video stream"},
        {{in.front, "", missing}, "REC_20240305_090702_S", "cannot read"},
        {{in.front, "", ""}, "REC_20240305_090702_D", "rear"},
        {{in.front, in.rearLong, ""}, "REC_20240305_090702_S", "rear"},
        {{in.front, "", ""}, "REC_2024_090702_S", "not a recording name"},
    };
    for (const Case& c : cases) {
        CPacketList list;
        ImportResult result;
        std::string error;
        EXPECT_FALSE(Import(c.name, c.sources, list, result, error)) << c.sources.front;
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        EXPECT_EQ(list.Name(), "") << error;
        EXPECT_TRUE(list.Packets().empty()) << error;
    }
}
