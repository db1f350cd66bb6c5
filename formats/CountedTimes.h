#pragma once

#include "player/api/MediaPacket.h"
#include "player/api/StreamKind.h"

#include <cstdint>

// The times of packets in containers that store none: the camera's card storage and the AVI
// exports of its recordings. They come from counting, packet by packet in file order, the way
// the camera wrote them:
//   - front frame n (counted from the start, or from the frame a seek landed on) is due at
//     n / rate seconds; a recording that declares no rate counts 30 frames a second;
//   - a rear frame and a text line belong to the front frame read before them;
//   - the camera writes a sound block once the video it belongs to is written: full blocks span
//     whole multiples of their length from the start of the recording, so the first block read
//     after a restart ends at the last such multiple not after the last front frame's time, and
//     the blocks after it follow on one another.
//
// Units: microseconds of recording time; sizes in bytes. Threads: the reader's caller.
class CountedTimes {
public:
    static constexpr int32_t kFallbackFrameRate = 30;

    // The front frame rate (0: kFallbackFrameRate), the sound's format and a full block's size.
    void SetFormat(int32_t frontRate, int32_t bitsPerSample, int32_t samplesPerSecond,
                   int32_t fullBlockBytes);
    // The next front frame read is frame `frontFrame`; the next sound block is placed by the
    // rule again.
    void Restart(int64_t frontFrame);
    // The time of the next packet of `kind` with `size` payload bytes, in reading order.
    int64_t Stamp(StreamKind kind, int32_t size);
    // The next packet as a read of these containers delivers it: its kind and camera channel
    // as stored, the key-frame flag of a video packet by the camera's rule
    // (IsCameraKeyFrame), its time by Stamp. The payload stays the caller's.
    MediaPacket StampPacket(StreamKind kind, int32_t channel, const uint8_t* payload, int32_t size);

    int32_t FrontRate() const { return m_rate; }
    int64_t FrameUs(int64_t frame) const { return frame * 1000000 / m_rate; }

private:
    int64_t SoundUs(int64_t bytes) const;

    int32_t m_rate = kFallbackFrameRate;
    int32_t m_sampleBytes = 2;
    int32_t m_sampleRate = 8000;
    int32_t m_fullBlockBytes = 3840;
    int64_t m_nextFront = 0;
    int64_t m_lastFrontUs = 0;
    int64_t m_nextSoundUs = -1; // start of the next sound block; -1: place it by the rule
};
