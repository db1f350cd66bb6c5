#pragma once

#include "clips/ClipRequest.h"
#include "sources/TripPlan.h"
#include "sources/VRecordingSource.h"
#include "storage/CivilTime.h"
#include "ui/logic/ClipMarks.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The ends of a clip as the export takes them: each a recording and the milliseconds into it,
// with the span on the line that played and the camera's wall-clock time at either end (what
// the dialog shows and the default file name is made of).
struct ClipEnds {
    clips::ClipMark from;
    clips::ClipMark to;
    ClipSpan line;             // ms of the line that played
    int64_t wallStartSec = -1; // CivilTime seconds (the camera's local clock); -1 unknown
    int64_t wallEndSec = -1;
    bool operator==(const ClipEnds&) const = default;
};

// The time line that plays, as the clip export sees it: a drive's recordings back to back
// (TripPlan's line, the gaps left out) or one recording alone from 0 to its length. It turns
// times of that line into the recordings and offsets a clip's marks name.
//
// Plain values, copied from the controller's plan and the source's listing when the export is
// asked for; the window's thread.
class ClipLine {
public:
    struct Member {
        std::string name;
        int category = 1;     // as SourceRecording: 0 event, 1 normal, 2 parking, 3 manual
        CivilTime start;      // its wall-clock start (the name's time)
        int64_t offsetMs = 0; // where it starts on the line
        int64_t lengthMs = 0; // how long it plays there
    };

    ClipLine() = default;
    // The line of a drive that plays: its members in order. Members whose index the listing
    // does not hold are left out.
    static ClipLine OfDrive(const TripPlan& plan, const std::vector<SourceRecording>& recordings);
    // One recording played alone, lengthMs long (the engine's duration).
    static ClipLine OfRecording(const SourceRecording& recording, int64_t lengthMs);

    const std::vector<Member>& Members() const { return m_members; }
    bool Empty() const { return m_members.empty(); }
    int64_t LengthMs() const { return m_lengthMs; }

    // The start of the event recording that plays at nowMs, on the line; nullopt when what
    // plays there is no event recording.
    std::optional<int64_t> EventStartAt(int64_t nowMs) const;

    // A time of the line (clamped to it) as a recording and the time into it. On the border of
    // two recordings a start names the later one at 0 and an end the earlier one at its end, so
    // that a clip never reaches into a recording it does not show.
    clips::ClipMark StartMark(int64_t lineMs) const;
    clips::ClipMark EndMark(int64_t lineMs) const;
    // The wall-clock time at a time of the line (the member's start plus the time into it,
    // whole seconds); -1 on an empty line.
    int64_t WallSecondsAt(int64_t lineMs, bool end) const;

    // The clip of a span of this line.
    ClipEnds Ends(const ClipSpan& span) const;

private:
    // The member a time falls in; at a border the later one (start) or the earlier (end).
    int MemberAt(int64_t lineMs, bool end) const;

    std::vector<Member> m_members;
    int64_t m_lengthMs = 0;
};
