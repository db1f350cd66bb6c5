#pragma once

#include "clips/ClipEncoder.h"

#include <chrono>
#include <cstdint>

// The progress of a copy counted in pictures written, handed to the export's callback every
// few pictures with the seconds left at the pace so far.
//
// One thread (the exporting one); the callback runs on it.
namespace clips {

class CopyProgress {
public:
    // total: the pictures the copy is expected to write (an estimate; never less than done).
    CopyProgress(const ProgressFn& progress, int64_t total);
    // One more picture written.
    void Picture();
    // The copy is done: a last call with every picture counted.
    void Done();
    int64_t PicturesDone() const { return m_done; }

private:
    void Tell();

    const ProgressFn& m_progress;
    int64_t m_total;
    int64_t m_done = 0;
    std::chrono::steady_clock::time_point m_began = std::chrono::steady_clock::now();
};

// Pictures a span of the line holds at a frame rate (at least 1).
int64_t PicturesIn(int64_t spanMs, double framesPerSecond);

} // namespace clips
