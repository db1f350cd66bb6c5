#pragma once

#include "ByteSource.h"
#include "TelemetryTrack.h"

#include <string>

// Which embedded telemetry a video file holds.
enum class TelemetryFormat {
    kNone,
    kBlackVue,  // top-level `free` box with `gps ` and `3gf `
    kNovatek,   // GPS blocks indexed by the movie's `gps ` box, or found by a scan
    kNovatekTs, // GPS records in private PES packets of a transport stream
    kGpmf,      // `gpmd` data track
    kThinkware, // tx3g subtitle track of "gsensori,...;GNRMC,..." cues
};

// "none", "blackvue", "novatek", "novatek-ts", "gpmf", "thinkware".
const char* TelemetryFormatName(TelemetryFormat format);

// The GPS fixes and G-sensor samples embedded in one video file (MP4, MOV or MPEG-TS), at
// their time in the file: detects which of the formats above the file holds and reads it.
// A file without telemetry, or one that cannot be read, gives an empty track; no input
// crashes, hangs or is read outside its bounds. Fixes and samples come in ascending time.
//
// An MP4 file is read in a few small reads (top-level box headers, the movie box, the
// telemetry's own boxes or samples); only a file without its movie box (cut off by a power
// cut) is scanned whole for GPS blocks, and a transport stream is read whole.
//
// Threads: any thread; no state is shared between calls.
class EmbeddedTelemetry {
public:
    // The telemetry of the file at path; format (optional) says which was found.
    static TelemetryTrack Read(const std::string& path, TelemetryFormat* format = nullptr);
    // The same for bytes from any source.
    static TelemetryTrack Read(ByteSource& source, TelemetryFormat* format = nullptr);
};
