#include "clips/ClipPlan.h"

#include <algorithm>

namespace clips {

int ClipPlan::PartAt(int64_t lineMs) const {
    int found = -1;
    for (size_t k = 0; k < parts.size(); ++k)
        if (lineMs >= parts[k].lineStartMs)
            found = static_cast<int>(k);
    return found;
}

ClipMark ClipPlan::MarkAt(int64_t lineMs) const {
    const int k = PartAt(lineMs);
    if (k < 0)
        return parts.empty() ? ClipMark{} : ClipMark{parts.front().recording, 0};
    const ClipPart& part = parts[static_cast<size_t>(k)];
    return {part.recording, lineMs - part.lineStartMs};
}

namespace {

// The trip of the source that holds recording `index`; nullopt for none.
std::optional<trips::Trip> TripOf(const VRecordingSource& source, size_t index, int64_t gapMs) {
    for (trips::Trip& trip : source.Trips(gapMs))
        if (std::find(trip.members.begin(), trip.members.end(), index) != trip.members.end())
            return std::move(trip);
    return std::nullopt;
}

// The members of `trip` from position first to position last (inclusive), as a trip of its own.
trips::Trip Slice(const trips::Trip& trip, size_t first, size_t last) {
    trips::Trip slice = trip;
    slice.members.assign(trip.members.begin() + static_cast<std::ptrdiff_t>(first),
                         trip.members.begin() + static_cast<std::ptrdiff_t>(last) + 1);
    return slice;
}

size_t PositionOf(const trips::Trip& trip, size_t index) {
    return static_cast<size_t>(std::find(trip.members.begin(), trip.members.end(), index) -
                               trip.members.begin());
}

ClipPlan MakePlan(const VRecordingSource& source, const trips::Trip& slice) {
    ClipPlan clip;
    clip.plan = tripplan::Plan(source, slice);
    const std::vector<SourceRecording>& list = source.Recordings();
    for (size_t m = 0; m < clip.plan.members.size(); ++m) {
        const SourceRecording& recording = list[clip.plan.members[m]];
        clip.parts.push_back({m, recording.name, recording.start, clip.plan.OffsetMs(m),
                              clip.plan.segments[m].lengthUs / 1000});
    }
    return clip;
}

// Keeps only the parts the span [startMs, endMs) touches.
void TrimParts(ClipPlan& clip) {
    std::vector<ClipPart> kept;
    for (const ClipPart& part : clip.parts)
        if (part.lineStartMs < clip.endMs && part.lineStartMs + part.lengthMs > clip.startMs)
            kept.push_back(part);
    if (!kept.empty())
        clip.parts = std::move(kept);
}

} // namespace

ClipPlanning PlanClip(const VRecordingSource& source, const ClipMark& from, const ClipMark& to,
                      int64_t gapMs) {
    ClipPlanning out;
    const int first = source.Find(from.recording);
    if (first < 0) {
        out.error = "there is no recording " + from.recording;
        return out;
    }
    const int last = source.Find(to.recording);
    if (last < 0) {
        out.error = "there is no recording " + to.recording;
        return out;
    }
    const std::optional<trips::Trip> trip = TripOf(source, static_cast<size_t>(first), gapMs);
    if (!trip) {
        out.error = "recording " + from.recording + " belongs to no drive";
        return out;
    }
    const size_t a = PositionOf(*trip, static_cast<size_t>(first));
    const size_t b = PositionOf(*trip, static_cast<size_t>(last));
    if (b >= trip->members.size()) {
        out.error = "the end (" + to.recording + ") lies in another drive than the start";
        return out;
    }
    if (b < a) {
        out.error = "the end lies before the start";
        return out;
    }
    ClipPlan clip = MakePlan(source, Slice(*trip, a, b));
    const ClipPart& head = clip.parts.front();
    const ClipPart& tail = clip.parts.back();
    clip.startMs = head.lineStartMs + std::clamp<int64_t>(from.offsetMs, 0, head.lengthMs);
    clip.endMs = tail.lineStartMs + std::clamp<int64_t>(to.offsetMs, 0, tail.lengthMs);
    if (clip.endMs <= clip.startMs) {
        out.error = "the end lies before the start";
        return out;
    }
    TrimParts(clip);
    out.plan = std::move(clip);
    return out;
}

std::optional<ClipPlanning> PlanEventClip(const VRecordingSource& source,
                                          const std::string& recording,
                                          const ClipDefaults& defaults, int64_t gapMs) {
    const int index = source.Find(recording);
    if (index < 0)
        return std::nullopt;
    ClipPlanning out;
    const std::optional<trips::Trip> trip = TripOf(source, static_cast<size_t>(index), gapMs);
    if (!trip) {
        out.error = "recording " + recording + " belongs to no drive";
        return out;
    }
    // The recording with its neighbours, so that the default span may reach into them.
    const size_t at = PositionOf(*trip, static_cast<size_t>(index));
    const size_t a = at > 0 ? at - 1 : at;
    const size_t b = std::min(at + 1, trip->members.size() - 1);
    ClipPlan clip = MakePlan(source, Slice(*trip, a, b));
    const int64_t eventStart = clip.plan.OffsetMs(at - a);
    clip.startMs = std::max<int64_t>(0, eventStart - defaults.beforeEventMs);
    clip.endMs = std::min(clip.plan.lengthMs, eventStart + defaults.afterEventMs);
    if (clip.endMs <= clip.startMs) {
        out.error = "recording " + recording + " has no length to clip";
        return out;
    }
    TrimParts(clip);
    out.plan = std::move(clip);
    return out;
}

} // namespace clips
