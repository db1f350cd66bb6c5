#include "AudioPlacement.h"

#include <algorithm>

void AudioPlacement::SetFormat(int32_t bitsPerSample, int32_t samplesPerSecond,
                               int32_t fullBlockBytes) {
    m_sampleBytes = bitsPerSample == 8 ? 1 : 2;
    m_rate = samplesPerSecond > 0 ? samplesPerSecond : 8000;
    m_fullBlockBytes = std::max(fullBlockBytes, m_sampleBytes);
}

void AudioPlacement::Restart(int64_t fromUs) {
    m_fromUs = std::max<int64_t>(fromUs, 0);
    m_nextUs = -1;
}

int64_t AudioPlacement::DurationUs(int64_t bytes) const {
    return bytes / m_sampleBytes * 1000000 / m_rate;
}

bool AudioPlacement::PlaceBlock(int32_t length, int64_t lastFrontUs, Place& place) {
    const int64_t duration = DurationUs(std::max(length, 0));
    int64_t start = m_nextUs;
    if (start < 0) {
        const int64_t fullUs = std::max<int64_t>(DurationUs(m_fullBlockBytes), 1);
        const int64_t end = std::max<int64_t>(lastFrontUs, 0) / fullUs * fullUs;
        start = std::max<int64_t>(end - duration, 0);
    }
    m_nextUs = start + duration;
    place = Place{};
    if (m_nextUs <= m_fromUs)
        return false;
    if (start < m_fromUs) {
        const int64_t samples = (m_fromUs - start) * m_rate / 1000000;
        place.skipBytes = static_cast<int32_t>(std::min<int64_t>(samples * m_sampleBytes, length));
        start += place.skipBytes / m_sampleBytes * 1000000 / m_rate;
    }
    place.startUs = start;
    return place.skipBytes < length;
}
