#include "CQTRMediaPlayer.h"

#include "storage/RecordingName.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>

namespace {

void SleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool IdIs(const char id[5], char third, char fourth) {
    return id[2] == third && id[3] == fourth;
}

} // namespace

CQTRMediaPlayer::CQTRMediaPlayer() : m_readBuffer(kBufferSize + 1), m_frameBuffer(kBufferSize) {
    // The sound is read as far ahead of what is heard as the pictures of the delay line, and
    // a little more: waiting for the queue to shrink below that would hold the reading back
    // until the sound runs ahead of every picture.
    m_sync.SetReadAheadUs(int64_t{kPrebufferMs + kReadAheadMarginMs} * 1000);
}

CQTRMediaPlayer::~CQTRMediaPlayer() {
    Shutdown();
}

void CQTRMediaPlayer::SetTextCallback(TextCallback callback, void* user) {
    m_textCallback = callback;
    m_textUser = user;
}

void CQTRMediaPlayer::SetEventCallback(EventCallback callback, void* user) {
    m_eventCallback = callback;
    m_eventUser = user;
}

const char* CQTRMediaPlayer::PartName(Part part) {
    switch (part) {
    case Part::kNone:
        return "";
    case Part::kParser:
        return "parser";
    case Part::kDecoder:
        return "decoder";
    case Part::kAudioOutput:
        return "audio output";
    case Part::kMediaClock:
        return "media clock";
    case Part::kWorker:
        return "worker thread";
    }
    return "";
}

CQTRMediaPlayer::StartResult CQTRMediaPlayer::Start(VPictureArea* front, VPictureArea* rear) {
    if (m_started.load(std::memory_order_acquire))
        return {};
    m_frontArea = front;
    m_rearArea = rear;
    Part failed = Part::kNone;
    if (m_parser != nullptr && !m_parser->Start())
        failed = Part::kParser;
    else if (m_decoder != nullptr && !m_decoder->Open())
        failed = Part::kDecoder;
    else if (m_audio != nullptr && !m_audio->Open(m_audioBits, m_audioRate))
        failed = Part::kAudioOutput;
    if (failed == Part::kNone) {
        m_sync.SetOutput(m_audio);
        if (!m_sync.StartFeed())
            failed = Part::kMediaClock;
        else if (!m_worker.BeginThread([this] { return WorkerStep(); }))
            failed = Part::kWorker;
    }
    if (failed != Part::kNone) {
        StopStartedParts(failed);
        return {failed};
    }
    m_started.store(true, std::memory_order_release);
    return {};
}

void CQTRMediaPlayer::StopStartedParts(Part failed) {
    // The audio output closes before the feed stops, so that a Write waiting on the device
    // returns.
    if (failed > Part::kAudioOutput && m_audio != nullptr)
        m_audio->Close();
    if (failed > Part::kMediaClock)
        m_sync.StopFeed();
    // A decoder that failed to open may hold one of its channels open: it is closed too.
    if (failed >= Part::kDecoder && m_decoder != nullptr)
        m_decoder->Close();
    if (failed > Part::kParser && m_parser != nullptr)
        m_parser->Stop();
}

void CQTRMediaPlayer::Shutdown() {
    if (!m_started.exchange(false))
        return;
    m_running.store(false, std::memory_order_release);
    m_yield.store(true, std::memory_order_release);
    m_wake.notify_all();
    m_worker.StopThread();
    m_yield.store(false, std::memory_order_release);
    if (m_audio != nullptr)
        m_audio->Close(); // before the feed stops, so a Write waiting on the device returns
    m_sync.StopFeed();
    if (m_parser != nullptr)
        m_parser->Stop();
}

