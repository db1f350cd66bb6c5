#include "TripCommands.h"

#include "CommandLine.h"
#include "FolderCommands.h"
#include "sources/TripPlan.h"
#include "telemetry/SpeedUnit.h"
#include "telemetry/TripFigures.h"
#include "ui/logic/TripRows.h"

#include <algorithm>
#include <cstdio>

int TripsCommand(const std::vector<std::string>& args) {
    std::string path;
    bool json = false;
    int64_t gapMs = trips::kDefaultGapMs;
    SpeedUnit unit = speedunit::DefaultFromEnvironment();
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--json") {
            json = true;
        } else if (a == "--gap") {
            if (i + 1 == args.size() || !ParseGapSeconds(args[++i], gapMs))
                return BadArguments(kGapComplaint);
        } else if (a == "--units") {
            if (i + 1 == args.size() || !ParseSpeedUnitWord(args[++i], unit))
                return BadArguments(kUnitsComplaint);
        } else if (a.rfind("--", 0) == 0 || !path.empty()) {
            return BadArguments("unexpected argument " + a);
        } else {
            path = a;
        }
    }
    if (path.empty())
        return BadArguments("trips needs a card folder, a dash-cam folder or a video file");
    const std::shared_ptr<VRecordingSource> source = OpenSourceOrTell(path);
    if (!source)
        return 1;
    const std::vector<SourceRecording>& list = source->Recordings();
    const std::vector<trips::Trip> drives = source->Trips(gapMs);
    if (json)
        std::fputs("[", stdout);
    for (size_t t = 0; t < drives.size(); ++t) {
        const TripPlan plan = tripplan::Plan(*source, drives[t]);
        const TripFigures figures = TripFigures::Of(tripplan::JoinedTrack(*source, plan),
                                                    std::max(drives[t].LengthMs(), plan.lengthMs));
        const SourceRecording& first = list[plan.members.front()];
        if (json) {
            std::printf("%s\n{\"trip\": %zu, \"start\": \"%s\", \"duration_s\": %.3f, "
                        "\"distance_km\": %.3f, \"top_speed_kmh\": %.1f, "
                        "\"average_speed_kmh\": %.1f, \"has_fixes\": %s, \"events\": %s, "
                        "\"recordings\": [",
                        t == 0 ? "" : ",", t + 1, IsoLocalTime(first.start).c_str(),
                        static_cast<double>(plan.lengthMs) / 1000.0, figures.distanceKm,
                        figures.topSpeedKmh, figures.averageKmh,
                        figures.hasFixes ? "true" : "false",
                        drives[t].holdsEvents ? "true" : "false");
            for (size_t k = 0; k < plan.members.size(); ++k) {
                const SourceRecording& member = list[plan.members[k]];
                std::printf("%s{\"name\": %s, \"category\": \"%s\", \"start\": \"%s\", "
                            "\"offset_s\": %.3f, \"length_s\": %.3f}",
                            k == 0 ? "" : ", ", JsonString(member.name).c_str(),
                            dashcam::CategoryWord(member.category),
                            IsoLocalTime(member.start).c_str(),
                            static_cast<double>(plan.OffsetMs(k)) / 1000.0,
                            static_cast<double>(plan.segments[k].lengthUs) / 1e6);
            }
            std::printf("]}");
            continue;
        }
        std::printf("trip %zu  %s  %s  %zu recording%s  %.1f %s  top %.0f %s  average %.0f "
                    "%s%s\n",
                    t + 1, IsoLocalTime(first.start).c_str(),
                    TripRows::LengthText(plan.lengthMs).c_str(), plan.members.size(),
                    plan.members.size() == 1 ? "" : "s",
                    speedunit::Distance(figures.distanceKm, unit), speedunit::DistanceName(unit),
                    speedunit::Speed(figures.topSpeedKmh, unit), speedunit::SpeedName(unit),
                    speedunit::Speed(figures.averageKmh, unit), speedunit::SpeedName(unit),
                    drives[t].holdsEvents ? "  events" : "");
        for (size_t k = 0; k < plan.members.size(); ++k) {
            const SourceRecording& member = list[plan.members[k]];
            std::printf("  %-8s %-32s %s  at %s\n", dashcam::CategoryWord(member.category),
                        member.name.c_str(),
                        TripRows::LengthText(plan.segments[k].lengthUs / 1000).c_str(),
                        TripRows::LengthText(plan.OffsetMs(k)).c_str());
        }
    }
    if (json)
        std::fputs("\n]\n", stdout);
    return 0;
}

int ExportTripTrack(const std::string& path, int trip, int64_t gapMs, const std::string& out,
                    TrackFormat format, SpeedUnit unit) {
    if (!out.empty() && InsideCardStorage(path, out))
        return CommandFailed(out + " lies inside the card's storage");
    const std::shared_ptr<VRecordingSource> source = OpenSourceOrTell(path);
    if (!source)
        return 1;
    const std::vector<trips::Trip> drives = source->Trips(gapMs);
    if (trip < 1 || static_cast<size_t>(trip) > drives.size())
        return CommandFailed("no trip " + std::to_string(trip) + " in " + path + " (" +
                             std::to_string(drives.size()) + " trips)");
    const TripPlan plan = tripplan::Plan(*source, drives[static_cast<size_t>(trip) - 1]);
    const std::string name = source->Recordings()[plan.members.front()].name;
    return WriteTrack(tripplan::JoinedTrack(*source, plan), name, out, format, unit);
}
