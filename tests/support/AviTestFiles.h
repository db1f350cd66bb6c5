#pragma once

#include "formats/CAVIWriter.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

class DiagLog;

// One packet to write: the writer's stream slot (0 front, 1 rear, 2 audio, 3 text) and bytes.
struct TestPacket {
    int slot;
    std::vector<uint8_t> bytes;
};

struct TestLayout {
    bool twoChannel = true;
    int32_t frontRate = 30;
    int32_t rearRate = 30;
    int32_t frontWidth = 1280, frontHeight = 720;
    int32_t rearWidth = 640, rearHeight = 360;
};

// Writes the packets with CAVIWriter; fails the calling test when a step fails.
void WriteTestAvi(const std::string& path, const TestLayout& layout,
                  const std::vector<TestPacket>& packets);

// `count` bytes, each derived from `seed` and its position, so mixed-up chunks are noticed.
std::vector<uint8_t> PatternBytes(size_t count, uint32_t seed);

// Packets of a recording: per front frame a front packet (and a rear one in two-channel
// layouts), an audio block every 8 frames and a text line every 10. Sizes vary and include
// odd ones.
std::vector<TestPacket> MakeTestPackets(int frontFrames, bool twoChannel);

// Collects diagnostic lines; thread-safe.
class CapturedLines {
public:
    DiagLog MakeLog();
    std::vector<std::string> Lines();
    bool Contains(const std::string& line);

private:
    std::mutex m_mutex;
    std::vector<std::string> m_lines;
};
