#pragma once

#include "telemetry/TelemetryTrack.h"

#include <string>
#include <vector>

// The telemetry of a recording of a dash-cam folder, from all its files (video and side
// files; the player hands it every one): the one place that knows which file holds which kind
// of telemetry. NMEA side files (.nmea, .gps, any case) are read
// with nmea::ReadSideFile; files of other kinds (the video files themselves, binary side
// files) hold nothing it reads yet. The tracks of several files are merged in time order.
//
// Reads each file whole, up to kMaxFileBytes (a larger one is read that far). A file that
// does not open adds nothing. Any thread.
class RecordingTelemetry {
public:
    static constexpr size_t kMaxFileBytes = 64u << 20;

    static TelemetryTrack Load(const std::vector<std::string>& files);
};
