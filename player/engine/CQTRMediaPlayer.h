#pragma once
#include "AudioPlacement.h"
#include "CMediaSync.h"
#include "FramePacer.h"
#include "PacketFifo.h"
#include "RepositionQueue.h"
#include "base/AlignedBuffer.h"
#include "base/CSingleThread.h"
#include "base/CSync.h"
#include "player/api/VAudio.h"
#include "player/api/VAudioTempo.h"
#include "player/api/VMediaDecoder.h"
#include "player/api/VMediaParser.h"
#include "player/api/VPictureArea.h"
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class DiagLog;

// Plays one recording at a time: reads its packets through a parser, each with the time the
// parser states for it, hands the sound at once to the media clock (which feeds the audio
// output on its own thread), holds video of both cameras back in a delay line of 700 ms of
// front pictures, then decodes them and presents each front picture at its time against the
// sound clock: when its time is heard, or on the pictures' own times where no sound says so
// (FramePacer). Each front frame first waits until the sound queued ahead is short enough.
// While playing paced and on time, several front pictures (at most kDecodeAheadPictures, with
// the other cameras' pictures between them, for no longer than half a period) are decoded and
// converted at a time, while the processor's caches hold the decoders' state, and then shown
// one by one at their moments; a pause or a request drops the pictures decoded ahead.
// Text lines go straight to the owner, stamped with the play time.
//
// Everything is timed in microseconds of recording time. The play time is the time of the
// front picture on screen (or the target of a reposition not yet shown). A rear picture is
// shown when the front picture on screen has reached its time (within one front period), so
// the two stay within a frame of each other at any pair of rates. Every further camera of a
// car (channels 2 … 5) is handled as the rear is, each with its own state (its first key
// frame, its picture waiting for the front), so that all cameras stay within a frame of the
// front by their times. Of a recording with more than two cameras, the cameras other than the
// front and the main one are decoded at a lower cost (no deblocking filter); when the front
// pictures fall more than a period behind the pace (since the last one that waited for its
// moment) those cameras leave out the pictures no other refers to, and more than two periods
// behind five pictures in a row every picture until their next key frame,
// where their decoding starts again: the front never waits for them. Sound is placed by its
// own times (AudioPlacement): cut where a reposition starts, silence where it starts after the
// picture.
//
// The first picture of a recording is shown when its sound begins to be heard (a sound server
// may first play out what it had rendered ahead); the pictures after a reposition do not wait.
//
// Repositions (seeks, 10-second steps, frame steps) start decoding at the front key frame of
// the whole second at or before the target, decode the pictures before the target without
// showing them and show the first picture at or after the target (within half a period), then
// the rear picture that follows it, at once; playing goes on from there through the delay
// line. A scrub shows the key frame itself. Requests that come before the worker takes them are
// merged (RepositionQueue). While paused, a reposition is carried out all the same: the paused
// position moves and its pictures are shown. Pausing stops the sound at once; resuming after
// playing starts again at the next frame, with its sound.
//
// Playing speed: 25 … 800 % of the recording's pace. The sound keeps its pitch from 50 to
// 200 % through the wired tempo change and is silent at other speeds; pictures follow the
// time heard at every speed. A front picture later than kSkipLateMs and two periods is decoded
// but not shown, so that fast playing keeps its pace.
//
class CQTRMediaPlayer {
public:
    enum State : int32_t { kLoaded = 0, kIdle = 2 };
    enum Event : int { kEventEnd = 1 };
    static constexpr int32_t kBufferSize = 1048576;
    static constexpr int32_t kPrebufferMs = 700;
    // Sound queued beyond the delay line's length before the reading waits for the output.
    static constexpr int32_t kReadAheadMarginMs = 100;
    static constexpr int32_t kFallbackFrameRate = 30;
    static constexpr int32_t kMinSpeedPercent = 25;
    static constexpr int32_t kMaxSpeedPercent = 800;
    static constexpr int32_t kSkipLateMs = 20;
    // The longest the first picture of a recording waits for its sound to begin.
    static constexpr int32_t kSoundStartWaitMs = 2500;
    // The most front pictures decoded ahead at a time by default, and the most pictures a
    // camera keeps waiting for their front pictures (the oldest go beyond).
    static constexpr size_t kDecodeAheadPictures = 4;
    static constexpr size_t kMaxKeptPerCamera = 12;

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
    // The tempo change for speeds of 50 … 200 %; without one those speeds play silent.
    void SetTempo(VAudioTempo* tempo) { m_sync.SetTempo(tempo); }
    void SetTextCallback(TextCallback callback, void* user);
    void SetEventCallback(EventCallback callback, void* user);
    // The pacer's line per front frame goes here ("[00] dif ..."). Null: quiet.
    void SetDiagLog(const DiagLog* log) { m_pacer.SetDiagLog(log); }
    // On by default; tests switch it off to run the play loop at full speed.
    void SetFramePacing(bool on) { m_pacing.store(on, std::memory_order_relaxed); }
    // The most front pictures decoded ahead at a time (see the class comment), from 1 (each
    // decoded just before its moment) up; kDecodeAheadPictures by default. Any thread.
    void SetDecodeAhead(size_t pictures) {
        m_decodeAhead.store(std::max<size_t>(pictures, 1), std::memory_order_relaxed);
    }

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
    // The same with one area per camera: areas[c] shows channel c (0 front, 1 rear or back,
    // 2 … further cameras), at most kMaxCameras; a null entry or a missing one shows nothing
    // for that camera. The areas belong to the caller and outlive the engine's Shutdown.
    StartResult Start(const std::vector<VPictureArea*>& areas);
    // The most cameras one recording plays with.
    static constexpr int kMaxCameras = 6;
    // On by default: cameras other than the front and the main one are decoded at a lower
    // cost and shed pictures when the front falls behind (see the class comment). Off: every
    // camera is decoded whole (for measuring). Any thread, any time.
    void SetReducedCost(bool on) { m_reducedCost.store(on, std::memory_order_relaxed); }
    // The camera the window shows large (0 … kMaxCameras − 1); the others may be decoded at
    // a lower cost. Any thread, any time; 0 by default.
    void SetMainCamera(int channel) { m_mainCamera.store(channel, std::memory_order_relaxed); }
    int MainCamera() const { return m_mainCamera.load(std::memory_order_relaxed); }
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
    void Pause();
    void Resume();
    // Requests, taken at the worker's next pass, also while paused (dropped while idle). The
    // first picture shown after one is the target frame's.
    void StepBackward(int seconds);
    void StepForward(int seconds);
    void SeekToMs(int64_t milliseconds);
    // The front key frame at or before the time: quick pictures while the thumb is dragged.
    void ScrubToMs(int64_t milliseconds);
    // Frames from the frame on screen (negative: back); steps asked before the worker takes
    // them add up.
    void StepFrames(int32_t frames);
    // Playing speed in percent of the recording's pace, clamped to 25 … 800.
    void SetSpeedPercent(int32_t percent);
    int32_t SpeedPercent() const { return m_sync.SpeedPercent(); }

