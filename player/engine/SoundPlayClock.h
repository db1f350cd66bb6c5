#pragma once
#include <chrono>
#include <cstdint>
#include <deque>

// Which moment of the recording is heard now.
//
// The sound written to the output is one stream of output time; each piece written stands for
// a span of recording time played at some speed (recording microseconds per output
// microsecond). After each write the writer tells how much sound the output still holds; what
// has been heard of the stream then follows, and between writes it runs on with the steady
// clock, never past the end of what was written.
//
// Units: microseconds. Not thread-safe: the media clock keeps it under its lock.
class SoundPlayClock {
public:
    using Clock = std::chrono::steady_clock;

    // A piece of streamUs of output sound was written; its first sample is recording time
    // recordingUs and each output microsecond plays `factor` recording microseconds.
    void Written(int64_t streamUs, int64_t recordingUs, double factor);
    // At `now`, right after a write, the output still holds queuedUs of what was written.
    // More than was written means the output first plays out sound of its own for the
    // difference.
    void Anchor(Clock::time_point now, int64_t queuedUs);
    // The recording time heard at `now`; before the first piece begins to be heard, a time
    // that far before its start. False when nothing is being heard: nothing written since
    // Reset, or everything written has been heard (the sound ran out).
    bool HeardAt(Clock::time_point now, int64_t& recordingUs) const;
    // Forgets every piece: the output was emptied.
    void Reset();

private:
    struct Piece {
        int64_t streamStart;
        int64_t streamEnd;
        int64_t recordingStart;
        double factor;
    };
    int64_t HeardStreamAt(Clock::time_point now) const;

    std::deque<Piece> m_pieces; // contiguous in stream time, oldest first
    int64_t m_written = 0;      // stream microseconds written in all
    int64_t m_anchorStream = 0; // stream position heard at m_anchorTime; negative: not yet
    Clock::time_point m_anchorTime{};
    bool m_anchored = false;
};
