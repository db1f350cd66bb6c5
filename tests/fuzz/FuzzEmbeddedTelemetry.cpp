// Fuzz target for the embedded telemetry of video files: the input is a whole file (MP4 /
// MOV boxes, or a transport stream) read through the same entry point as a real file, from a
// buffer of exactly its size so that a read past the end is caught.
#include "telemetry/EmbeddedTelemetry.h"
#include "telemetry/MemoryByteSource.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::unique_ptr<uint8_t[]> copy(new uint8_t[size]);
    if (size > 0)
        std::memcpy(copy.get(), data, size);
    MemoryByteSource source(copy.get(), size);
    TelemetryFormat format = TelemetryFormat::kNone;
    const TelemetryTrack track = EmbeddedTelemetry::Read(source, &format);
    Check(format != TelemetryFormat::kNone || track.Empty());
    for (size_t i = 1; i < track.fixes.size(); ++i)
        Check(track.fixes[i - 1].timeMs <= track.fixes[i].timeMs);
    for (size_t i = 1; i < track.accelerations.size(); ++i)
        Check(track.accelerations[i - 1].timeMs <= track.accelerations[i].timeMs);
    for (const TimedFix& fix : track.fixes) {
        Check(fix.fix.valid == 0 || fix.fix.valid == 1);
        volatile double degrees = fix.fix.LatitudeDegrees() + fix.fix.LongitudeDegrees();
        (void)degrees;
    }
    return 0;
}
