#pragma once
#include "CMediaSync.h"
#include "FramePacer.h"
#include "PacketFifo.h"
#include "base/AlignedBuffer.h"
#include "base/CSingleThread.h"
#include "base/CSync.h"
#include "player/api/VAudio.h"
#include "player/api/VMediaDecoder.h"
#include "player/api/VMediaParser.h"
#include "player/api/VPictureArea.h"
#include <atomic>
#include <cstdint>
#include <string>

class DiagLog;

// Plays one recording at a time: reads its interleaved packets through a parser, hands audio
// blocks at once to the media clock (which feeds the audio output on its own thread), holds
// video of both cameras back in a delay line of 700 ms of front frames, then decodes and
// shows one entry per video packet read, each front frame waiting until fewer than two audio
// blocks are queued and then paced at the frame period (FramePacer). Text lines go straight to the
// owner, stamped with the play time.
//
// Everything is counted in front frames: the position is the number of front frames shown
// since the last Open or reposition; milliseconds derive from it with the front frame rate
// (30 when a recording declares 0).
//
// Ownership: parser, decoder, audio output and picture areas are the owner's and must outlive
// the engine's Shutdown; the engine owns its media clock, delay line and two 1 MiB buffers.
//
// Threads: every public operation is for the owner's thread. The engine's worker holds the
// engine lock for a whole run of its play loop; Open, Stop and SaveSnapshot take it too (Open
// and Stop clear the run flag first, so the worker leaves its loop promptly). Pause, Resume,
// the step and seek requests and the read-outs are atomics without the lock. Callbacks run
// on the worker thread, without the engine lock held for the end event.
class CQTRMediaPlayer {
public:
    enum State : int32_t { kLoaded = 0, kIdle = 2 };
    enum Event : int { kEventEnd = 1 };
    static constexpr int32_t kBufferSize = 1048576;
    static constexpr int32_t kPrebufferMs = 700;
    static constexpr int32_t kFallbackFrameRate = 30;

    // text: the line with a zero byte after it; timeMs: play time of the last front frame.
    using TextCallback = void (*)(void* user, const uint8_t* text, int32_t length, int32_t timeMs);
    using EventCallback = void (*)(void* user, int event, int value, int reserved);

    CQTRMediaPlayer();
    virtual ~CQTRMediaPlayer(); // shuts down when still started
    CQTRMediaPlayer(const CQTRMediaPlayer&) = delete;
    CQTRMediaPlayer& operator=(const CQTRMediaPlayer&) = delete;

    // Wiring, once, before Start.
    void SetParser(VMediaParser* parser) { m_parser = parser; }
    void SetAudio(VAudio* audio) { m_audio = audio; } // may stay null: audio is dropped
    void SetDecoder(VMediaDecoder* decoder) { m_decoder = decoder; }
    void SetTextCallback(TextCallback callback, void* user);
    void SetEventCallback(EventCallback callback, void* user);
    // The pacer's line per front frame goes here ("[00] dif ..."). Null: quiet.
    void SetDiagLog(const DiagLog* log) { m_pacer.SetDiagLog(log); }
    // On by default; tests switch it off to run the play loop at full speed.
    void SetFramePacing(bool on) { m_pacing.store(on, std::memory_order_relaxed); }

    // The parts Start brings up, in the order it starts them.
    enum class Part { kNone, kParser, kDecoder, kAudioOutput, kMediaClock, kWorker };
    struct StartResult {
        Part failed = Part::kNone; // the part that did not start; kNone when all did
        bool Ok() const { return failed == Part::kNone; }
    };
    // The part's name for messages: "parser", "decoder", "audio output", "media clock" (its
    // feed thread), "worker thread"; "" for kNone.
    static const char* PartName(Part part);

    // Starts the parser, opens the decoder and the audio output, starts the media clock's
    // feed thread and the worker; parts that are not wired are left out. When a part fails,
    // the parts started before it are stopped again (parser stopped, decoder and audio output
    // closed, feed thread ended), the engine stays unstarted and Start may be called again.
    // On an engine already started: nothing happens and the result is Ok.
    StartResult Start(VPictureArea* front, VPictureArea* rear);
    // Stops the worker, the feed thread and the parser; closes the audio output. Nothing on
    // an engine that is not started.
    void Shutdown();

