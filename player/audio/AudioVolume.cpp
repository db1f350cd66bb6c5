#include "AudioVolume.h"

#include "base/ByteOrder.h"

#include <algorithm>

namespace {

constexpr int32_t kFullLevel = 0xFFFF;

// value × level / 0xFFFF, rounded toward zero; |value| stays within its range.
int32_t Scale(int32_t value, uint16_t level) {
    return value * static_cast<int32_t>(level) / kFullLevel;
}

} // namespace

uint16_t VolumeLevel(uint32_t deviceVolume) {
    const auto left = static_cast<uint16_t>(deviceVolume & 0xFFFFu);
    const auto right = static_cast<uint16_t>(deviceVolume >> 16);
    return std::max(left, right);
}

double VolumeGain(uint32_t deviceVolume) {
    return static_cast<double>(VolumeLevel(deviceVolume)) / kFullLevel;
}

void ApplyVolume(uint8_t* pcm, int32_t length, int32_t bitsPerSample, uint16_t level) {
    if (pcm == nullptr || length <= 0 || level == kFullLevel)
        return;
    if (bitsPerSample == 8) {
        for (int32_t i = 0; i < length; ++i)
            pcm[i] = static_cast<uint8_t>(Scale(pcm[i] - 128, level) + 128);
    } else if (bitsPerSample == 16) {
        for (int32_t i = 0; i + 1 < length; i += 2) {
            StoreU16LE(pcm + i, static_cast<uint16_t>(Scale(LoadI16LE(pcm + i), level)));
        }
    }
}
