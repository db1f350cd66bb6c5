#include "clips/ClipRecord.h"

#include "evidence/IsoTime.h"
#include "evidence/Report.h"
#include "telemetry/ClockOffset.h"

#include <algorithm>
#include <filesystem>

namespace clips {

namespace {

// Local wall-clock time minus UTC in the machine's zone at a local time (daylight saving time
// as the zone has it then); 0 when the C library cannot tell.
int64_t ZoneOffsetSeconds(const CivilTime& local) {
    return local.ToSeconds() - evidence::LocalToUnixSeconds(local);
}

std::string Beside(const std::string& outPath, const std::string& tail) {
    const std::filesystem::path path(outPath);
    return (path.parent_path() / (path.stem().string() + tail)).string();
}

} // namespace

std::vector<std::string> ClipPaths::All() const {
    std::vector<std::string> all{clip};
    all.insert(all.end(), cameras.begin(), cameras.end());
    all.insert(all.end(), {gpx, csv, manifest, report});
    return all;
}

ClipPaths PathsFor(const std::string& outPath, const std::vector<int>& channels) {
    ClipPaths paths;
    paths.clip = outPath;
    for (size_t k = 1; k < channels.size(); ++k)
        paths.cameras.push_back(Beside(outPath, "-" + CameraName(channels[k]) + ".mp4"));
    paths.gpx = Beside(outPath, ".gpx");
    paths.csv = Beside(outPath, ".csv");
    paths.manifest = evidence::ManifestPathFor(outPath);
    paths.report = evidence::ReportPathFor(outPath);
    return paths;
}

TelemetryTrack ClipTrack(const TelemetryTrack& line, int64_t fromMs, int64_t toMs) {
    TelemetryTrack clip;
    for (TimedFix fix : line.fixes)
        if (fix.timeMs >= fromMs && fix.timeMs < toMs) {
            fix.timeMs -= fromMs;
            clip.fixes.push_back(fix);
        }
    for (TimedAcceleration sample : line.accelerations)
        if (sample.timeMs >= fromMs && sample.timeMs < toMs) {
            sample.timeMs -= fromMs;
            clip.accelerations.push_back(sample);
        }
    for (TimedCarState state : line.carStates)
        if (state.timeMs >= fromMs && state.timeMs < toMs) {
            state.timeMs -= fromMs;
            clip.carStates.push_back(state);
        }
    return clip;
}

std::optional<int64_t> CameraMinusGpsMs(const ClipPlan& plan, const TelemetryTrack& line,
                                        int64_t fromMs, int64_t toMs) {
    if (plan.parts.empty())
        return std::nullopt;
    const int64_t firstStart = plan.parts.front().localStart.ToSeconds();
    std::vector<TimedFix> fixes;
    for (TimedFix fix : line.fixes) {
        if (fix.timeMs < fromMs || fix.timeMs >= toMs)
            continue;
        const int k = plan.PartAt(fix.timeMs);
        if (k < 0)
            continue;
        const ClipPart& part = plan.parts[static_cast<size_t>(k)];
        // On the camera's clock, counted from the first recording's start.
        fix.timeMs =
            (part.localStart.ToSeconds() - firstStart) * 1000 + (fix.timeMs - part.lineStartMs);
        fixes.push_back(fix);
    }
    return CameraClockOffsetMs(firstStart, ZoneOffsetSeconds(plan.parts.front().localStart), fixes);
}

evidence::ClipPoint PointAt(const ClipPlan& plan, int64_t lineMs) {
    evidence::ClipPoint point;
    const ClipMark mark = plan.MarkAt(lineMs);
    point.recording = mark.recording;
    point.offsetMs = mark.offsetMs;
    const int k = plan.PartAt(lineMs);
    const CivilTime start = plan.parts.empty()
                                ? CivilTime{}
                                : plan.parts[static_cast<size_t>(std::max(k, 0))].localStart;
    point.wallClock = evidence::IsoWallClock(start, mark.offsetMs);
    return point;
}

std::vector<std::string> OverlayFields(bool carStates) {
    std::vector<std::string> fields = {"time", "speed", "place", "recording", "g-force"};
    if (carStates)
        fields.emplace_back("car");
    return fields;
}

} // namespace clips
