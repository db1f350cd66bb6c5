#pragma once
#include <cstdint>

// Where the recording's audio blocks lie in its time line, and which part of them to play
// after a reposition.
//
// Blocks carry no time of their own. The camera writes a block once the video it belongs to
// is written: full blocks span whole multiples of their length from the start of the
// recording, and a block read after the front frame at time t ends at the last such
// multiple not after t. The first block after a reposition is placed by that rule; the blocks
// after it follow on one another, so their times stay exact.
//
// Units: microseconds of recording time; sizes in bytes. Threads: the engine's worker only.
class AudioPlacement {
public:
    struct Place {
        int32_t skipBytes = 0; // leading bytes to drop (before the time played from)
        int64_t startUs = 0;   // recording time of the first byte kept
    };

    // The format of the recording's sound and the size of a full block.
    void SetFormat(int32_t bitsPerSample, int32_t samplesPerSecond, int32_t fullBlockBytes);
    // Starts over: the next block is placed by the rule, and sound before fromUs is dropped.
    void Restart(int64_t fromUs);
    // Places a block of `length` bytes read after the front frame at lastFrontUs. False when
    // all of it lies before the time played from.
    bool PlaceBlock(int32_t length, int64_t lastFrontUs, Place& place);

private:
    int64_t DurationUs(int64_t bytes) const;

    int32_t m_sampleBytes = 2;
    int32_t m_rate = 8000;
    int32_t m_fullBlockBytes = 3840;
    int64_t m_fromUs = 0;
    int64_t m_nextUs = -1; // start of the next block; -1: place it by the rule
};
