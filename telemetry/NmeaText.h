#pragma once

#include "CGPSData.h"
#include "TelemetryTrack.h"

#include <cstdint>
#include <string_view>
#include <vector>

// NMEA text as cameras write it beside or inside their videos: one sentence a line (LF or
// CR LF), each line optionally led by a time stamp in square brackets, "[1591014322123]$GPRMC,...".
// Only RMC sentences make fixes.

class FixMaker;

// One RMC sentence of any talker (GP, GN, GL, GA, BD), from the '$' (which may be missing)
// to the end of the line; a checksum "*hh" after the fields must match the XOR of the
// characters between '$' and '*'. Fields are taken by their position, empty ones as absent
// (an empty course is 0, not the date moved up). True and the fix in `out` (the CGPSData
// fields as for the card's text channel, see FixMaker) when the sentence is such an RMC with
// at least its first nine fields and numbers where numbers belong. `maker` (optional) speeds
// up many sentences of one day.
bool ParseRmcSentence(std::string_view sentence, CGPSData& out, FixMaker* maker = nullptr);

// A fix and the stamp of its line, in the stamp's own milliseconds (-1: the line had none).
struct StampedFix {
    int64_t stampMs = -1;
    CGPSData fix;
};

// Every RMC sentence of the text that ParseRmcSentence takes, in text order. The text ends at
// its first zero byte. Lines of any length are read; other sentences and broken lines are
// skipped.
std::vector<StampedFix> ReadNmeaLines(std::string_view text);

// The fixes of NMEA text at their time in the recording. Stamped lines: the stamp less
// `startStampMs`, the recording's first picture on the stamps' clock; with startStampMs < 0,
// less the first stamp. Lines without stamps: by the fixes' UTC time, the first dated fix at
// 0. Fixes that would come before the recording's start are left out.
std::vector<TimedFix> TimedFixesFromNmea(std::string_view text, int64_t startStampMs = -1);
