#pragma once
#include <cstdint>

// Where the recording's sound blocks go on the time line that is heard, from the times their
// parser stated: from the moment a recording or a reposition starts playing on, the sound runs
// without a hole and without overlap. Sound before that moment is cut off; a block that starts
// where the one before ended (within kJoinUs) continues it exactly; a gap (sound that starts
// after the picture, or a stretch without sound) is filled with silence up to kMaxSilenceUs,
// so that the sound clock keeps the pictures' time; a block that overlaps the sound already
// placed loses its overlapping start.
//
// Units: microseconds of recording time; sizes in bytes. Threads: the engine's worker only.
class AudioPlacement {
public:
    static constexpr int64_t kJoinUs = 2000;
    static constexpr int64_t kMaxSilenceUs = 5000000;

    struct Place {
        int64_t silenceFromUs = 0; // silence to play first, from here …
        int64_t silenceUs = 0;     // … for this long (0: none)
        int32_t skipBytes = 0;     // leading bytes of the block to drop
        int64_t startUs = 0;       // recording time of the first byte kept
    };

    // The format of the recording's sound.
    void SetFormat(int32_t bitsPerSample, int32_t samplesPerSecond);
    // Starts over at fromUs: the sound heard begins there.
    void Restart(int64_t fromUs);
    // Places a block of `length` bytes whose first sample is due at timeUs. False when none
    // of it is to be played.
    bool PlaceBlock(int64_t timeUs, int32_t length, Place& place);

    int64_t DurationUs(int64_t bytes) const;
    // Bytes of `us` microseconds of sound, whole samples.
    int64_t BytesOf(int64_t us) const;

private:
    int32_t m_sampleBytes = 2;
    int32_t m_rate = 8000;
    int64_t m_nextUs = 0; // where the next sound continues the time line
};
