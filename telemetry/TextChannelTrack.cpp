#include "TextChannelTrack.h"

#include "CGSensorData.h"

#include <cstring>
#include <string_view>

void TextChannelTrack::OnTextPacket(const uint8_t* payload, size_t size, int64_t timeMs) {
    if (payload == nullptr || size == 0)
        return;
    if (payload[0] == 'G') {
        if (size < 7 || std::memcmp(payload + 2, "GPRMC", 5) != 0)
            return;
        m_track.fixes.push_back(TimedFix{
            timeMs, CGPSData(std::string_view(reinterpret_cast<const char*>(payload), size), 0)});
    } else if (payload[0] == 'M' && size >= 4) {
        const CGSensorData sample(payload[1], payload[2], payload[3], 0);
        m_track.accelerations.push_back(TimedAcceleration{
            timeMs, sample.x / CGSensorData::kUnitsPerG, sample.y / CGSensorData::kUnitsPerG,
            sample.z / CGSensorData::kUnitsPerG});
    }
}
