#pragma once
#include "player/api/VAudio.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

// The sound output of the desktop session: one PulseAudio playback stream (PipeWire desktops
// answer through pipewire-pulse), mono, at the opened format, named "Recording sound" for the
// program "tatview", driven through the library's threaded main loop.
//
// The server holds at most two blocks (target length 2 × kBlockBytes, a request whenever one
// block's worth is free), so Write blocks until there is room and the feeding thread runs at
// the device's pace. Playback starts as soon as the first sample arrives, and after an
// underrun it resumes with the next block instead of skipping it.
//
// What is heard when comes from the server's own play clock: after each Write the stream's
// timing information is fetched afresh (where the server reads in the stream, how long the
// sink takes to play what it has read, and when that was true), and QueuedMicros derives the
// time still to be heard from it. The interpolated latency of the library is not used: at
// the start of a stream it leaves out what the sink had already rendered ahead (hundreds of
// milliseconds on some sinks).
//
// The volume is a gain applied to the samples before they are written, so a change is heard
// with the next block (at most two blocks, 480 ms at 8 kHz, later).
//
// Threads: as VAudio. Open and Close on the owner's thread; Write and QueuedMicros on the
// feeding thread; Flush and SetVolume from any thread. Close and Flush make a Write that waits
// for room return without queuing the rest of its block; Close then waits for the Write to
// leave before it frees the stream.
class CPulseAudio : public VAudio {
public:
    CPulseAudio();
    ~CPulseAudio() override; // closes the stream
    CPulseAudio(const CPulseAudio&) = delete;
    CPulseAudio& operator=(const CPulseAudio&) = delete;

    // 8 (unsigned) or 16 (signed little-endian) bits. False when the format is not one of
    // those or no server takes the stream. Opening an open output closes it first.
    bool Open(int32_t bitsPerSample, int32_t samplesPerSecond) override;
    // Drops the sound still queued (nothing is drained) and frees the stream: always 1.
    int Close() override;
    // Cut to kBlockBytes and to whole samples; empty and null blocks are skipped. A failing
    // server write drops the rest of the block.
    void Write(const uint8_t* bytes, int32_t length) override;
    void SetVolume(uint32_t deviceVolume) override;
    // From the timing information fetched after the last Write: the sound written and not
    // yet heard, as the server's play clock says; 0 when it cannot say.
    int64_t QueuedMicros() const override;
    // Empties the server's buffer for the stream; a Write waiting for room gives up the rest
    // of its block.
    void Flush() override;

    // True when a sound server takes a playback stream now (one is opened and freed again).
    static bool ServerAnswers();

private:
    struct Connection; // the main loop, the context and the stream

    // Owner's thread changes it under both m_control and m_io; Write and QueuedMicros use it
    // under m_io, Flush under m_control.
    std::unique_ptr<Connection> m_connection;
    std::mutex m_control;                  // held by Open's and Close's changes and by Flush
    mutable std::mutex m_io;               // held by Write and QueuedMicros
    int32_t m_bitsPerSample = 16;          // owner's thread, while no Write runs
    std::atomic<bool> m_closing{false};    // set by Close before it waits for a Write
    std::atomic<uint64_t> m_flushes{0};    // each Flush adds one
    std::atomic<uint16_t> m_level{0xFFFF}; // volume level, 0 … 0xFFFF
    uint8_t m_block[kBlockBytes] = {};     // feeding thread, under m_io
};
