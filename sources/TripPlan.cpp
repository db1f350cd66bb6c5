#include "sources/TripPlan.h"

#include <algorithm>

int TripPlan::MemberAt(int64_t timeMs) const {
    if (segments.empty())
        return -1;
    const int64_t timeUs = timeMs * 1000;
    const auto after = std::upper_bound(
        segments.begin(), segments.end(), timeUs,
        [](int64_t t, const TripSegment& segment) { return t < segment.offsetUs; });
    return after == segments.begin() ? 0 : static_cast<int>(after - segments.begin()) - 1;
}

int64_t TripPlan::OffsetMs(size_t m) const {
    return m < segments.size() ? segments[m].offsetUs / 1000 : 0;
}

namespace tripplan {

TripPlan Plan(const VRecordingSource& source, const trips::Trip& trip) {
    const std::vector<SourceRecording>& list = source.Recordings();
    TripPlan plan;
    int64_t at = 0;
    for (size_t k = 0; k < trip.members.size(); ++k) {
        const size_t index = trip.members[k];
        if (index >= list.size())
            continue;
        int64_t length = source.PlayLengthMs(index);
        if (length <= 0)
            length = list[index].lengthMs;
        if (length <= 0 && k + 1 < trip.members.size() && trip.members[k + 1] < list.size()) {
            const int64_t next =
                (list[trip.members[k + 1]].start.ToSeconds() - list[index].start.ToSeconds()) *
                1000;
            if (next > 0 && next <= trips::kUnknownSpanMs)
                length = next;
        }
        if (length <= 0)
            length = 60000;
        plan.members.push_back(index);
        plan.segments.push_back({list[index].name, at * 1000, length * 1000});
        at += length;
    }
    plan.lengthMs = at;
    return plan;
}

TelemetryTrack JoinedTrack(const VRecordingSource& source, const TripPlan& plan) {
    TelemetryTrack joined;
    for (size_t k = 0; k < plan.members.size(); ++k) {
        TelemetryTrack one = source.LoadTrack(source.Recordings()[plan.members[k]].name);
        const int64_t offset = plan.OffsetMs(k);
        const int64_t end = offset + plan.segments[k].lengthUs / 1000;
        for (TimedFix& fix : one.fixes)
            if ((fix.timeMs += offset) < end)
                joined.fixes.push_back(fix);
        for (TimedAcceleration& sample : one.accelerations)
            if ((sample.timeMs += offset) < end)
                joined.accelerations.push_back(sample);
        for (TimedCarState& state : one.carStates)
            if ((state.timeMs += offset) < end)
                joined.carStates.push_back(state);
    }
    joined.SortByTime();
    return joined;
}

std::unique_ptr<CTripParser> MakeParser(const std::shared_ptr<VRecordingSource>& source,
                                        const TripPlan& plan) {
    if (!source || plan.segments.empty())
        return nullptr;
    std::string first;
    if (!source->NewParser(plan.segments.front().name, first))
        return nullptr; // no media parsers in this program
    // Every parser of the source opens every one of its recordings.
    const std::string name = plan.segments.front().name;
    std::weak_ptr<VRecordingSource> weak = source;
    auto parser = std::make_unique<CTripParser>([weak, name]() -> std::unique_ptr<VMediaParser> {
        const std::shared_ptr<VRecordingSource> held = weak.lock();
        std::string openName;
        return held ? held->NewParser(name, openName) : nullptr;
    });
    std::vector<TripSegment> segments = plan.segments;
    // The names the parsers open.
    for (TripSegment& segment : segments)
        segment.name = source->OpenName(segment.name);
    parser->SetSegments(std::move(segments));
    return parser;
}

} // namespace tripplan
