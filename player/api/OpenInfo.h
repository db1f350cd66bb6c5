#pragma once

#include <cstdint>
#include <vector>

// What Open and BuildIndex tell about a recording. The caller constructs and owns it.
struct OpenInfo {
    int32_t frontFrameRate = 0;  // frames per second of the front video
    int32_t rearFrameRate = 0;   // frames per second of the rear video; 0: no rear video
    int32_t frontFrameCount = 0; // front video frames in the recording
    int32_t rearFrameCount = 0;  // rear video frames; 0: no rear video
    // One entry per front frame in file order: the file offset of the frame's chunk header
    // with bit 31 set. Only the AVI reader fills it.
    std::vector<uint32_t> frontFrameOffsets;
    // Emptied by BuildIndex; nothing else uses it.
    std::vector<std::vector<uint8_t>> blockList;
};

inline constexpr uint32_t kFrameOffsetFlag = 0x80000000u;