    // The play time in milliseconds: the time of the front picture on screen.
    int32_t CurrentMs() const;
    // The play time in microseconds.
    int64_t CurrentUs() const { return m_positionUs.load(std::memory_order_acquire); }
    int32_t DurationMs() const { return m_durationMs.load(std::memory_order_acquire); }
    // kLoaded from an Open that opened the recording until its end or Stop; kIdle otherwise.
    int32_t StateValue() const { return m_state.load(std::memory_order_acquire); }
    bool IsRunning() const { return m_running.load(std::memory_order_acquire); }
    // How many repositions (seeks and steps) the worker has carried out since construction;
    // a front picture presented after this number changed belongs to the new position.
    int32_t Repositions() const { return m_repositions.load(std::memory_order_acquire); }
    // The time of the front picture on screen since the last Open (µs); -1 before the first.
    int64_t ShownUs() const { return m_shownUs.load(std::memory_order_acquire); }
    // The same as a frame number at the recording's nominal rate; -1 before the first.
    int32_t ShownFrame() const;
    // Front frames that came out of the delay line since the last Open: shown no later than
    // one period (at the playing speed) after they were due, shown later, and not shown
    // because they were too late. Paced playing only.
    // largestSoundHoleUs: the longest silence put into the sound since the last Open where
    // sound had already been playing (a hole in the recording's sound, or between two
    // recordings of a drive); the silence before the first sound of a position is not counted.
    struct FrameStats {
        int64_t onTime = 0;
        int64_t late = 0;
        int64_t skipped = 0;
        int64_t largestSoundHoleUs = 0;
    };
    FrameStats Stats() const;
    // Pictures of one camera (0 … kMaxCameras − 1) since the last Open: presented, and
    // decoded or read but not presented because they came too late to keep up. The front
    // camera's drops are Stats().skipped.
    struct CameraStats {
        int64_t presented = 0;
        int64_t dropped = 0;
    };
    CameraStats CameraStatsOf(int channel) const;
    // The open recording's video channels as its parser tells them; else 2 when its name says
    // two channels (tat::ChannelsOfPath: its last letter, in front of an extension if it has
    // one, is 'D'); before any Open, 2 when a rear frame rate is known.
    int ChannelCount() const;
    // Under the engine lock; false while idle.
    bool SaveSnapshot(int channel, const std::string& path);
    void SetBrightness(int channel, int level);

private:
    // kLoop: read the next packet in the same pass; kReturn: end the pass (the worker lets go
    // of the lock for a moment); kEnd: the data has ended and the delay line is empty.
    enum class LoopResult { kLoop, kReturn, kEnd };
    // One packet read; its payload is in the read buffer.
    struct Packet {
        bool ended = false; // the data has ended (or a read failed)
        MediaPacket media;
    };
    // A camera beside the front (channel 1 … 5) at the position played from. Under m_lock.
    // Its decoded pictures that wait for their front picture are kept by the decoder
    // (VMediaDecoder::Keep).
    struct CameraPlay {
        bool waitKey = true;     // its pictures wait for its first key frame
        bool presentNow = false; // its next picture is shown as it is decoded
        bool dropToKey = false;  // its packets go unread until its next key frame
    };
    // What the engine knows of the recording at the position it plays from; ResetPlayState
    // starts it afresh (Open, a reposition, Stop). Under m_lock.
    struct PlayState {
        bool prebuffering = true;  // the delay line fills before pictures come out of it
        bool soundStarted = false; // a sound block has been placed at this position
        bool waitFrontKey = true;  // the front waits for its first key frame
        int64_t targetUs = -1;     // the reposition's picture still to show; -1: none
        bool keyFrameOnly = false; // ... a scrub: the first picture decoded
        std::array<CameraPlay, kMaxCameras> cameras{}; // [0] unused: the front
        bool lastFrontSkipped = false;
        // How far behind the pace the front is: 0 on time, 1 more than a period, 2 more than
        // two periods five pictures in a row.
        int behind = 0;
        int lateRun = 0; // front pictures in a row more than two periods behind
        // The last front picture that was on schedule: its wall time, time and speed.
        std::chrono::steady_clock::time_point anchorWall{};
        int64_t anchorUs = 0;
        int32_t anchorSpeed = 0;
        int64_t lastPresentedUs = kNoTimeUs; // the front picture passed on last
        // Decoding ahead: front pictures are being decoded and kept before the first of them
        // is shown; the time of the newest kept, and when the first was kept.
        bool bursting = false;
        int64_t lastKeptUs = kNoTimeUs;
        std::chrono::steady_clock::time_point burstBegan{};
        bool readSinceReposition = false;
        bool havePending = false; // `pending` is read and waits in the read buffer
        Packet pending;
    };
    bool WorkerStep();
    void PausedStep();
    LoopResult PlayLoop();
    // Reads until the reposition's pictures are shown; the first packet beyond them is kept.
    void RunPausedReposition();
    // Takes the merged request and carries it out as one reposition; false when none waited.
    bool TakeRequests();
    // Playing on undisturbed: running, and no request waiting.
    bool KeepWaiting() const;
    void NextPacket(Packet& packet);
    // Routes one packet.
    LoopResult HandlePacket(const Packet& packet);
    LoopResult HandleVideo(const MediaPacket& packet);
    LoopResult HandleAudio(const MediaPacket& packet);
    // A front picture decoded on the way to the reposition's target: shows it when it is the
    // target. True when it was.
    bool ReachTarget();
    // The data ended before the target's picture came: the last picture decoded is shown.
    void FinishTargetAtEnd();
    // kLoop while the engine catches up after a reposition (no pause between packets).
    LoopResult EndOfPacket() const;
    LoopResult ShowOldest();
    // The delay line's front pictures span kPrebufferMs.
    bool DelayLineFull() const;
    // After the delay line ran empty at the end: the next picture the decoder held back.
    LoopResult ShowHeldBack();
    // A front picture just decoded (its decoding began at decodeBegan): kept, and more decoded
    // ahead of it while BurstGoesOn; then the kept pictures are presented.
    LoopResult KeepFront(std::chrono::steady_clock::time_point decodeBegan);
    // Whether the burst of front pictures decoded ahead takes one more (see the class comment).
    bool BurstGoesOn(std::chrono::steady_clock::time_point now) const;
    // Waits for each kept front picture's moment and shows it (or counts it skipped), with the
    // cameras' pictures it reaches.
    LoopResult PresentKeptFronts();
    // Every channel's kept pictures go (a pause, a reposition); the decoder shows what is on
    // screen again.
    void DropAllKept();
    // Drops camera `channel`'s kept pictures, counting each.
    void DropKeptCamera(int channel);
    // A decoded picture of camera `channel` (1 … 5): shown when the front picture on screen
    // has reached it, else kept until a front picture does.
    void PresentCamera(int channel);
    // Shows, of each camera's kept pictures that the front picture of time frontUs reaches,
    // the newest; the older ones are dropped.
    void PresentDueCameras(int64_t frontUs);
    // A camera's packet out of the delay line: decoded (at the cost its state asks for) and
    // shown with its front picture, or left out while the camera sheds pictures.
    void DecodeCamera(int channel, int32_t size, int64_t timeUs, bool key);
    // After a front picture shown at `shown`: how far behind the pace the front has fallen
    // (PlayState::behind). onSchedule: it waited for its moment, or began a position.
    void TrackBehind(bool onSchedule, std::chrono::steady_clock::time_point shown, int64_t timeUs,
                     int32_t speed, std::chrono::microseconds period);
    // The decode cost of a camera from how far behind the front is; tells the decoder of a
    // change.
    DecodeCost CostOf(int channel) const;
    void ApplyCost(int channel, DecodeCost cost);
    // The channels a packet of this recording can carry: 1 … kMaxCameras.
    int CameraCount() const;
    // Shows camera `channel`'s newest picture in its area; counted as presented when it was.
    bool ShowCamera(int channel);
    // Whether camera `channel` (1 … 5) has an area that is hidden now (0 wide or high): its
    // packets are then deferred (VMediaDecoder::Defer), not decoded. Without an area a camera
    // counts as seen (a caller that shows no pictures still has them decoded).
    bool CameraHidden(int channel) const;
    // Decodes a camera's packet, or defers it while the camera is hidden. True when a picture
    // came of it (never for a deferred packet).
    bool DecodeOrDefer(int channel, const uint8_t* bytes, int32_t size, int64_t timeUs, bool key);
    // Counts a picture of the camera as dropped.
    void CountDropped(int channel);
    // Whether the rear picture of time rearUs goes with the front picture of time frontUs: the
    // front has reached it, within half a front period.
    bool RearIsDue(int64_t rearUs, int64_t frontUs) const;
    // The decoder's time of its newest picture of the channel, else `packetUs`.
    int64_t PictureTime(int channel, int64_t packetUs) const;
    // Marks the front picture of time `timeUs` as on screen.
    void MarkShown(int64_t timeUs);
    // Waits for the front picture of time `timeUs` to be due; false when a request or a pause
    // came first. skip: too late to show.
    bool WaitUntilDue(int64_t timeUs, bool& skip);
    // When the sound of time `timeUs` is heard, once the output has begun to play what the
    // media clock let go (an output may first play out sound of its own); nothing when no
    // sound comes or a request or a pause came first. At most kSoundStartWaitMs ahead.
    std::optional<std::chrono::steady_clock::time_point> SoundStartDue(int64_t timeUs,
                                                                       int32_t speed);
    void SleepUntil(std::chrono::steady_clock::time_point due);
    // Holds the sound back (from a start until its first picture) or lets it play.
    void HoldSound(bool held);
    // Plays on from the first picture at or after targetUs.
    void Reposition(int64_t targetUs, bool keyFrameOnly);
    // Everything of the old position goes: the delay line, the decoders' held-back pictures,
    // the queued sound; the sound's time line starts again at fromUs.
    void ResetPlayState(int64_t fromUs);
    // Undoes what a Start that failed at `failed` did: stops the parts started before it, last
    // first, and closes a decoder that failed to open.
    void StopStartedParts(Part failed);
    int32_t RateOrFallback() const;
    // The nominal front frame period, microseconds.
    int64_t PeriodUs() const { return 1000000 / RateOrFallback(); }

