#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Drives: the runs of recordings of one source that follow each other closely enough to be
// one drive ("trips"). A recording joins the trip before it when it starts no later than the
// gap after the end of the trip so far (start plus length of its recordings), whatever its
// category; recordings that overlap (a parking and a normal recording of the same moment, a
// clock set back) join too. Event, manual and parking recordings stay where they fall.
//
// Times are milliseconds on one local wall-clock axis (CivilTime::ToSeconds × 1000 of the
// recordings' local start times), so a drive across midnight is one trip. Plain functions over
// what the listing already knows: no file is opened.
//
// Any thread; no state.
namespace trips {

inline constexpr int64_t kDefaultGapMs = 10000;
// A recording whose length is unknown (a file that tells nothing) is taken to last until the
// next recording starts (the next later start, of any category) when that is at most this
// long after its start, else to last 0 ms.
inline constexpr int64_t kUnknownSpanMs = 5 * 60 * 1000;

struct Item {
    int64_t startMs = 0;   // local wall-clock start
    int64_t lengthMs = -1; // < 0: unknown
    int category = 1;      // 0 event, 1 normal, 2 parking, 3 manual
};

struct Trip {
    std::vector<size_t> members; // indexes into the items, in start order (ties: input order)
    int64_t startMs = 0;         // the first member's start
    int64_t endMs = 0;           // the latest end of a member
    bool holdsEvents = false;    // a member of category 0 (event)
    int64_t LengthMs() const { return endMs - startMs; }
};

// The trips of the items, oldest first. gapMs < 0 counts as 0. O(n log n).
std::vector<Trip> Group(const std::vector<Item>& items, int64_t gapMs = kDefaultGapMs);

} // namespace trips
