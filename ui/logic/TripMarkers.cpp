#include "TripMarkers.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// The median of the values (the mean of the two middle ones for an even count); 0 for none.
double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    const double upper = *middle;
    if (values.size() % 2 != 0)
        return upper;
    return (*std::max_element(values.begin(), middle) + upper) / 2;
}

std::optional<MarkerKind> KindOfCategory(int category) {
    switch (category) {
    case 0:
        return MarkerKind::Event;
    case 2:
        return MarkerKind::Parking;
    case 3:
        return MarkerKind::Manual;
    default:
        return std::nullopt; // normal recordings are the drive itself
    }
}

} // namespace

TimedAcceleration TripMarkers::RestingReading(std::span<const TimedAcceleration> gsensor) {
    std::vector<double> xs, ys, zs;
    xs.reserve(gsensor.size());
    ys.reserve(gsensor.size());
    zs.reserve(gsensor.size());
    for (const TimedAcceleration& sample : gsensor) {
        xs.push_back(sample.x);
        ys.push_back(sample.y);
        zs.push_back(sample.z);
    }
    return {0, Median(std::move(xs)), Median(std::move(ys)), Median(std::move(zs))};
}

TripMarkers::TripMarkers(int64_t lengthMs, std::span<const Recording> recordings,
                         std::span<const TimedAcceleration> gsensor, double thresholdG) {
    const auto onTimeLine = [lengthMs](int64_t timeMs) {
        return timeMs >= 0 && timeMs <= lengthMs;
    };
    for (const Recording& recording : recordings) {
        const std::optional<MarkerKind> kind = KindOfCategory(recording.category);
        if (kind && onTimeLine(recording.offsetMs))
            markers_.push_back({recording.offsetMs, *kind});
    }

    std::vector<TimedAcceleration> samples(gsensor.begin(), gsensor.end());
    std::stable_sort(
        samples.begin(), samples.end(),
        [](const TimedAcceleration& a, const TimedAcceleration& b) { return a.timeMs < b.timeMs; });
    const TimedAcceleration rest = RestingReading(samples);
    // The burst being collected: its strongest sample and the last sample over the threshold.
    std::optional<int64_t> peakMs;
    double peakG = 0;
    int64_t lastOverMs = 0;
    for (const TimedAcceleration& sample : samples) {
        if (!onTimeLine(sample.timeMs))
            continue;
        const double departure =
            std::hypot(sample.x - rest.x, sample.y - rest.y, sample.z - rest.z);
        if (!(thresholdG > 0) || !(departure > thresholdG))
            continue;
        if (peakMs && sample.timeMs - lastOverMs > kBurstGapMs) {
            markers_.push_back({*peakMs, MarkerKind::GForce});
            peakMs.reset();
        }
        if (!peakMs || departure > peakG) {
            peakMs = sample.timeMs;
            peakG = departure;
        }
        lastOverMs = sample.timeMs;
    }
    if (peakMs)
        markers_.push_back({*peakMs, MarkerKind::GForce});

    // Recordings came first, so at equal times their marks stay ahead of a peak's.
    std::stable_sort(markers_.begin(), markers_.end(),
                     [](const Marker& a, const Marker& b) { return a.timeMs < b.timeMs; });
}

std::optional<TripMarkers::Marker> TripMarkers::Next(int64_t timeMs) const {
    const int64_t after = timeMs + kNextSlackMs;
    const auto found =
        std::upper_bound(markers_.begin(), markers_.end(), after,
                         [](int64_t time, const Marker& marker) { return time < marker.timeMs; });
    if (found == markers_.end())
        return std::nullopt;
    return *found;
}

std::optional<TripMarkers::Marker> TripMarkers::Previous(int64_t timeMs) const {
    const int64_t before = timeMs - kPreviousSlackMs;
    const auto found =
        std::lower_bound(markers_.begin(), markers_.end(), before,
                         [](const Marker& marker, int64_t time) { return marker.timeMs < time; });
    if (found == markers_.begin())
        return std::nullopt;
    return *(found - 1);
}

std::vector<SliderMarker> TripMarkers::ForSlider(int64_t msPerUnit) const {
    std::vector<SliderMarker> marks;
    marks.reserve(markers_.size());
    const int64_t unit = std::max<int64_t>(msPerUnit, 1);
    for (const Marker& marker : markers_)
        marks.push_back(
            {static_cast<int>(std::min<int64_t>(marker.timeMs / unit, INT32_MAX)), marker.kind});
    return marks;
}