    VMediaParser* m_parser = nullptr;
    VAudio* m_audio = nullptr;
    VMediaDecoder* m_decoder = nullptr;
    std::array<VPictureArea*, kMaxCameras> m_areas{}; // the caller's; by channel
    CMediaSync m_sync;
    FramePacer m_pacer;

    // Under m_lock (worker inside its loop; Open/Stop on the owner's thread).
    CSync m_lock{"none"};
    PacketFifo m_fifo;
    PlayState m_play;
    int32_t m_audioBits = 16;
    int32_t m_audioRate = 8000;
    bool m_loaded = false;        // a recording is open and has not ended
    bool m_endTold = false;       // under m_lock: the end of what Open loaded has been reported
    bool m_soundHeld = false;     // the media clock holds the sound until the first picture
    bool m_openStart = false;     // the next picture is a recording's first: it waits for its sound
    bool m_pausedHandled = false; // the worker has stopped the sound for a pause
    bool m_resyncOnResume = false;                 // resuming starts again at the next frame
    std::array<DecodeCost, kMaxCameras> m_costs{}; // as last told to the decoder
    AudioPlacement m_placement;
    std::vector<uint8_t> m_silence; // a block of silence for the gaps in the sound
    std::string m_path;             // owner's thread (Open, ChannelCount)
    AlignedBuffer m_readBuffer;
    AlignedBuffer m_frameBuffer;

