// Fuzz target for transport streams: the packet walker (program tables, adaptation fields,
// PES packets gathered across packets) and the GPS records in private PES packets.
#include "telemetry/MemoryByteSource.h"
#include "telemetry/MpegTsGps.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::unique_ptr<uint8_t[]> copy(new uint8_t[size]);
    if (size > 0)
        std::memcpy(copy.get(), data, size);
    MemoryByteSource source(copy.get(), size);
    TelemetryTrack track;
    mpegts::ReadFixes(source, track);
    if (track.fixes.size() > size / mpegts::kPacketSize)
        std::abort();
    return 0;
}
