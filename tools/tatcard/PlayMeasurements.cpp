#include "PlayMeasurements.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

double Ms(PlayMeasurements::Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

} // namespace

void PlayMeasurements::FrontPresented(Clock::time_point when, bool flash, int32_t repositions) {
    std::lock_guard<std::mutex> hold(m_mutex);
    ++m_frames;
    // The gap in front of the first picture of a new position is not a frame interval.
    if (m_havePrevious && repositions == m_lastRepositions)
        m_intervalsMs.push_back(Ms(when - m_previous));
    m_lastRepositions = repositions;
    m_previous = when;
    m_havePrevious = true;
    if (flash && m_segment == 0)
        m_flashes.push_back(when);
    if (m_seekPending && repositions > m_seekRepositions) {
        (m_seekIsFrameStep ? m_frameStepMs : m_seekMs).push_back(Ms(when - m_seekAsked));
        m_seekPending = false;
    }
}

void PlayMeasurements::ClickHeard(Clock::time_point when) {
    std::lock_guard<std::mutex> hold(m_mutex);
    if (m_segment == 0)
        m_clicks.push_back(when);
}

void PlayMeasurements::SeekRequested(Clock::time_point when, int32_t repositions, bool frameStep) {
    std::lock_guard<std::mutex> hold(m_mutex);
    ++m_segment;
    m_seekPending = true;
    m_seekIsFrameStep = frameStep;
    m_seekAsked = when;
    m_seekRepositions = repositions;
}

int64_t PlayMeasurements::Frames() const {
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_frames;
}

size_t PlayMeasurements::RepositionsMeasured() const {
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_seekMs.size() + m_frameStepMs.size();
}

void PlayMeasurements::Break() {
    std::lock_guard<std::mutex> hold(m_mutex);
    m_havePrevious = false;
    ++m_segment;
}

double PlayMeasurements::Percentile(std::vector<double> values, double p) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const double rank = std::clamp(p, 0.0, 100.0) / 100.0 * static_cast<double>(values.size() - 1);
    const auto below = static_cast<size_t>(std::floor(rank));
    const size_t above = std::min(below + 1, values.size() - 1);
    const double fraction = rank - static_cast<double>(below);
    return values[below] + (values[above] - values[below]) * fraction;
}

PlayMeasurements::PlayMeasurements(int32_t speedPercent)
    : m_pairWindowMs(kPairWindowMs * std::min(1.0, 100.0 / std::max(speedPercent, 1))) {}

std::vector<double> PlayMeasurements::PairOffsets(const std::vector<Clock::time_point>& flashes,
                                                  const std::vector<Clock::time_point>& clicks,
                                                  double windowMs,
                                                  std::vector<Clock::time_point>* pairedFlashes) {
    std::vector<double> offsets;
    for (const Clock::time_point flash : flashes) {
        double best = std::numeric_limits<double>::infinity();
        for (const Clock::time_point click : clicks) {
            const double offset = Ms(click - flash);
            if (std::abs(offset) < std::abs(best))
                best = offset;
        }
        if (std::abs(best) <= windowMs) {
            offsets.push_back(best);
            if (pairedFlashes != nullptr)
                pairedFlashes->push_back(flash);
        }
    }
    return offsets;
}

double PlayMeasurements::SlopePerMinute(const std::vector<Clock::time_point>& times,
                                        const std::vector<double>& offsetsMs) {
    const size_t n = std::min(times.size(), offsetsMs.size());
    if (n < 2)
        return 0;
    double meanT = 0;
    double meanY = 0;
    for (size_t i = 0; i < n; ++i) {
        meanT += Ms(times[i] - times[0]);
        meanY += offsetsMs[i];
    }
    meanT /= static_cast<double>(n);
    meanY /= static_cast<double>(n);
    double covariance = 0;
    double variance = 0;
    for (size_t i = 0; i < n; ++i) {
        const double t = Ms(times[i] - times[0]) - meanT;
        covariance += t * (offsetsMs[i] - meanY);
        variance += t * t;
    }
    return variance > 0 ? covariance / variance * 60000.0 : 0;
}

PlayMeasurements::Figures PlayMeasurements::Compute() const {
    std::lock_guard<std::mutex> hold(m_mutex);
    Figures figures;
    figures.frames = m_frames;
    figures.intervalP50Ms = Percentile(m_intervalsMs, 50);
    figures.intervalP95Ms = Percentile(m_intervalsMs, 95);
    figures.intervalP99Ms = Percentile(m_intervalsMs, 99);
    std::vector<Clock::time_point> paired;
    const std::vector<double> offsets = PairOffsets(m_flashes, m_clicks, m_pairWindowMs, &paired);
    figures.avOffsetsMs = offsets;
    if (offsets.size() >= 3) {
        figures.haveDriftSlope = true;
        figures.avDriftMsPerMinute = SlopePerMinute(paired, offsets);
    }
    if (!offsets.empty()) {
        figures.haveAv = true;
        figures.avPairs = static_cast<int>(offsets.size());
        double sum = 0;
        for (double offset : offsets)
            sum += offset;
        figures.avOffsetMeanMs = sum / static_cast<double>(offsets.size());
        figures.avOffsetDriftMs = offsets.back() - offsets.front();
    }
    figures.seekFirstFrameMs = m_seekMs;
    figures.seekFirstFrameMedianMs = Percentile(m_seekMs, 50);
    figures.seekFirstFrameP95Ms = Percentile(m_seekMs, 95);
    figures.frameStepMs = m_frameStepMs;
    figures.frameStepMedianMs = Percentile(m_frameStepMs, 50);
    return figures;
}