bool CQTRMediaPlayer::Open(const std::string& path) {
    m_running.store(false, std::memory_order_release);
    m_yield.store(true, std::memory_order_release);
    m_wake.notify_all();
    {
        std::lock_guard<CSync> hold(m_lock);
        m_yield.store(false, std::memory_order_release);
        OpenInfo info;
        const bool opened = m_parser != nullptr && m_parser->Open(path, &info) != 0;
        m_fifo.Clear();
        m_bufferedFront = 0;
        m_prebuffering = true;
        m_durationMs.store(0, std::memory_order_release);
        m_currentFrame.store(0, std::memory_order_release);
        m_totalFrames = 0;
        m_videoChannels.store(0, std::memory_order_release);
        if (opened) {
            m_path = path;
            int32_t bits = m_audioBits;
            int32_t sampleRate = m_audioRate;
            m_parser->GetAudioFormat(bits, sampleRate);
            if (bits != m_audioBits || sampleRate != m_audioRate) {
                m_audioBits = bits;
                m_audioRate = sampleRate;
                if (m_audio != nullptr) {
                    m_audio->Close();
                    m_audio->Open(m_audioBits, m_audioRate);
                }
            }
            int32_t frontRate = m_parser->GetFrameRate(0);
            if (frontRate <= 0)
                frontRate = info.frontFrameRate;
            m_frameRate.store(std::max(frontRate, 0), std::memory_order_release);
            m_rearFrameRate.store(std::max(m_parser->GetFrameRate(1), 0),
                                  std::memory_order_release);
            if (m_decoder != nullptr)
                for (int channel = 0; channel < 2; ++channel)
                    m_decoder->SetVideoCodec(channel, m_parser->GetVideoCodec(channel));
            m_videoChannels.store(m_parser->VideoChannels(), std::memory_order_release);
            if (info.frontFrameCount > 0) {
                // A recording that declares no frame rate plays, and is timed, at 30 fps.
                const int32_t rate =
                    info.frontFrameRate > 0 ? info.frontFrameRate : RateOrFallback();
                m_durationMs.store(
                    static_cast<int32_t>(static_cast<double>(info.frontFrameCount) / rate * 1000.0),
                    std::memory_order_release);
                m_totalFrames = info.frontFrameCount;
            }
        }
        RepositionReset();
        m_sync.SetFormat(m_audioBits, m_audioRate);
        m_sync.Flush();
        m_placement.SetFormat(m_audioBits, m_audioRate, CMediaSync::kBlockBytes);
        m_placement.Restart(0);
        m_loaded = opened;
        m_seekTarget = -1;
        m_keyFrameIndex = 0;
        m_nextFrontIndex = 0;
        m_lastFrontUs = 0;
        m_pausedHandled = false;
        m_resyncOnResume = false;
        m_readSinceReposition = false;
        m_openStart = true;
        m_pacer.Restart();
        m_shownFrame.store(-1, std::memory_order_release);
        m_onTime.store(0, std::memory_order_release);
        m_late.store(0, std::memory_order_release);
        m_skipped.store(0, std::memory_order_release);
        m_stepRequest.store(0, std::memory_order_release);
        m_frameStepRequest.store(0, std::memory_order_release);
        m_seekRequest.store(0, std::memory_order_release);
        m_running.store(true, std::memory_order_release);
        return opened;
    }
}

void CQTRMediaPlayer::Stop() {
    m_running.store(false, std::memory_order_release);
    m_yield.store(true, std::memory_order_release);
    m_wake.notify_all();
    // Taking the lock waits for the worker's current pass, so the parser is never closed
    // under a running read.
    std::lock_guard<CSync> hold(m_lock);
    m_yield.store(false, std::memory_order_release);
    m_state.store(kIdle, std::memory_order_release);
    if (m_parser != nullptr)
        m_parser->Close();
    RepositionReset();
    m_loaded = false;
    m_sync.Flush();
}

void CQTRMediaPlayer::Pause() {
    m_running.store(false, std::memory_order_release);
    m_wake.notify_all();
}

void CQTRMediaPlayer::Resume() {
    m_running.store(true, std::memory_order_release);
    m_wake.notify_all();
}

void CQTRMediaPlayer::StepBackward(int seconds) {
    m_stepRequest.store(-seconds * RateOrFallback(), std::memory_order_release);
    m_wake.notify_all();
}

void CQTRMediaPlayer::StepForward(int seconds) {
    m_stepRequest.store(seconds * RateOrFallback(), std::memory_order_release);
    m_wake.notify_all();
}

