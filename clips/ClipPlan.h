#pragma once

#include "clips/ClipRequest.h"
#include "sources/TripPlan.h"
#include "storage/CivilTime.h"
#include "ui/logic/ClipMarks.h"

#include <cstdint>
#include <string>
#include <vector>

// Where a clip lies: the drive its marks fall in, laid out as one time line (TripPlan), and the
// clip's start and end on that line. A clip within one recording is a drive of one.
namespace clips {

// One recording the clip touches, for the overlay's time and the evidence record.
struct ClipPart {
    size_t member = 0;       // index into the plan's members
    std::string recording;   // its name
    CivilTime localStart;    // when it began on the camera's clock (the name's time)
    int64_t lineStartMs = 0; // where it starts on the plan's line
    int64_t lengthMs = 0;    // how long it plays there
};

struct ClipPlan {
    TripPlan plan;
    int64_t startMs = 0; // the clip on the plan's line; startMs < endMs
    int64_t endMs = 0;
    std::vector<ClipPart> parts; // the recordings from the start's to the end's, in order
    // The part a time of the line falls in (the last one from its end on); -1 before the first.
    int PartAt(int64_t lineMs) const;
    // A time of the line as a recording's name and the milliseconds into it.
    ClipMark MarkAt(int64_t lineMs) const;
};

// The clip's plan, or why there is none ("recording 2024_0101_101010_F is not on the card",
// "the end lies before the start", "the end lies in another drive"). Reads the headers of the
// drive's recordings (TripPlan); the caller's thread.
struct ClipPlanning {
    std::optional<ClipPlan> plan;
    std::string error;
};
ClipPlanning PlanClip(const VRecordingSource& source, const ClipMark& from, const ClipMark& to,
                      int64_t gapMs = trips::kDefaultGapMs);

// The default marks of an event recording (ClipDefaults, the window's settings; the command
// line's --event takes the built-in ones): beforeEventMs before its start to afterEventMs
// after it, on its drive's line, kept within the drive. Nullopt for a name the source does not
// hold.
std::optional<ClipPlanning> PlanEventClip(const VRecordingSource& source,
                                          const std::string& recording,
                                          const ClipDefaults& defaults = {},
                                          int64_t gapMs = trips::kDefaultGapMs);

} // namespace clips
