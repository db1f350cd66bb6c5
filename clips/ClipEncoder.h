#pragma once

#include "clips/ClipPlan.h"
#include "clips/ClipRequest.h"
#include "player/api/VMediaParser.h"
#include "telemetry/TelemetryTrack.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

// The re-encoded clip: the drive's packets decoded (libavcodec), laid out and written over
// (libavfilter: scale, overlay, xstack, drawtext), coded again as H.264 (libx264) with AAC
// sound (the native encoder) and written as MP4 (libavformat).
namespace clips {

using ProgressFn = std::function<void(const ClipProgress&)>;

struct EncodeInput {
    // Reads the drive as one recording on the plan's line (tripplan::MakeParser), started and
    // opened by the caller, who owns it; the encoder seeks it and reads it to the clip's end.
    VMediaParser* parser = nullptr;
    const ClipPlan* plan = nullptr; // the clip's span and recordings; outlives the call
    TelemetryTrack track;           // the drive's telemetry on the plan's line
    int cameras = 1;                // video channels the recording holds (1 or more)
};

struct EncodeSettings {
    Layout layout = Layout::kPip;
    bool overlay = true;
    int crf = kDefaultCrf;
    std::string preset = kDefaultPreset;
    bool sound = true;
    SpeedUnit units = SpeedUnit::kKmh;
};

struct EncodeOutcome {
    bool ok = false;
    bool cancelled = false;
    std::string error;    // for people, with the reason ("No space left on device")
    int64_t frames = 0;   // pictures written
    int64_t lengthMs = 0; // the written clip's length
};

// Writes the clip from plan->startMs to plan->endMs to `path` (a temporary file the caller
// renames; left for the caller to remove on failure). Progress is called on this thread after
// every few pictures; `cancel` is read as often and stops the export with cancelled set.
// Blocking, on the exporting thread; one export per call, any number of calls at a time.
EncodeOutcome EncodeClip(const EncodeInput& input, const EncodeSettings& settings,
                         const std::string& path, const ProgressFn& progress,
                         const std::atomic<bool>& cancel);

} // namespace clips