void CQTRMediaPlayer::SeekToMs(int64_t milliseconds) {
    const int64_t frame = std::max<int64_t>(milliseconds, 0) * RateOrFallback() / 1000;
    m_seekRequest.store((frame + 1) * 2, std::memory_order_release);
    m_wake.notify_all();
}

void CQTRMediaPlayer::ScrubToMs(int64_t milliseconds) {
    const int64_t frame = std::max<int64_t>(milliseconds, 0) * RateOrFallback() / 1000;
    m_seekRequest.store((frame + 1) * 2 + 1, std::memory_order_release);
    m_wake.notify_all();
}

void CQTRMediaPlayer::StepFrames(int32_t frames) {
    m_frameStepRequest.fetch_add(frames, std::memory_order_acq_rel);
    m_wake.notify_all();
}

void CQTRMediaPlayer::SetSpeedPercent(int32_t percent) {
    m_sync.SetSpeedPercent(std::clamp(percent, kMinSpeedPercent, kMaxSpeedPercent));
    m_wake.notify_all();
}

CQTRMediaPlayer::FrameStats CQTRMediaPlayer::Stats() const {
    return {m_onTime.load(std::memory_order_acquire), m_late.load(std::memory_order_acquire),
            m_skipped.load(std::memory_order_acquire)};
}

int32_t CQTRMediaPlayer::CurrentMs() const {
    return static_cast<int32_t>(static_cast<int64_t>(CurrentFrame()) * 1000 / RateOrFallback());
}

int CQTRMediaPlayer::ChannelCount() const {
    const int told = m_videoChannels.load(std::memory_order_acquire);
    if (told > 0)
        return told;
    if (!m_path.empty())
        return tat::ChannelsOfPath(m_path);
    return m_rearFrameRate.load(std::memory_order_acquire) != 0 ? 2 : 1;
}

bool CQTRMediaPlayer::SaveSnapshot(int channel, const std::string& path) {
    if (StateValue() == kIdle || m_decoder == nullptr)
        return false;
    std::lock_guard<CSync> hold(m_lock);
    return m_decoder->SaveSnapshot(channel, path);
}

void CQTRMediaPlayer::SetBrightness(int channel, int level) {
    if (m_decoder != nullptr)
        m_decoder->SetBrightness(channel, level);
}

bool CQTRMediaPlayer::IsKeyFramePayload(const uint8_t* payload, int32_t size) {
    return size < 5 || payload[4] != 0x41;
}

int32_t CQTRMediaPlayer::RateOrFallback() const {
    const int32_t rate = m_frameRate.load(std::memory_order_acquire);
    return rate > 0 ? rate : kFallbackFrameRate;
}

int64_t CQTRMediaPlayer::FrameUs(int64_t frame) const {
    return frame * 1000000 / RateOrFallback();
}

CQTRMediaPlayer::LoopResult CQTRMediaPlayer::ShowHeldBack() {
    // The data has ended and the delay line is empty: the decoder still holds the last
    // pictures back for reordering (a stream with B-frames). Each is shown at its moment.
    if (m_decoder == nullptr || !m_decoder->DecodeEnd(0))
        return LoopResult::kEnd;
    return PresentFront();
}

CQTRMediaPlayer::LoopResult CQTRMediaPlayer::PresentFront() {
    bool skip = false;
    if (!WaitUntilDue(CurrentFrame(), skip))
        return LoopResult::kReturn; // a request or a pause came first: this frame is dropped
    const int32_t index = m_currentFrame.fetch_add(1, std::memory_order_acq_rel);
    m_lastFrontSkipped = skip;
    if (m_decoder != nullptr && !skip) {
        m_decoder->Show(0, m_frontArea);
        m_shownFrame.store(index, std::memory_order_release);
    }
    if (m_soundHeld)
        HoldSound(false);
    return LoopResult::kLoop;
}