    std::atomic<bool> m_started{false};
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_yield{false}; // Open, Stop, Shutdown: a paused reposition lets go
    std::atomic<bool> m_pacing{true};
    std::atomic<size_t> m_decodeAhead{kDecodeAheadPictures};
    std::atomic<int32_t> m_state{kIdle};
    std::atomic<int32_t> m_frameRate{0}; // as the parser reports it; 0: none known
    std::atomic<int32_t> m_rearFrameRate{0};
    std::atomic<int> m_videoChannels{0}; // as the parser tells them; 0: from the name
    std::atomic<int32_t> m_durationMs{0};
    std::atomic<int64_t> m_positionUs{0};
    std::atomic<int64_t> m_shownUs{-1};
    std::atomic<int32_t> m_repositions{0};
    std::atomic<int> m_mainCamera{0};
    std::atomic<bool> m_reducedCost{true};
    std::array<std::atomic<int64_t>, kMaxCameras> m_presented{};
    std::array<std::atomic<int64_t>, kMaxCameras> m_dropped{};
    RepositionQueue m_requests;
    std::atomic<int64_t> m_onTime{0};
    std::atomic<int64_t> m_late{0};
    std::atomic<int64_t> m_skipped{0};
    std::atomic<int64_t> m_largestSoundHoleUs{0};
    // The worker's waits sleep on this; requests and Pause wake it.
    // The worker's longest wait while paused or idle; any change it must act on wakes it.
    static constexpr int kPausedWaitMs = 250;
    // Wakes the worker from its waits (after the change it must see has been made).
    void Wake();
    std::mutex m_wakeMutex;
    std::condition_variable m_wake;

    TextCallback m_textCallback = nullptr;
    void* m_textUser = nullptr;
    EventCallback m_eventCallback = nullptr;
    void* m_eventUser = nullptr;

    CSingleThread m_worker; // last: stopped before the members above go
};
