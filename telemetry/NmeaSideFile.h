#pragma once

#include "telemetry/TelemetryTrack.h"

#include <string_view>

// The NMEA side files dash cameras write beside their video files (.nmea, .NMEA, .gps), one
// sentence a line (LF or CR LF):
//   - RMC sentences of any talker ($GPRMC, $GNRMC, $GLRMC, $GARMC, $BDRMC) become fixes; a
//     sentence whose checksum (*hh) is missing or wrong is left out;
//   - $GSENSOR,x,y,z lines become G-sensor samples (in g; values beyond ±20 are read as
//     milli-g); a checksum, when there is one, must match;
//   - BlackVue's lines lead with [milliseconds since 1970] in brackets: that stamp is the
//     line's time.
// Each item's time is milliseconds after the file's first stamp: the bracketed stamp where
// lines have one, else the RMC's UTC date and time; a G-sensor line without a stamp of its own
// takes the time of the last stamp before it (0 before the first). Lines that are none of
// these, and bytes after a zero byte on a line, are ignored. The lists come out in ascending
// time (a stable sort keeps the file's order among equal times).
//
// Bounded work for any bytes; never reads outside the text. Any thread.
namespace nmea {

TelemetryTrack ReadSideFile(std::string_view text);

} // namespace nmea
