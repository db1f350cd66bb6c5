#pragma once
#include <cstdint>

// A sound output for 16-bit mono PCM blocks of at most kBlockBytes.
//
// Write blocks the caller until the device has room: at most two blocks (2 × 240 ms at 8 kHz)
// wait in the device, so a thread that writes block after block runs at the device's pace.
// Write after Close, or while no device is open, returns at once and plays nothing.
//
// Threads: Open and Close on the owner's thread (Close also makes a Write that is waiting on
// another thread return); Write on one feeding thread; Flush and SetVolume from any thread;
// QueuedMicros on the feeding thread.
class VAudio {
public:
    static constexpr int32_t kBlockBytes = 3840;

    virtual ~VAudio() = default;
    // Opens the device for mono PCM at the given format. False when it cannot.
    virtual bool Open(int32_t bitsPerSample, int32_t samplesPerSecond) = 0;
    // 1 closed, -1 failed.
    virtual int Close() = 0;
    // Plays one block; blocks longer than kBlockBytes play their first kBlockBytes.
    virtual void Write(const uint8_t* bytes, int32_t length) = 0;
    // Device volume as the window's slider gives it: low 16 bits the left, high 16 bits the
    // right channel, 0 … 0xFFFF each (mono outputs use the louder of the two).
    virtual void SetVolume(uint32_t deviceVolume) = 0;
    // Microseconds of sound that have been written and are not yet heard at the moment of the
    // call (0 when nothing is queued or no device is open). The feeding thread reads it right
    // after a Write to place what is heard now.
    virtual int64_t QueuedMicros() const = 0;
    // Drops the sound written and not yet heard; the device stays open. A Write waiting for
    // room returns without queuing its block, as after Close.
    virtual void Flush() = 0;
};
