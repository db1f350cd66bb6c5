#pragma once

#include "player/source/CTripParser.h"
#include "sources/VRecordingSource.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One drive laid out for playing: its recordings back to back on one time line, each as long
// as it plays (VRecordingSource::PlayLengthMs), the gaps between them left out, so the
// slider, the time texts and the seeks of the drive all count on that line.
struct TripPlan {
    std::vector<size_t> members;       // indexes into the source's Recordings(), in time order
    std::vector<TripSegment> segments; // the same order: open names, offsets and lengths (µs)
    int64_t lengthMs = 0;              // the whole line

    // The member that plays at a time of the line (ms); 0 before the first, -1 when empty.
    int MemberAt(int64_t timeMs) const;
    // Where member m starts on the line (ms); 0 for one out of range.
    int64_t OffsetMs(size_t m) const;
};

namespace tripplan {

// The plan of a trip of the source. A recording whose play length cannot be read counts with
// its listed length, else until the next one starts (at most the unknown span), else 60 s.
// Reads each member's header (PlayLengthMs); the caller's thread.
TripPlan Plan(const VRecordingSource& source, const trips::Trip& trip);

// The telemetry of the plan's recordings on its time line: each member's track (LoadTrack)
// moved to where it starts, items past its play length left out. Blocking, any thread; reads
// every member.
TelemetryTrack JoinedTrack(const VRecordingSource& source, const TripPlan& plan);

// A parser that plays the plan's recordings as one (CTripParser), reading through parsers of
// the source's own (NewParser); null where the source has none (a program without media
// parsers). The source must outlive the parser.
std::unique_ptr<CTripParser> MakeParser(const std::shared_ptr<VRecordingSource>& source,
                                        const TripPlan& plan);

} // namespace tripplan