    // Loads a recording (a parser path or name) and plays it from its start. False when the
    // parser cannot open it: the engine then plays it as an empty recording, which ends at
    // once with the end event. When the recording's sound format differs from the audio
    // output's, the output is opened again for it; an output that fails to open plays
    // nothing.
    bool Open(const std::string& path);
    // Waits for the worker's current pass, then closes the parser; idle afterwards.
    void Stop();
    void Pause() { m_running.store(false, std::memory_order_release); }
    void Resume() { m_running.store(true, std::memory_order_release); }
    // Requests, taken at the worker's next pass and dropped while paused.
    void StepBackward(int seconds);
    void StepForward(int seconds);
    void SeekToMs(int64_t milliseconds);

    int32_t CurrentMs() const;
    int32_t CurrentFrame() const { return m_currentFrame.load(std::memory_order_acquire); }
    int32_t DurationMs() const { return m_durationMs.load(std::memory_order_acquire); }
    int32_t StateValue() const { return m_state.load(std::memory_order_acquire); }
    bool IsRunning() const { return m_running.load(std::memory_order_acquire); }
    // How many repositions (seeks and steps) the worker has carried out since construction;
    // a front picture presented after this number changed belongs to the new position.
    int32_t Repositions() const { return m_repositions.load(std::memory_order_acquire); }
    // The open recording's video channels as its parser tells them; else 2 when its name says
    // two channels (tat::ChannelsOfPath: its last letter, in front of an extension if it has
    // one, is 'D'); before any Open, 2 when a rear frame rate is known.
    int ChannelCount() const;
    // Under the engine lock; false while idle.
    bool SaveSnapshot(int channel, const std::string& path);
    void SetBrightness(int channel, int level);

    // The key-frame test on a video payload: a key frame unless its fifth byte is 0x41 (a
    // non-IDR slice after a four-byte start code).
    static bool IsKeyFramePayload(const uint8_t* payload, int32_t size);

private:
    // kLoop: read the next packet in the same pass; kReturn: end the pass (the worker lets go
    // of the lock for a moment); kEnd: the data has ended and the delay line is empty.
    enum class LoopResult { kLoop, kReturn, kEnd };
    bool WorkerStep();
    LoopResult PlayLoop();
    // Routes one packet.
    LoopResult HandlePacket(int64_t result, const char id[5], int32_t size);
    LoopResult ShowOldest();
    void SeekToFrame(int64_t target);
    // Undoes what a Start that failed at `failed` did: stops the parts started before it, last
    // first, and closes a decoder that failed to open.
    void StopStartedParts(Part failed);
    void RepositionReset();
    int32_t RateOrFallback() const;

    VMediaParser* m_parser = nullptr;
    VAudio* m_audio = nullptr;
    VMediaDecoder* m_decoder = nullptr;
    VPictureArea* m_frontArea = nullptr;
    VPictureArea* m_rearArea = nullptr;
    CMediaSync m_sync;
    FramePacer m_pacer;

    // Under m_lock (worker inside its loop; Open/Stop on the owner's thread).
    CSync m_lock{"none"};
    PacketFifo m_fifo;
    bool m_prebuffering = true;
    bool m_waitFrontKey = true;
    bool m_waitRearKey = true;
    int32_t m_bufferedFront = 0;
    int32_t m_totalFrames = 0;
    int32_t m_audioBits = 16;
    int32_t m_audioRate = 8000;
    std::string m_path; // owner's thread (Open, ChannelCount)
    AlignedBuffer m_readBuffer;
    AlignedBuffer m_frameBuffer;

    std::atomic<bool> m_started{false};
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_pacing{true};
    std::atomic<int32_t> m_state{kIdle};
    std::atomic<int32_t> m_frameRate{0}; // as the parser reports it; 0: none known
    std::atomic<int32_t> m_rearFrameRate{0};
    std::atomic<int> m_videoChannels{0}; // as the parser tells them; 0: from the name
    std::atomic<int32_t> m_durationMs{0};
    std::atomic<int32_t> m_currentFrame{0};
    std::atomic<int32_t> m_stepRequest{0};
    std::atomic<int32_t> m_repositions{0};
    // Target frame + 1; 0 means no request, so a request for frame 0 is a real one.
    std::atomic<int64_t> m_seekRequest{0};

    TextCallback m_textCallback = nullptr;
    void* m_textUser = nullptr;
    EventCallback m_eventCallback = nullptr;
    void* m_eventUser = nullptr;

    CSingleThread m_worker; // last: stopped before the members above go
};
