#pragma once

#include "telemetry/SpeedUnit.h"
#include "telemetry/TelemetryTrack.h"

#include <string>

// tatcard gpx and csv: a recording's telemetry taken out as GPX (the route) or CSV (every
// fix and G-sensor sample). The reading of the telemetry and the writing are apart, so that
// every kind of recording goes through the same writer.

enum class TrackFormat { kGpx, kCsv };

// Writes the track in the format to `out`, or to standard output when out is empty. A file is
// replaced only once whole. Returns the exit status: 0 written (a track without fixes still
// gives a valid document, with a note on standard error), 1 when the file cannot be written.
// unit: the CSV's speed column (GPX speeds are m/s, as its extension's schema has them).
int WriteTrack(const TelemetryTrack& track, const std::string& name, const std::string& out,
               TrackFormat format, SpeedUnit unit = SpeedUnit::kKmh);

// gpx / csv SOURCE NAME [OUT]: the recording's telemetry (VRecordingSource::LoadTrack: a
// card's text lines each at the time of the front frame before it, a folder's files) through
// WriteTrack; an OUT inside the card's storage folder is refused before anything is read.
int ExportTrack(const std::string& source, const std::string& name, const std::string& out,
                TrackFormat format, SpeedUnit unit = SpeedUnit::kKmh);

// Whether the folder that would hold `out` is the storage folder of the card in `card` or lies
// inside it (by device and inode, so another path to it is caught too).
bool InsideCardStorage(const std::string& card, const std::string& out);
