// Fuzz target for the NMEA side files of dash-cam folders: the reader must stay inside the
// bytes and give its lists in ascending time, every G-sensor sample finite.
#include "telemetry/NmeaSideFile.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto copy = std::make_unique<char[]>(size);
    if (size > 0)
        std::memcpy(copy.get(), data, size);
    const TelemetryTrack track = nmea::ReadSideFile(std::string_view(copy.get(), size));
    for (size_t i = 1; i < track.fixes.size(); ++i)
        if (track.fixes[i].timeMs < track.fixes[i - 1].timeMs)
            std::abort();
    for (size_t i = 1; i < track.accelerations.size(); ++i)
        if (track.accelerations[i].timeMs < track.accelerations[i - 1].timeMs)
            std::abort();
    for (const TimedAcceleration& sample : track.accelerations)
        if (!std::isfinite(sample.x) || !std::isfinite(sample.y) || !std::isfinite(sample.z))
            std::abort();
    return 0;
}
