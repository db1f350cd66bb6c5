#pragma once

#include "telemetry/TelemetryTrack.h"

#include <functional>
#include <future>
#include <optional>
#include <string>
#include <vector>

// Reads the telemetry of a dash-cam folder's recording (RecordingTelemetry::Load on its
// files) on a thread of its own, so that opening the recording does not wait for it: a side
// file is read in a moment, but a transport stream, or an MP4 cut off before its index, is
// read whole. One load counts at a time; starting another abandons the one before, whose
// result is then never handed out.
//
// Owned by the playback controller; Start, Cancel and Take are called from one thread (the
// window's). Each load runs on a thread of its own and touches nothing but its files; the
// destructor waits for loads still running.
class TrackLoader {
public:
    TrackLoader() = default;
    ~TrackLoader() = default; // the futures wait for their loads
    TrackLoader(const TrackLoader&) = delete;
    TrackLoader& operator=(const TrackLoader&) = delete;

    // Starts reading the files; the load started before is abandoned.
    void Start(const std::vector<std::string>& files);
    // Starts a load of any kind (a recording source's LoadTrack, a drive's tracks joined); it
    // runs on the load's thread and must touch nothing the window changes.
    void Start(std::function<TelemetryTrack()> load);
    // Abandons the load in progress, if any.
    void Cancel();
    // The track of the latest Start once it has been read, handed out once; nullopt while it
    // is being read, after it was taken, and after Cancel.
    std::optional<TelemetryTrack> Take();

private:
    // Forgets the abandoned loads that have finished.
    void Reap();

    std::future<TelemetryTrack> m_load;
    std::vector<std::future<TelemetryTrack>> m_abandoned; // still running when abandoned
};
