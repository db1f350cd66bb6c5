#pragma once

#include "telemetry/TelemetryTrack.h"

#include <string>
#include <vector>

// The telemetry of a recording of a dash-cam folder, from all its files (video and side
// files; the player hands it every one): the one place that knows which file holds which kind
// of telemetry. Side files come first: NMEA text (.nmea, .gps, any case; nmea::ReadSideFile)
// and BlackVue's binary G-sensor records (.3gf). A kind (fixes, G-sensor samples) that no
// side file holds is taken from the data embedded in the video files (EmbeddedTelemetry), from
// the first video file (MP4, MOV, TS) that holds any. The tracks of several files are merged in
// time order. For a car with built-in cameras (its file names), the driving data in its
// front video (CarSeiReader) becomes the track's car states; their positions make the
// fixes where no other file gives any, and their speed replaces the receiver's.
//
// Reads each side file whole, up to kMaxFileBytes (a larger one is read that far); a video
// file is read as EmbeddedTelemetry says (a few small reads for an MP4 with its index; a
// transport stream or a cut-off MP4 whole, tens of milliseconds for a minute of 1080p, so
// call it off the window's thread). A file that does not open adds nothing. Any thread.
class RecordingTelemetry {
public:
    static constexpr size_t kMaxFileBytes = 64u << 20;

    static TelemetryTrack Load(const std::vector<std::string>& files);
};
