#pragma once

#include "telemetry/TelemetryTrack.h"

#include <string>

// tatcard gpx and csv: a recording's telemetry taken out as GPX (the route) or CSV (every
// fix and G-sensor sample). The reading of the telemetry and the writing are apart, so that
// every kind of recording goes through the same writer.

enum class TrackFormat { kGpx, kCsv };

// The telemetry of the camera-storage recording `name` on the card in folder `card`, every
// text-channel line at the time of the front frame before it. False (after one line on
// standard error) when the card or the recording cannot be read; a recording that breaks off
// gives the lines before the break.
bool ReadCardTrack(const std::string& card, const std::string& name, TelemetryTrack& track);

// Writes the track in the format to `out`, or to standard output when out is empty. A file is
// replaced only once whole. Returns the exit status: 0 written (a track without fixes still
// gives a valid document, with a note on standard error), 1 when the file cannot be written.
int WriteTrack(const TelemetryTrack& track, const std::string& name, const std::string& out,
               TrackFormat format);

// gpx / csv SOURCE NAME [OUT]: the two above; an OUT inside the card's storage folder is
// refused before anything is read.
int ExportTrack(const std::string& source, const std::string& name, const std::string& out,
                TrackFormat format);
