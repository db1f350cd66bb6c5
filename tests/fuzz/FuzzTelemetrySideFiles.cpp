// Fuzz target for the telemetry that comes as loose records or text: G-sensor side files
// (10-byte records), NMEA text with "[ms]" stamps, subtitle cues, single GPS blocks and
// records, and event files. The first byte picks the reader; the rest is its input, in a
// buffer of exactly its size.
#include "telemetry/BlackVueTelemetry.h"
#include "telemetry/FixMaker.h"
#include "telemetry/NmeaText.h"
#include "telemetry/NovatekGps.h"
#include "telemetry/TeslaEvent.h"
#include "telemetry/ThinkwareCue.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const uint8_t pick = data[0];
    const size_t length = size - 1;
    const std::unique_ptr<uint8_t[]> copy(new uint8_t[length]);
    if (length > 0)
        std::memcpy(copy.get(), data + 1, length);
    const std::string_view text(reinterpret_cast<const char*>(copy.get()), length);
    FixMaker maker;
    switch (pick % 4) {
    case 0:
        if (blackvue::ReadAccelerations(copy.get(), length).size() > length / blackvue::kRecordSize)
            std::abort();
        break;
    case 1:
        for (const TimedFix& fix : blackvue::ReadFixes(text, pick & 0x80 ? 1000 : -1))
            if (fix.timeMs < 0)
                std::abort();
        break;
    case 2: {
        const ThinkwareCue cue = ThinkwareCue::FromSample(copy.get(), length, maker);
        (void)ThinkwareCue::FromText(text, maker);
        if (cue.fix && cue.fix->valid != 0 && cue.fix->valid != 1)
            std::abort();
        break;
    }
    default:
        (void)novatek::DecodeBlock(copy.get(), length, maker);
        (void)novatek::DecodeRecord(copy.get(), length, maker);
        (void)teslaevent::ReadEventJson(text);
        break;
    }
    return 0;
}
