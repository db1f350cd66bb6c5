#include "MeasuringAudio.h"

#include "base/ByteOrder.h"

#include <algorithm>
#include <cstdlib>

bool MeasuringAudio::Open(int32_t bitsPerSample, int32_t samplesPerSecond) {
    if (samplesPerSecond > 0)
        m_rate = samplesPerSecond;
    return m_inner->Open(bitsPerSample, samplesPerSecond);
}

std::vector<int32_t> MeasuringAudio::FindClickStarts(const uint8_t* bytes, int32_t length) {
    std::vector<int32_t> starts;
    const int64_t quietNeeded = m_rate / 10;
    for (int32_t i = 0; i + 1 < length; i += 2) {
        const int16_t sample = LoadI16LE(bytes + i);
        if (std::abs(static_cast<int>(sample)) >= kLoudLevel) {
            if (m_quietSamples >= quietNeeded)
                starts.push_back(i / 2);
            m_quietSamples = 0;
        } else {
            ++m_quietSamples;
        }
    }
    return starts;
}

void MeasuringAudio::Write(const uint8_t* bytes, int32_t length) {
    const int32_t played = std::clamp(length, 0, kBlockBytes);
    const std::vector<int32_t> starts = FindClickStarts(bytes, played);
    m_inner->Write(bytes, length);
    if (starts.empty() || !m_observer)
        return;
    // Once the output has taken the block, it ends queuedMicros from now.
    const auto blockMicros = static_cast<int64_t>(played / 2) * 1000000 / m_rate;
    const Clock::time_point blockStart = Clock::now() +
                                         std::chrono::microseconds(m_inner->QueuedMicros()) -
                                         std::chrono::microseconds(blockMicros);
    for (int32_t start : starts)
        m_observer(blockStart +
                   std::chrono::microseconds(static_cast<int64_t>(start) * 1000000 / m_rate));
}
