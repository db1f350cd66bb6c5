// Fuzz target for GPMF payloads (the samples of a data track): KLV items, nesting, scales
// and the GPS and accelerometer streams. The first byte picks the payload's duration.
#include "telemetry/GpmfReader.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const int64_t durationMs = int64_t{data[0]} * 10;
    const std::unique_ptr<uint8_t[]> copy(new uint8_t[size - 1]);
    if (size > 1)
        std::memcpy(copy.get(), data + 1, size - 1);
    GpmfReader reader;
    TelemetryTrack track;
    reader.ReadPayload(copy.get(), size - 1, 1000, durationMs, track);
    for (const TimedFix& fix : track.fixes)
        if (fix.timeMs < 1000 || fix.timeMs > 1000 + durationMs)
            std::abort();
    for (const TimedAcceleration& sample : track.accelerations)
        if (sample.timeMs < 1000 || sample.timeMs > 1000 + durationMs)
            std::abort();
    return 0;
}
