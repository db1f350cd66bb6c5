#include "AviTestFiles.h"

#include "base/DiagLog.h"

#include <algorithm>
#include <gtest/gtest.h>

void WriteTestAvi(const std::string& path, const TestLayout& layout,
                  const std::vector<TestPacket>& packets) {
    CAVIWriter writer;
    writer.SetVideoSize(0, layout.frontWidth, layout.frontHeight);
    writer.SetVideoSize(1, layout.rearWidth, layout.rearHeight);
    writer.SetFrameRate(0, layout.frontRate);
    writer.SetFrameRate(1, layout.rearRate);
    writer.SetAudioRate(8000);
    writer.SetTwoChannel(layout.twoChannel);
    ASSERT_TRUE(writer.Create(path));
    for (const TestPacket& packet : packets)
        ASSERT_TRUE(writer.AddData(packet.bytes.data(), static_cast<int32_t>(packet.bytes.size()),
                                   packet.slot));
    ASSERT_NE(writer.Close(), 0u);
}

std::vector<uint8_t> PatternBytes(size_t count, uint32_t seed) {
    std::vector<uint8_t> bytes(count);
    uint32_t x = seed * 2654435761u + 1u;
    for (uint8_t& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 16);
    }
    return bytes;
}

std::vector<TestPacket> MakeTestPackets(int frontFrames, bool twoChannel) {
    std::vector<TestPacket> packets;
    uint32_t seed = 1;
    for (int f = 0; f < frontFrames; ++f) {
        packets.push_back({0, PatternBytes(static_cast<size_t>(100 + (f * 37) % 901), seed++)});
        if (twoChannel)
            packets.push_back({1, PatternBytes(static_cast<size_t>(51 + (f * 13) % 300), seed++)});
        if (f % 8 == 7)
            packets.push_back({2, PatternBytes(3840, seed++)});
        if (f % 10 == 0)
            packets.push_back({3, PatternBytes(static_cast<size_t>(4 + f % 3), seed++)});
    }
    return packets;
}

DiagLog CapturedLines::MakeLog() {
    return DiagLog([this](std::string_view line) {
        std::lock_guard lock(m_mutex);
        m_lines.emplace_back(line);
    });
}

std::vector<std::string> CapturedLines::Lines() {
    std::lock_guard lock(m_mutex);
    return m_lines;
}

bool CapturedLines::Contains(const std::string& line) {
    std::lock_guard lock(m_mutex);
    return std::find(m_lines.begin(), m_lines.end(), line) != m_lines.end();
}