void CQTRMediaPlayer::RepositionReset() {
    // Pictures the decoders hold back for reordering belong to the old position.
    if (m_decoder != nullptr) {
        m_decoder->Flush(0);
        m_decoder->Flush(1);
    }
    m_waitFrontKey = true;
    m_waitRearKey = true;
    m_fifo.Clear();
    m_bufferedFront = 0;
    m_prebuffering = true;
    // The sound waits for the first picture, so that it starts with the pictures.
    HoldSound(true);
    m_havePending = false;
    m_presentRearNow = false;
}

bool CQTRMediaPlayer::HasRequests() const {
    return m_stepRequest.load(std::memory_order_acquire) != 0 ||
           m_frameStepRequest.load(std::memory_order_acquire) != 0 ||
           m_seekRequest.load(std::memory_order_acquire) != 0;
}

bool CQTRMediaPlayer::KeepWaiting() const {
    return m_running.load(std::memory_order_acquire) && !HasRequests();
}

bool CQTRMediaPlayer::TakeRequests() {
    const int32_t frames = m_frameStepRequest.exchange(0, std::memory_order_acq_rel);
    const int32_t step = m_stepRequest.exchange(0, std::memory_order_acq_rel);
    const int64_t seek = m_seekRequest.exchange(0, std::memory_order_acq_rel);
    if (frames == 0 && step == 0 && seek == 0)
        return false;
    // Steps count from the frame on screen, or from the target of a reposition not yet shown.
    int64_t target = m_seekTarget >= 0 ? m_seekTarget : ShownFrame();
    if (target < 0)
        target = std::max(CurrentFrame() - 1, 0);
    bool keyFrameOnly = false;
    if (frames != 0)
        target += frames;
    if (step != 0)
        target = static_cast<int64_t>(CurrentFrame()) + step;
    if (seek != 0) {
        target = seek / 2 - 1;
        keyFrameOnly = (seek & 1) != 0;
    }
    SeekToFrame(target, keyFrameOnly);
    return true;
}

void CQTRMediaPlayer::SeekToFrame(int64_t target, bool keyFrameOnly) {
    if (m_totalFrames <= 0 || m_parser == nullptr)
        return;
    const int32_t rate = RateOrFallback();
    const auto frame = static_cast<int32_t>(std::clamp<int64_t>(target, 0, m_totalFrames - 1));
    // The whole second's index entry starts at its key frame; decoding goes forward from it.
    const int32_t second = frame / rate;
    if (m_parser->SeekTime(static_cast<float>(second)) < 0)
        return; // the reader stays where it was: so does the position
    m_keyFrameIndex = second * rate;
    m_seekTarget = keyFrameOnly ? m_keyFrameIndex : frame;
    m_currentFrame.store(m_seekTarget, std::memory_order_release);
    m_repositions.fetch_add(1, std::memory_order_acq_rel);
    RepositionReset();
    m_sync.Flush();
    m_placement.Restart(FrameUs(m_seekTarget));
    m_readSinceReposition = false;
    m_resyncOnResume = false;
    m_openStart = false;
    m_pacer.Restart();
}

void CQTRMediaPlayer::SleepUntil(std::chrono::steady_clock::time_point due) {
    std::unique_lock<std::mutex> lock(m_wakeMutex);
    m_wake.wait_until(lock, due, [this] { return !KeepWaiting(); });
}

bool CQTRMediaPlayer::WorkerStep() {
    if (!m_running.load(std::memory_order_acquire)) {
        PausedStep();
        return true;
    }
    bool ended = false;
    {
        std::lock_guard<CSync> hold(m_lock);
        // Stop or Open may have run between the test above and the lock; then there is
        // nothing to play and nothing to report.
        if (m_running.load(std::memory_order_acquire)) {
            if (m_pausedHandled) {
                m_pausedHandled = false;
                // The sound read ahead was dropped at the pause: start again at the next
                // frame, with its sound.
                if (m_resyncOnResume && !HasRequests())
                    SeekToFrame(CurrentFrame(), false);
                m_resyncOnResume = false;
            }
            m_state.store(kLoaded, std::memory_order_release);
            ended = PlayLoop() == LoopResult::kEnd;
            if (ended) {
                m_state.store(kIdle, std::memory_order_release);
                m_running.store(false, std::memory_order_release);
                m_loaded = false;
            }
        }
    }
    SleepMs(1);
    if (ended && m_eventCallback != nullptr)
        m_eventCallback(m_eventUser, kEventEnd, 0, 0);
    return true;
}

