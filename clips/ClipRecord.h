#pragma once

#include "clips/ClipPlan.h"
#include "evidence/Manifest.h"
#include "telemetry/TelemetryTrack.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The pieces of a clip's record beside it: the names of the files an export writes, the
// clip's telemetry on its own time line (for its GPX and CSV), and the points and clock offset
// its evidence manifest holds.
//
// Plain functions; any thread (the wall-clock texts ask the C library for the machine's zone,
// as evidence::IsoWallClock does).
namespace clips {

// Every file of one export, by path.
struct ClipPaths {
    std::string clip;                 // the clip, or the first camera's lossless copy
    std::vector<std::string> cameras; // lossless: the further cameras' copies, in channel order
    std::string gpx;                  // "<stem>.gpx"
    std::string csv;                  // "<stem>.csv"
    std::string manifest;             // "<stem>.manifest.json"
    std::string report;               // "<stem>.report.txt"

    // All of them: the clip, the cameras, the GPX, the CSV, the manifest, the report.
    std::vector<std::string> All() const;
};

// The paths for a clip written to outPath ("<folder>/<stem>.mp4"); channels: the cameras of a
// lossless copy, the first one's at outPath and each further one at "<stem>-<camera>.mp4"
// (CameraName); empty for a re-encoded clip.
ClipPaths PathsFor(const std::string& outPath, const std::vector<int>& channels = {});

// The items of a track on the plan's line from fromMs (inclusive) to toMs (exclusive), their
// times counted from fromMs.
TelemetryTrack ClipTrack(const TelemetryTrack& line, int64_t fromMs, int64_t toMs);

// The camera's clock minus GPS time over the fixes of the line's track from fromMs to toMs
// (CameraClockOffsetMs): each fix taken to its recording's start on the camera's clock, the
// machine's zone (at the first recording's start) as the camera's. Nullopt without a usable fix.
std::optional<int64_t> CameraMinusGpsMs(const ClipPlan& plan, const TelemetryTrack& line,
                                        int64_t fromMs, int64_t toMs);

// A time of the plan's line as the manifest's point: the recording and the milliseconds into it,
// and that moment on the wall clock (IsoWallClock of the recording's start).
evidence::ClipPoint PointAt(const ClipPlan& plan, int64_t lineMs);

// What a re-encoded clip's overlay shows, in the manifest's words; "car" (gear, pedals,
// steering, turn signals, driver assist) when the clip's track holds the car's own states.
std::vector<std::string> OverlayFields(bool carStates);

// The manifest's word for the layout of a lossless copy: one file per camera.
inline constexpr char kLosslessLayout[] = "per-camera";

} // namespace clips
