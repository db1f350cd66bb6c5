// Fuzz target for the NMEA side files of dash-cam folders: the reader must stay inside the
// bytes, give its lists in ascending time, and every fix must make a text-channel line that
// the fix reader takes again.
#include "telemetry/NmeaChecksum.h"
#include "telemetry/NmeaSideFile.h"
#include "telemetry/TelemetryLines.h"

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
    for (const TimedFix& fix : track.fixes) {
        const std::string line = telemetrylines::GpsLine(fix.fix);
        if (line.size() < 8 || !nmea::ChecksumMatches(line.substr(1)))
            std::abort();
    }
    for (const TimedAcceleration& sample : track.accelerations)
        if (telemetrylines::SensorLine(sample)[0] != 'M')
            std::abort();
    return 0;
}