void CQTRMediaPlayer::PausedStep() {
    {
        std::lock_guard<CSync> hold(m_lock);
        if (!m_running.load(std::memory_order_acquire)) {
            if (!m_loaded) {
                // Nothing to move: requests made while idle are dropped.
                m_stepRequest.store(0, std::memory_order_release);
                m_frameStepRequest.store(0, std::memory_order_release);
                m_seekRequest.store(0, std::memory_order_release);
            } else {
                if (!m_pausedHandled) {
                    // The sound stops with the picture.
                    m_pausedHandled = true;
                    m_resyncOnResume = m_readSinceReposition;
                    m_sync.Flush();
                    m_pacer.Restart();
                }
                if (TakeRequests())
                    RunPausedReposition();
            }
        }
    }
    std::unique_lock<std::mutex> lock(m_wakeMutex);
    m_wake.wait_for(lock, std::chrono::milliseconds(10),
                    [this] { return HasRequests() || m_running.load(std::memory_order_acquire); });
}

void CQTRMediaPlayer::RunPausedReposition() {
    while (m_seekTarget >= 0 || m_presentRearNow) {
        if (m_yield.load(std::memory_order_acquire) || m_running.load(std::memory_order_acquire))
            return;
        Packet packet;
        NextPacket(packet);
        if (packet.result < 0) {
            // The data ended before the target: resuming plays out what is left and ends.
            m_pending = packet;
            m_havePending = true;
            return;
        }
        const bool text = IdIs(packet.id, 't', 'x');
        const bool rear =
            IdIs(packet.id, 'd', 'c') && !(packet.id[0] == '0' && packet.id[1] == '0');
        if (m_seekTarget < 0 && !text && !rear) {
            // Beyond the target's pictures: kept for resuming, so that nothing is lost and no
            // sound plays while paused.
            m_pending = packet;
            m_havePending = true;
            return;
        }
        HandlePacket(packet);
    }
}

void CQTRMediaPlayer::NextPacket(Packet& packet) {
    if (m_havePending) {
        m_havePending = false;
        packet = m_pending;
        return;
    }
    packet = Packet{};
    int32_t size = kBufferSize;
    packet.result =
        m_parser != nullptr ? m_parser->ReadChunk(packet.id, m_readBuffer.data(), size) : -1;
    packet.size = std::clamp(size, 0, kBufferSize);
    packet.keyFrame =
        m_parser != nullptr && packet.result > 0 ? m_parser->LastPacketKeyFrame() : -1;
}

CQTRMediaPlayer::LoopResult CQTRMediaPlayer::PlayLoop() {
    while (m_running.load(std::memory_order_acquire)) {
        TakeRequests();
        Packet packet;
        NextPacket(packet);
        if (packet.result == 0)
            continue;
        const LoopResult flow = HandlePacket(packet);
        if (flow != LoopResult::kLoop)
            return flow;
    }
    return LoopResult::kReturn;
}

CQTRMediaPlayer::LoopResult CQTRMediaPlayer::EndOfPacket() const {
    // While a reposition's picture is still to come, or the delay line fills, packets follow
    // one another without a pause: that is the time to the first new picture.
    return m_seekTarget >= 0 || m_prebuffering ? LoopResult::kLoop : LoopResult::kReturn;
}

CQTRMediaPlayer::LoopResult CQTRMediaPlayer::HandlePacket(const Packet& packet) {
    // The end of the data (or a failed read) plays out the delay line, whatever the
    // prebuffer says.
    if (packet.result < 0) {
        HoldSound(false);
        return ShowOldest();
    }
    m_readSinceReposition = true;
    if (IdIs(packet.id, 'd', 'c'))
        return HandleVideo(packet);
    if (IdIs(packet.id, 'w', 'b'))
        return HandleAudio(packet);
    if (IdIs(packet.id, 't', 'x')) {
        uint8_t* payload = m_readBuffer.data();
        payload[packet.size] = 0; // the read buffer has one byte beyond kBufferSize for this
        if (m_textCallback != nullptr)
            m_textCallback(m_textUser, payload, packet.size, CurrentMs());
        return EndOfPacket();
    }
    return EndOfPacket(); // anything else, the container's index among it
}

