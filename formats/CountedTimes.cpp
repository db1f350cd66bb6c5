#include "CountedTimes.h"

#include "AnnexB.h"

#include <algorithm>

void CountedTimes::SetFormat(int32_t frontRate, int32_t bitsPerSample, int32_t samplesPerSecond,
                             int32_t fullBlockBytes) {
    m_rate = frontRate > 0 ? frontRate : kFallbackFrameRate;
    m_sampleBytes = bitsPerSample == 8 ? 1 : 2;
    m_sampleRate = samplesPerSecond > 0 ? samplesPerSecond : 8000;
    m_fullBlockBytes = std::max(fullBlockBytes, m_sampleBytes);
}

void CountedTimes::Restart(int64_t frontFrame) {
    m_nextFront = std::max<int64_t>(frontFrame, 0);
    m_lastFrontUs = FrameUs(m_nextFront);
    m_nextSoundUs = -1;
}

int64_t CountedTimes::SoundUs(int64_t bytes) const {
    return bytes / m_sampleBytes * 1000000 / m_sampleRate;
}

int64_t CountedTimes::Stamp(StreamKind kind, int32_t size) {
    switch (kind) {
    case FrontVideo:
        m_lastFrontUs = FrameUs(m_nextFront++);
        return m_lastFrontUs;
    case Audio: {
        const int64_t duration = SoundUs(std::max(size, 0));
        int64_t start = m_nextSoundUs;
        if (start < 0) {
            const int64_t fullUs = std::max<int64_t>(SoundUs(m_fullBlockBytes), 1);
            const int64_t end = m_lastFrontUs / fullUs * fullUs;
            start = std::max<int64_t>(end - duration, 0);
        }
        m_nextSoundUs = start + duration;
        return start;
    }
    default:
        return m_lastFrontUs;
    }
}

MediaPacket CountedTimes::StampPacket(StreamKind kind, int32_t channel, const uint8_t* payload,
                                      int32_t size) {
    MediaPacket packet;
    packet.kind = kind;
    packet.channel = channel;
    packet.keyFrame = (kind == FrontVideo || kind == RearVideo) &&
                      IsCameraKeyFrame(payload, static_cast<size_t>(std::max(size, 0)));
    packet.timeUs = Stamp(kind, size);
    packet.size = size;
    packet.payload = payload;
    return packet;
}
