#pragma once
#include "player/api/VAudio.h"

#include <atomic>
#include <cstdint>
#include <mutex>

struct pa_simple;

// The sound output of the desktop session: one PulseAudio playback stream (PipeWire desktops
// answer through pipewire-pulse), mono, at the opened format, named "Recording sound" for the
// program "tatview".
//
// The server holds at most two blocks (target length 2 × kBlockBytes, a request whenever one
// block's worth is free), so Write blocks until there is room and the feeding thread runs at
// the device's pace. Playback starts as soon as the first sample arrives, and after an
// underrun it resumes with the next block instead of skipping it.
//
// The volume is a gain applied to the samples before they are written, so a change is heard
// with the next block (at most two blocks, 480 ms at 8 kHz, later).
//
// Threads: as VAudio. Open and Close on the owner's thread; Write and QueuedMicros on the
// feeding thread; SetVolume from any thread. Close makes a Write that waits for room return:
// it flushes the stream (which frees the room), then waits for the Write to leave before it
// frees the stream.
class CPulseAudio : public VAudio {
public:
    CPulseAudio() = default;
    ~CPulseAudio() override; // closes the stream
    CPulseAudio(const CPulseAudio&) = delete;
    CPulseAudio& operator=(const CPulseAudio&) = delete;

    // 8 (unsigned) or 16 (signed little-endian) bits. False when the format is not one of
    // those or no server takes the stream. Opening an open output closes it first.
    bool Open(int32_t bitsPerSample, int32_t samplesPerSecond) override;
    // Drops the sound still queued (nothing is drained) and frees the stream: always 1.
    int Close() override;
    // Cut to kBlockBytes and to whole samples; empty and null blocks are skipped. A failing
    // server write drops the block.
    void Write(const uint8_t* bytes, int32_t length) override;
    void SetVolume(uint32_t deviceVolume) override;
    // The server's latency for the stream (written, not yet heard); 0 when it cannot say.
    int64_t QueuedMicros() const override;
    // Empties the server's buffer for the stream; a waiting Write may still add the rest of
    // its block afterwards.
    void Flush() override;

    // True when a sound server takes a playback stream now (one is opened and freed again).
    static bool ServerAnswers();

private:
    // Owner's thread changes it under m_control; Write and QueuedMicros use it only under
    // m_io, Flush under m_control.
    pa_simple* m_stream = nullptr;
    std::mutex m_control;         // held by Open's and Close's changes of m_stream and by Flush
    int32_t m_bitsPerSample = 16; // owner's thread, while no Write runs
    mutable std::mutex m_io;      // held around every stream call of the feeder
    std::atomic<bool> m_closing{false};    // set by Close before it flushes
    std::atomic<uint16_t> m_level{0xFFFF}; // volume level, 0 … 0xFFFF
    uint8_t m_block[kBlockBytes] = {};     // feeding thread, under m_io
};
