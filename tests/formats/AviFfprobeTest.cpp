// Our exports as FFmpeg's own AVI reader sees them: real H.264 and PCM written by CAVIWriter
// must come out as the streams we meant, with every frame, and decode without an error.
#include "tests/support/AviTestFiles.h"
#include "tests/support/H264Samples.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <sstream>

namespace {

std::vector<TestPacket> RecordingPackets(int frames, bool twoChannel) {
    const AccessUnits& front = H264Samples(320, 240, frames, 30);
    const AccessUnits& rear = H264Samples(160, 120, frames, 30);
    std::vector<TestPacket> packets;
    int audioBlocks = 0;
    for (int f = 0; f < frames; ++f) {
        packets.push_back({0, front[static_cast<size_t>(f)]});
        if (twoChannel)
            packets.push_back({1, rear[static_cast<size_t>(f)]});
        // 3840-byte blocks (240 ms) once the video they belong to is written.
        while ((audioBlocks + 1) * 240 <= (f + 1) * 1000 / 30) {
            packets.push_back({2, PatternBytes(3840, static_cast<uint32_t>(audioBlocks))});
            ++audioBlocks;
        }
        if (f % 30 == 0) {
            const std::string gps =
                "G$GPRMC,053740.000,A,3731.1234,N,12658.6000,E,10.0,45.5,060612,,,A";
            packets.push_back({3, std::vector<uint8_t>(gps.begin(), gps.end())});
        }
    }
    return packets;
}

class AviFfprobe : public ::testing::TestWithParam<bool> {};

TEST_P(AviFfprobe, StreamsFramesAndCleanDecode) {
    const bool twoChannel = GetParam();
    constexpr int kFrames = 60;
    TempDir dir;
    const std::string path = dir.File("export.avi");
    TestLayout layout;
    layout.twoChannel = twoChannel;
    layout.frontWidth = 320;
    layout.frontHeight = 240;
    layout.rearWidth = 160;
    layout.rearHeight = 120;
    WriteTestAvi(path, layout, RecordingPackets(kFrames, twoChannel));

    const std::string expectedStreams =
        twoChannel ? "h264,video,320,240\nh264,video,160,120\npcm_s16le,audio,8000,1\n"
                   : "h264,video,320,240\npcm_s16le,audio,8000,1\n";
    // Video rows give codec, type, width, height; the audio row codec, type, rate, channels.
    std::string streams = Probe("-show_entries stream=codec_name,codec_type,width,height,"
                                "sample_rate,channels -select_streams V",
                                path);
    streams += Probe("-show_entries stream=codec_name,codec_type,sample_rate,channels "
                     "-select_streams a",
                     path);
    EXPECT_EQ(streams, expectedStreams);

    const std::string frames =
        Probe("-count_frames -show_entries stream=nb_read_frames -select_streams V", path);
    EXPECT_EQ(frames, twoChannel ? "60\n60\n" : "60\n");

    // Decoding every stream FFmpeg picks must not print a single error.
    std::string errors;
    const std::string map = twoChannel ? "-map 0:v:0 -map 0:v:1 -map 0:a" : "-map 0:v -map 0:a";
    const int status = RunCommand(
        "ffmpeg -nostdin -v error -i '" + path + "' " + map + " -f null - 2>&1", &errors);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(errors, "");
}

INSTANTIATE_TEST_SUITE_P(Layouts, AviFfprobe, ::testing::Bool(),
                         [](const auto& p) { return p.param ? "TwoChannel" : "OneChannel"; });

} // namespace
