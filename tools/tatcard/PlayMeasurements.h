#pragma once
#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

// What `tatcard play` measures while the engine plays: when front pictures are presented,
// which of them are the white pictures of whole seconds, when the clicks of whole seconds are
// heard, and how long seeks take to show their first picture.
//
// Threads: the engine's worker reports pictures, the audio feed reports clicks, the command's
// own thread reports seeks and breaks and computes the figures; all under one lock.
class PlayMeasurements {
public:
    using Clock = std::chrono::steady_clock;

    struct Figures {
        int64_t frames = 0; // front pictures presented
        double intervalP50Ms = 0;
        double intervalP95Ms = 0;
        double intervalP99Ms = 0;
        bool haveAv = false;
        double avOffsetMeanMs = 0;  // positive: picture before sound
        double avOffsetDriftMs = 0; // last second's offset less the first's
        // The least-squares slope of the offsets over the picture times, in ms per minute:
        // how fast picture and sound move apart, with the jitter of single pairs averaged
        // out. Only with three pairs or more.
        bool haveDriftSlope = false;
        double avDriftMsPerMinute = 0;
        int avPairs = 0;
        std::vector<double> avOffsetsMs; // click time less picture time, per pair
        std::vector<double> seekFirstFrameMs;
        double seekFirstFrameMedianMs = 0;
        double seekFirstFrameP95Ms = 0;
        std::vector<double> frameStepMs; // from a frame step to its picture
        double frameStepMedianMs = 0;
    };

    // A white picture and a click further apart than this are not the same second (at the
    // recording's pace; a faster speed shrinks it in proportion).
    static constexpr double kPairWindowMs = 500.0;

    // The playing speed in percent (100 until set).
    explicit PlayMeasurements(int32_t speedPercent = 100);

    // A front picture; repositions: the engine's reposition count when it was presented.
    void FrontPresented(Clock::time_point when, bool flash, int32_t repositions);
    // A click starts being heard at `when`.
    void ClickHeard(Clock::time_point when);
    // A seek (or, with frameStep, a frame step) was asked for while the engine had made
    // `repositions` repositions; the next front picture presented after that count grows
    // closes it. Ends the sync stretch, as Break does.
    void SeekRequested(Clock::time_point when, int32_t repositions, bool frameStep = false);
    // Front pictures presented so far.
    int64_t Frames() const;
    // Seeks and frame steps whose picture has come.
    size_t RepositionsMeasured() const;
    // A scripted pause, step or seek: the interval across it is not a frame interval, and
    // the sync figures only use pictures and clicks from before the first break.
    void Break();

    Figures Compute() const;

    // Linear interpolation between closest ranks; 0 for no values. p in 0 … 100.
    static double Percentile(std::vector<double> values, double p);
    // Pairs each white picture with the nearest click within windowMs and returns click
    // time less picture time per pair, in picture order (milliseconds). With pairedFlashes
    // given, the paired pictures' times go there, in the same order.
    static std::vector<double> PairOffsets(const std::vector<Clock::time_point>& flashes,
                                           const std::vector<Clock::time_point>& clicks,
                                           double windowMs = kPairWindowMs,
                                           std::vector<Clock::time_point>* pairedFlashes = nullptr);
    // The least-squares slope of offsets (ms) over times, in ms per minute; 0 with fewer than
    // two distinct times.
    static double SlopePerMinute(const std::vector<Clock::time_point>& times,
                                 const std::vector<double>& offsetsMs);

private:
    const double m_pairWindowMs;
    mutable std::mutex m_mutex;
    int64_t m_frames = 0;
    bool m_havePrevious = false;
    int32_t m_lastRepositions = 0;
    Clock::time_point m_previous{};
    std::vector<double> m_intervalsMs;
    int m_segment = 0;
    std::vector<Clock::time_point> m_flashes; // first segment only
    std::vector<Clock::time_point> m_clicks;  // first segment only
    bool m_seekPending = false;
    bool m_seekIsFrameStep = false;
    Clock::time_point m_seekAsked{};
    int32_t m_seekRepositions = 0;
    std::vector<double> m_seekMs;
    std::vector<double> m_frameStepMs;
};