CQTRMediaPlayer::LoopResult CQTRMediaPlayer::HandleVideo(const Packet& packet) {
    const uint8_t* payload = m_readBuffer.data();
    const int32_t size = packet.size;
    const bool front = packet.id[0] == '0' && packet.id[1] == '0';
    const bool key = packet.keyFrame >= 0 ? packet.keyFrame != 0 : IsKeyFramePayload(payload, size);
    if (m_waitFrontKey) {
        // After a reposition everything waits for the first front key frame, which starts a
        // fresh delay line.
        if (!front || !key)
            return EndOfPacket();
        m_fifo.Clear();
        m_bufferedFront = 0;
        m_prebuffering = true;
        m_waitFrontKey = false;
        m_nextFrontIndex = m_keyFrameIndex;
    }
    if (front) {
        const int32_t index = m_nextFrontIndex++;
        m_lastFrontUs = FrameUs(index);
        if (m_seekTarget >= 0) {
            // Frames before the target are decoded only; the target is shown at once.
            if (index < m_seekTarget) {
                if (m_decoder != nullptr)
                    m_decoder->Decode(0, payload, size);
                return LoopResult::kLoop;
            }
            if (m_decoder != nullptr)
                m_decoder->DecodeAndShow(0, m_frontArea, payload, size);
            m_currentFrame.store(index + 1, std::memory_order_release);
            m_shownFrame.store(index, std::memory_order_release);
            m_seekTarget = -1;
            m_presentRearNow = true;
            m_lastFrontSkipped = false;
            HoldSound(false);
            return LoopResult::kLoop;
        }
        m_fifo.Push(PacketFifo::kFront, payload, size);
        ++m_bufferedFront;
        if (m_prebuffering) {
            if (m_bufferedFront < kPrebufferMs * RateOrFallback() / 1000)
                return LoopResult::kLoop;
            m_prebuffering = false;
        }
    } else {
        if (m_waitRearKey) {
            if (!key)
                return EndOfPacket();
            m_waitRearKey = false;
        }
        if (m_seekTarget >= 0) {
            // Decoded on the way to the target, like the front frames.
            if (m_decoder != nullptr)
                m_decoder->Decode(1, payload, size);
            return LoopResult::kLoop;
        }
        if (m_presentRearNow) {
            // The rear picture that goes with the target's is shown at once too.
            if (m_decoder != nullptr)
                m_decoder->DecodeAndShow(1, m_rearArea, payload, size);
            m_presentRearNow = false;
            return LoopResult::kLoop;
        }
        m_fifo.Push(PacketFifo::kRear, payload, size);
    }
    if (m_prebuffering)
        return LoopResult::kLoop;
    return ShowOldest();
}

CQTRMediaPlayer::LoopResult CQTRMediaPlayer::HandleAudio(const Packet& packet) {
    // Sound read before the reposition's picture lies before it.
    if (m_waitFrontKey || m_seekTarget >= 0)
        return EndOfPacket();
    AudioPlacement::Place place;
    if (m_placement.PlaceBlock(packet.size, m_lastFrontUs, place))
        m_sync.PushPcm(m_readBuffer.data() + place.skipBytes, packet.size - place.skipBytes,
                       place.startUs);
    return LoopResult::kLoop;
}

void CQTRMediaPlayer::HoldSound(bool held) {
    m_soundHeld = held;
    m_sync.Hold(held);
}

