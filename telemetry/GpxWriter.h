#pragma once

#include "TelemetryTrack.h"
#include "base/FileIo.h"

#include <string>
#include <string_view>

// Writes the route of a recording as GPX 1.1: one track (named after the recording) with one
// segment of the fixes FixFilter keeps, each with its UTC time where the fix has a date,
// latitude and longitude with seven decimals, and the speed in m/s in the Garmin
// TrackPointExtension (v2) that map tools read.
//
// A track with a car's own data (car states) declares the namespace tatv ("urn:tatview:car:1")
// too; a fix made at a car state's time then carries the car's heading as gpxtpx:course and
// its fields in <tatv:car>: gear (P, D, R, N), accelerator (percent), brake, steering
// (degrees), blinkerLeft, blinkerRight (1 or 0) and assist (off, self-driving, autosteer,
// cruise), each only where the state has it.
class GpxWriter {
public:
    // The whole document; a track without kept fixes gives a document with an empty segment.
    static std::string Write(const TelemetryTrack& track, std::string_view name);
    // Writes the document to the file at path, replacing it only once whole (a temporary
    // file beside it, flushed and renamed).
    static fileio::Result WriteFile(const TelemetryTrack& track, std::string_view name,
                                    const std::string& path);
    // How many fixes Write puts into the document.
    static size_t PointCount(const TelemetryTrack& track);
};
