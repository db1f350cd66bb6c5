#pragma once

#include "TelemetryTrack.h"

#include <cstddef>
#include <cstdint>

// Collects the telemetry of a camera-storage recording's text channel into a TelemetryTrack
// as its packets are read: every GPS line ('G' and an RMC sentence, parsed as the window
// parses it) and every G-sensor line ('M' and three raw bytes), each at the time it is
// handed over with. Unlike the window's store, every G-sensor line is kept.
//
// One thread at a time.
class TextChannelTrack {
public:
    // One text packet of the recording, timeMs after its first picture.
    void OnTextPacket(const uint8_t* payload, size_t size, int64_t timeMs);

    const TelemetryTrack& Track() const { return m_track; }
    TelemetryTrack Take() { return static_cast<TelemetryTrack&&>(m_track); }

private:
    TelemetryTrack m_track;
};