bool CQTRMediaPlayer::WaitUntilDue(int32_t frame, bool& skip) {
    using Clock = std::chrono::steady_clock;
    skip = false;
    const bool pacing = m_pacing.load(std::memory_order_relaxed);
    // The sound read with this frame must be about to play: wait until at most one block is
    // still queued. (The first picture of a start does not wait: its sound follows it.)
    if (!m_soundHeld)
        m_sync.WaitForAudio([this] { return KeepWaiting(); });
    if (!pacing || !KeepWaiting())
        return KeepWaiting();
    const int32_t speed = m_sync.SpeedPercent();
    const std::chrono::microseconds period(int64_t{100000000} /
                                           (int64_t{RateOrFallback()} * speed));
    const Clock::time_point now = Clock::now();
    std::optional<Clock::time_point> soundDue;
    int64_t heardUs = 0;
    if (m_soundHeld && m_openStart) {
        // The first picture of a recording: due when its sound begins to be heard.
        m_openStart = false;
        HoldSound(false);
        soundDue = SoundStartDue(frame, speed);
        if (!KeepWaiting())
            return false;
    } else if (m_soundHeld) {
        soundDue = now; // a reposition: due now, and the schedule goes on from here
    } else if (m_sync.HeardUs(now, heardUs)) {
        // Due when its time is heard; never held longer than a few periods.
        const int64_t ahead = (FrameUs(frame) - heardUs) * 100 / speed;
        const std::chrono::microseconds limit =
            std::max<std::chrono::microseconds>(4 * period, std::chrono::milliseconds(200));
        soundDue =
            now + std::min<std::chrono::microseconds>(std::chrono::microseconds(ahead), limit);
    }
    const Clock::time_point due = m_pacer.Plan(0, now, period, soundDue);
    if (due > now)
        SleepUntil(due);
    if (!KeepWaiting())
        return false;
    const Clock::time_point shown = Clock::now();
    m_pacer.Passed(shown);
    const auto late = shown - due;
    if (late > std::max<Clock::duration>(2 * period, std::chrono::milliseconds(kSkipLateMs))) {
        skip = true;
        m_skipped.fetch_add(1, std::memory_order_acq_rel);
    } else if (late > period) {
        m_late.fetch_add(1, std::memory_order_acq_rel);
    } else {
        m_onTime.fetch_add(1, std::memory_order_acq_rel);
    }
    return true;
}

std::optional<std::chrono::steady_clock::time_point> CQTRMediaPlayer::SoundStartDue(int32_t frame,
                                                                                    int32_t speed) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline = start + std::chrono::milliseconds(kSoundStartWaitMs);
    while (KeepWaiting()) {
        const Clock::time_point now = Clock::now();
        int64_t heardUs = 0;
        if (m_sync.HeardUs(now, heardUs)) {
            const int64_t ahead = (FrameUs(frame) - heardUs) * 100 / speed;
            const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - now);
            return now +
                   std::clamp(std::chrono::microseconds(ahead), std::chrono::microseconds(0), left);
        }
        // No sound to wait for: none queued a moment after it was let go (none read, or an
        // output that plays it at once), or the output does not begin.
        if (now >= deadline ||
            (m_sync.QueuedBlocks() == 0 && now - start > std::chrono::milliseconds(50)))
            return std::nullopt;
        SleepUntil(now + std::chrono::milliseconds(2));
    }
    return std::nullopt;
}

CQTRMediaPlayer::LoopResult CQTRMediaPlayer::ShowOldest() {
    int32_t size = 0;
    PacketFifo::Kind kind = PacketFifo::kFront;
    if (!m_fifo.PopOldest(m_frameBuffer.data(), m_frameBuffer.size(), size, kind))
        return ShowHeldBack();
    if (kind == PacketFifo::kFront) {
        // Decoded ahead of its moment, so that only the conversion lies between the moment
        // and the picture.
        if (m_decoder != nullptr)
            m_decoder->Decode(0, m_frameBuffer.data(), size);
        return PresentFront();
    }
    if (m_decoder != nullptr) {
        // A rear picture goes with the front one before it: not shown when that was not.
        if (m_lastFrontSkipped)
            m_decoder->Decode(1, m_frameBuffer.data(), size);
        else
            m_decoder->DecodeAndShow(1, m_rearArea, m_frameBuffer.data(), size);
    }
    return LoopResult::kLoop;
}
