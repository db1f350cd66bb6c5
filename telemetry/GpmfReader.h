#pragma once

#include "FixMaker.h"
#include "TelemetryTrack.h"

#include <cstddef>
#include <cstdint>

// Reads the GPS and accelerometer streams of one GPMF payload (the samples of an action
// camera's `gpmd` data track). GPMF is a list of KLV items: a four-character key, a type
// character, a u8 structure size, a u16 BE repeat count, then size × repeat bytes of values
// padded to four bytes; type 0 holds nested items (DEVC holds STRM streams). In a stream,
// SCAL divides the values that follow it (one divisor, or one per field), GPSU is the UTC
// time of the first GPS sample ("yymmddhhmmss.sss"), GPSF the fix (0: none, 2: 2-D, 3: 3-D),
// GPS5 latitude, longitude (degrees), altitude (m), 2-D and 3-D speed (m/s), and ACCL three
// accelerations in m/s².
//
// The samples of a stream are spread evenly over the payload's time. Every item is checked
// against the payload; nesting deeper than kMaxDepth is not read.
//
// Not thread-safe (the fix maker); one reader per thread.
class GpmfReader {
public:
    static constexpr int kMaxDepth = 8;
    // Standard gravity, m/s² per g.
    static constexpr double kStandardGravity = 9.80665;

    // Appends the payload's fixes and accelerations to track. startMs and durationMs: the
    // payload's sample in the recording.
    void ReadPayload(const uint8_t* data, size_t size, int64_t startMs, int64_t durationMs,
                     TelemetryTrack& track);

private:
    struct Stream;
    void ReadItems(const uint8_t* data, size_t size, int depth, Stream* stream,
                   TelemetryTrack& track);
    void EndStream(const Stream& stream, TelemetryTrack& track);

    int64_t m_startMs = 0;
    int64_t m_durationMs = 0;
    FixMaker m_maker;
};
