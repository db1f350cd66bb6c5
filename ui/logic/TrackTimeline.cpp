#include "TrackTimeline.h"

#include "telemetry/FixFilter.h"

#include <algorithm>
#include <utility>

namespace {

// The last item of a time-ordered list at or before timeMs; null when all lie after it.
template <typename Item> const Item* AtOrBefore(const std::vector<Item>& items, int64_t timeMs) {
    const auto after =
        std::upper_bound(items.begin(), items.end(), timeMs,
                         [](int64_t time, const Item& item) { return time < item.timeMs; });
    return after == items.begin() ? nullptr : &*(after - 1);
}

} // namespace

TrackTimeline::TrackTimeline(TelemetryTrack track) : m_track(std::move(track)) {
    m_track.SortByTime();
    m_route = PlausibleFixes(m_track.fixes);
}

const TimedFix* TrackTimeline::FixAt(int64_t timeMs) const {
    return AtOrBefore(m_track.fixes, timeMs);
}

const TimedFix* TrackTimeline::RouteFixAt(int64_t timeMs) const {
    return AtOrBefore(m_route, timeMs);
}

const TimedAcceleration* TrackTimeline::SampleAt(int64_t timeMs) const {
    return AtOrBefore(m_track.accelerations, timeMs);
}

const TimedCarState* TrackTimeline::CarStateAt(int64_t timeMs) const {
    return AtOrBefore(m_track.carStates, timeMs);
}

std::vector<TimedAcceleration> TrackTimeline::GraphSamples(int64_t timeMs, size_t most) const {
    std::vector<TimedAcceleration> samples;
    const std::vector<TimedAcceleration>& all = m_track.accelerations;
    if (timeMs < 0 || most == 0 || all.empty())
        return samples;
    const int64_t last = timeMs / 1000;
    // The first second with a sample at or before it.
    const int64_t firstTime = all.front().timeMs;
    const int64_t first = firstTime <= 0 ? 0 : (firstTime + 999) / 1000;
    if (first > last)
        return samples;
    const int64_t from = std::max(first, last - static_cast<int64_t>(most) + 1);
    samples.reserve(static_cast<size_t>(last - from + 1));
    // From the first second shown on, the index only moves forward as the seconds do.
    const TimedAcceleration* start = SampleAt(from * 1000);
    auto next = static_cast<size_t>(start - all.data()) + 1;
    for (int64_t second = from; second <= last; ++second) {
        while (next < all.size() && all[next].timeMs <= second * 1000)
            ++next;
        samples.push_back(all[next - 1]);
    }
    return samples;
}
