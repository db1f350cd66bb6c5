#include "AudioPlacement.h"

#include <algorithm>

void AudioPlacement::SetFormat(int32_t bitsPerSample, int32_t samplesPerSecond) {
    m_sampleBytes = bitsPerSample == 8 ? 1 : 2;
    m_rate = samplesPerSecond > 0 ? samplesPerSecond : 8000;
}

void AudioPlacement::Restart(int64_t fromUs) {
    m_nextUs = std::max<int64_t>(fromUs, 0);
}

int64_t AudioPlacement::DurationUs(int64_t bytes) const {
    return bytes / m_sampleBytes * 1000000 / m_rate;
}

int64_t AudioPlacement::BytesOf(int64_t us) const {
    return std::max<int64_t>(us, 0) * m_rate / 1000000 * m_sampleBytes;
}

bool AudioPlacement::PlaceBlock(int64_t timeUs, int32_t length, Place& place) {
    place = Place{};
    const int64_t bytes = std::max(length, 0) / m_sampleBytes * m_sampleBytes;
    int64_t start = timeUs;
    if (start > m_nextUs + kJoinUs && start - m_nextUs <= kMaxSilenceUs) {
        place.silenceFromUs = m_nextUs;
        place.silenceUs = start - m_nextUs;
    } else if (start <= m_nextUs + kJoinUs) {
        // Continues the sound placed before, or overlaps it: what lies before goes.
        const int64_t skip = std::min(BytesOf(m_nextUs - start), bytes);
        place.skipBytes = static_cast<int32_t>(skip);
        start = m_nextUs;
    }
    if (place.skipBytes >= bytes)
        return false;
    place.startUs = start;
    m_nextUs = start + DurationUs(bytes - place.skipBytes);
    return true;
}
