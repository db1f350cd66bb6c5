#pragma once

#include "SliderMarker.h"
#include "telemetry/TelemetryTrack.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// The marks of a trip's time line (a drive's recordings played as one): where each event,
// manual or parking recording begins, and each G-force peak; and the steps from one mark to
// the next for the marker keys.
//
// G-force peaks: the resting reading is the median of each axis over the whole track (the
// gravity vector as the sensor is mounted, however tilted; a car is at rest or cruising most
// of a drive, so jolts do not move it). A sample departs from rest by the length of its
// difference from that vector, so a sideways or braking jolt counts as fully as a vertical
// one (the length of the reading alone would hide a 0.4 g turn under 1 g of gravity). Samples
// departing by more than the threshold form a burst until one comes more than kBurstGapMs
// after the previous such sample; each burst gives one mark, at its strongest sample.
//
// Times are milliseconds on the trip's time line (0 = the trip's first picture); marks outside
// 0 .. the trip's length are left out. Accelerations in g.
//
// Built once, then only read: any number of threads may read it.
class TripMarkers {
public:
    static constexpr double kDefaultThresholdG = 0.4;
    // Peaks closer than this to the previous one over the threshold belong to its burst.
    static constexpr int64_t kBurstGapMs = 2000;
    // Previous skips marks this close before the time, so that pressing it again right after
    // a jump walks on back instead of finding the mark just reached.
    static constexpr int64_t kPreviousSlackMs = 1000;
    // Next skips marks this close after the time: a seek lands on the picture at or just
    // before its target, and must not find the mark it was sent to again.
    static constexpr int64_t kNextSlackMs = 250;

    // One recording of the trip: where it begins on the trip's time line and its category
    // (0 event, 1 normal, 2 parking, 3 manual).
    struct Recording {
        int64_t offsetMs = 0;
        int category = 1;
    };

    struct Marker {
        int64_t timeMs = 0;
        MarkerKind kind = MarkerKind::Event;
        bool operator==(const Marker&) const = default;
    };

    TripMarkers() = default;
    // gsensor: the trip's G-sensor track, times on the trip's time line (any order).
    // thresholdG: how far from rest a peak must reach (a setting; not positive: no peaks).
    TripMarkers(int64_t lengthMs, std::span<const Recording> recordings,
                std::span<const TimedAcceleration> gsensor, double thresholdG = kDefaultThresholdG);

    // Every mark in time order (a recording's mark before a peak of the same time).
    const std::vector<Marker>& Markers() const { return markers_; }

    // The first mark later than timeMs + kNextSlackMs; nothing after the last.
    std::optional<Marker> Next(int64_t timeMs) const;
    // The last mark earlier than timeMs - kPreviousSlackMs; nothing before the first.
    std::optional<Marker> Previous(int64_t timeMs) const;

    // The marks for the position slider, whose values are msPerUnit milliseconds each (1000
    // for the seconds it counts; less than 1 counts as 1): each mark at its time / msPerUnit,
    // rounded down, in order.
    std::vector<SliderMarker> ForSlider(int64_t msPerUnit = 1000) const;

    // The resting reading of a track as described above: each axis' median (the mean of the
    // two middle values for an even count); all zero for an empty track. timeMs is 0.
    static TimedAcceleration RestingReading(std::span<const TimedAcceleration> gsensor);

private:
    std::vector<Marker> markers_;
};
