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
    return Start(std::vector<VPictureArea*>{front, rear});
}

CQTRMediaPlayer::StartResult CQTRMediaPlayer::Start(const std::vector<VPictureArea*>& areas) {
    if (m_started.load(std::memory_order_acquire))
        return {};
    m_areas.fill(nullptr);
    for (size_t c = 0; c < areas.size() && c < m_areas.size(); ++c)
        m_areas[c] = areas[c];
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
    Wake();
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
    Wake();
    std::lock_guard<CSync> hold(m_lock);
    m_yield.store(false, std::memory_order_release);
    OpenInfo info;
    const bool opened = m_parser != nullptr && m_parser->Open(path, &info) != 0;
    m_durationMs.store(0, std::memory_order_release);
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
        m_rearFrameRate.store(std::max(m_parser->GetFrameRate(1), 0), std::memory_order_release);
        m_videoChannels.store(m_parser->VideoChannels(), std::memory_order_release);
        if (m_decoder != nullptr)
            for (int channel = 0; channel < CameraCount(); ++channel)
                m_decoder->SetVideoCodec(channel, m_parser->GetVideoCodec(channel));
        if (info.frontFrameCount > 0) {
            // A recording that declares no frame rate plays, and is timed, at 30 fps.
            const int32_t rate = info.frontFrameRate > 0 ? info.frontFrameRate : RateOrFallback();
            m_durationMs.store(
                static_cast<int32_t>(static_cast<double>(info.frontFrameCount) / rate * 1000.0),
                std::memory_order_release);
        }
    }
    m_sync.SetFormat(m_audioBits, m_audioRate);
    m_placement.SetFormat(m_audioBits, m_audioRate);
    ResetPlayState(0);
    m_loaded = opened;
    m_endTold = false;
    m_pausedHandled = false;
    m_resyncOnResume = false;
    m_openStart = true;
    m_positionUs.store(0, std::memory_order_release);
    m_shownUs.store(-1, std::memory_order_release);
    m_onTime.store(0, std::memory_order_release);
    m_late.store(0, std::memory_order_release);
    m_skipped.store(0, std::memory_order_release);
    m_largestSoundHoleUs.store(0, std::memory_order_release);
    for (int c = 0; c < kMaxCameras; ++c) {
        m_presented[static_cast<size_t>(c)].store(0, std::memory_order_release);
        m_dropped[static_cast<size_t>(c)].store(0, std::memory_order_release);
    }
    m_requests.Clear();
    m_running.store(true, std::memory_order_release);
    // Loaded as soon as Open returns, not from the worker's next pass: the window lays out
    // its panes for the recording right after Open, by whether one is loaded.
    if (opened)
        m_state.store(kLoaded, std::memory_order_release);
    return opened;
}

void CQTRMediaPlayer::Stop() {
    m_running.store(false, std::memory_order_release);
    m_yield.store(true, std::memory_order_release);
    Wake();
    // Taking the lock waits for the worker's current pass, so the parser is never closed
    // under a running read.
    std::lock_guard<CSync> hold(m_lock);
    m_yield.store(false, std::memory_order_release);
    m_state.store(kIdle, std::memory_order_release);
    if (m_parser != nullptr)
        m_parser->Close();
    ResetPlayState(0);
    m_loaded = false;
}

void CQTRMediaPlayer::Pause() {
    m_running.store(false, std::memory_order_release);
    Wake();
}

void CQTRMediaPlayer::Resume() {
    m_running.store(true, std::memory_order_release);
    Wake();
}

void CQTRMediaPlayer::StepBackward(int seconds) {
    m_requests.Step(-int64_t{seconds} * 1000000);
    Wake();
}

void CQTRMediaPlayer::StepForward(int seconds) {
    m_requests.Step(int64_t{seconds} * 1000000);
    Wake();
}

void CQTRMediaPlayer::SeekToMs(int64_t milliseconds) {
    m_requests.Seek(std::max<int64_t>(milliseconds, 0) * 1000, false);
    Wake();
}

void CQTRMediaPlayer::ScrubToMs(int64_t milliseconds) {
    m_requests.Seek(std::max<int64_t>(milliseconds, 0) * 1000, true);
    Wake();
}

void CQTRMediaPlayer::StepFrames(int32_t frames) {
    m_requests.StepFrames(frames);
    Wake();
}

void CQTRMediaPlayer::SetSpeedPercent(int32_t percent) {
    m_sync.SetSpeedPercent(std::clamp(percent, kMinSpeedPercent, kMaxSpeedPercent));
    Wake();
}

CQTRMediaPlayer::FrameStats CQTRMediaPlayer::Stats() const {
    return {m_onTime.load(std::memory_order_acquire), m_late.load(std::memory_order_acquire),
            m_skipped.load(std::memory_order_acquire),
            m_largestSoundHoleUs.load(std::memory_order_acquire)};
}

int32_t CQTRMediaPlayer::CurrentMs() const {
    return static_cast<int32_t>(CurrentUs() / 1000);
}

int32_t CQTRMediaPlayer::ShownFrame() const {
    const int64_t shown = ShownUs();
    if (shown < 0)
        return -1;
    return static_cast<int32_t>(std::llround(static_cast<double>(shown) * RateOrFallback() / 1e6));
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

int32_t CQTRMediaPlayer::RateOrFallback() const {
    const int32_t rate = m_frameRate.load(std::memory_order_acquire);
    return rate > 0 ? rate : kFallbackFrameRate;
}

int64_t CQTRMediaPlayer::PictureTime(int channel, int64_t packetUs) const {
    const int64_t told = m_decoder != nullptr ? m_decoder->PictureTimeUs(channel) : kNoTimeUs;
    return told != kNoTimeUs ? told : packetUs;
}

void CQTRMediaPlayer::MarkShown(int64_t timeUs) {
    m_positionUs.store(std::max<int64_t>(timeUs, 0), std::memory_order_release);
    m_shownUs.store(std::max<int64_t>(timeUs, 0), std::memory_order_release);
}

void CQTRMediaPlayer::ResetPlayState(int64_t fromUs) {
    // Pictures the decoders hold back for reordering, or keep decoded ahead, belong to the
    // old position.
    DropAllKept();
    if (m_decoder != nullptr)
        for (int channel = 0; channel < CameraCount(); ++channel)
            m_decoder->Flush(channel);
    m_fifo.Clear();
    m_play = PlayState{};
    // The sound waits for the first picture, so that it starts with the pictures.
    HoldSound(true);
    m_sync.Flush();
    m_placement.Restart(fromUs);
    m_pacer.Restart();
}

bool CQTRMediaPlayer::KeepWaiting() const {
    return m_running.load(std::memory_order_acquire) && !m_requests.Pending();
}

bool CQTRMediaPlayer::TakeRequests() {
    const std::optional<RepositionQueue::Request> request = m_requests.Take();
    if (!request)
        return false;
    // Steps count from the picture on screen, or from the target of a reposition not yet
    // shown.
    int64_t from = m_play.targetUs >= 0 ? m_play.targetUs : ShownUs();
    if (from < 0)
        from = CurrentUs();
    Reposition(request->TargetUs(from, PeriodUs()), request->keyFrameOnly);
    return true;
}

void CQTRMediaPlayer::Reposition(int64_t targetUs, bool keyFrameOnly) {
    const int64_t durationUs = int64_t{DurationMs()} * 1000;
    if (durationUs <= 0 || m_parser == nullptr)
        return;
    const int64_t target =
        std::clamp<int64_t>(targetUs, 0, std::max<int64_t>(durationUs - PeriodUs(), 0));
    // The parser lands on the front key frame at or before the whole second; decoding goes
    // forward from it.
    const int64_t second = target / 1000000;
    if (m_parser->SeekTime(static_cast<float>(second)) < 0)
        return; // the reader stays where it was: so does the position
    m_positionUs.store(target, std::memory_order_release);
    m_repositions.fetch_add(1, std::memory_order_acq_rel);
    ResetPlayState(target);
    m_play.targetUs = target;
    m_play.keyFrameOnly = keyFrameOnly;
    m_resyncOnResume = false;
    m_openStart = false;
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
        if (m_running.load(std::memory_order_acquire) && !m_loaded && m_endTold) {
            // A Resume after the end (or after an Open that failed): the end has been told
            // once already; telling it again would make the window skip a recording.
            m_running.store(false, std::memory_order_release);
        } else if (m_running.load(std::memory_order_acquire)) {
            if (m_pausedHandled) {
                m_pausedHandled = false;
                // The sound read ahead was dropped at the pause: start again at the next
                // frame, with its sound.
                if (m_resyncOnResume && !m_requests.Pending() && ShownUs() >= 0)
                    Reposition(ShownUs() + PeriodUs(), false);
                m_resyncOnResume = false;
            }
            m_state.store(kLoaded, std::memory_order_release);
            ended = PlayLoop() == LoopResult::kEnd;
            if (ended) {
                m_state.store(kIdle, std::memory_order_release);
                m_running.store(false, std::memory_order_release);
                m_loaded = false;
                m_endTold = true;
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
                m_requests.Clear();
            } else {
                if (!m_pausedHandled) {
                    // The sound stops with the picture.
                    m_pausedHandled = true;
                    m_resyncOnResume = m_play.readSinceReposition;
                    // The pictures decoded ahead are not shown; a snapshot saves the one
                    // on screen.
                    DropAllKept();
                    m_sync.Flush();
                    m_pacer.Restart();
                }
                if (TakeRequests())
                    RunPausedReposition();
            }
        }
    }
    // Every change that needs the worker wakes it (Wake), so the wait is long: a player that
    // is paused or has nothing open wakes four times a second, not a hundred.
    std::unique_lock<std::mutex> lock(m_wakeMutex);
    m_wake.wait_for(lock, std::chrono::milliseconds(kPausedWaitMs), [this] {
        return m_requests.Pending() || m_running.load(std::memory_order_acquire) ||
               m_yield.load(std::memory_order_acquire);
    });
}

void CQTRMediaPlayer::Wake() {
    // Taking the mutex orders the change before a waiter's test or after its wait began, so
    // the notification cannot fall between the two and be lost.
    { std::lock_guard<std::mutex> lock(m_wakeMutex); }
    m_wake.notify_all();
}

void CQTRMediaPlayer::RunPausedReposition() {
    const auto presentNow = [this] {
        return std::any_of(m_play.cameras.begin(), m_play.cameras.end(),
                           [](const CameraPlay& camera) { return camera.presentNow; });
    };
    while (m_play.targetUs >= 0 || presentNow()) {
        if (m_yield.load(std::memory_order_acquire) || m_running.load(std::memory_order_acquire))
            return;
        Packet packet;
        NextPacket(packet);
        if (packet.ended) {
            // The data ended before the target: its last picture is shown; resuming plays out
            // what is left and ends.
            FinishTargetAtEnd();
            m_play.pending = packet;
            m_play.havePending = true;
            return;
        }
        const StreamKind kind = packet.media.kind;
        if (kind == Audio && m_play.targetUs >= 0)
            continue; // nothing is heard while paused: resuming reads the sound on from here
        if (m_play.targetUs < 0 && kind != Text && kind != RearVideo) {
            // Beyond the target's pictures: kept for resuming, so that nothing is lost and no
            // sound plays while paused.
            m_play.pending = packet;
            m_play.havePending = true;
            return;
        }
        HandlePacket(packet);
    }
}

void CQTRMediaPlayer::NextPacket(Packet& packet) {
    if (m_play.havePending) {
        m_play.havePending = false;
        packet = m_play.pending;
        return;
    }
    packet = Packet{};
    if (m_parser == nullptr || !m_parser->Read(m_readBuffer.data(), kBufferSize, packet.media)) {
        packet.ended = true;
        return;
    }
    packet.media.size = std::clamp(packet.media.size, 0, kBufferSize);
    packet.media.payload = m_readBuffer.data();
}

CQTRMediaPlayer::LoopResult CQTRMediaPlayer::PlayLoop() {
    while (m_running.load(std::memory_order_acquire)) {
        TakeRequests();
        Packet packet;
        NextPacket(packet);
        if (!packet.ended && packet.media.kind == NoPacket)
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
    return m_play.targetUs >= 0 || m_play.prebuffering ? LoopResult::kLoop : LoopResult::kReturn;
}

CQTRMediaPlayer::LoopResult CQTRMediaPlayer::HandlePacket(const Packet& packet) {
    // The end of the data (or a failed read) plays out the delay line, whatever the
    // prebuffer says.
    if (packet.ended) {
        FinishTargetAtEnd();
        HoldSound(false);
        return ShowOldest();
    }
    m_play.readSinceReposition = true;
    const MediaPacket& media = packet.media;
    switch (media.kind) {
    case FrontVideo:
    case RearVideo:
        return HandleVideo(media);
    case Audio:
        return HandleAudio(media);
    case Text: {
        uint8_t* payload = m_readBuffer.data();
        payload[media.size] = 0; // the read buffer has one byte beyond kBufferSize for this
        if (m_textCallback != nullptr)
            m_textCallback(m_textUser, payload, media.size, CurrentMs());
        return EndOfPacket();
    }
    default:
        return EndOfPacket();
    }
}

CQTRMediaPlayer::LoopResult CQTRMediaPlayer::HandleVideo(const MediaPacket& packet) {
    const uint8_t* payload = m_readBuffer.data();
    const int32_t size = packet.size;
    const bool front = packet.kind == FrontVideo;
    if (front && m_play.waitFrontKey) {
        // After a reposition the front waits for its first key frame, which starts the delay
        // line (emptied by the reposition). The other cameras wait for their own
        // (CameraPlay::waitKey): one whose key frame the file's decoding order puts before the
        // front's (B-frames at another rate) would otherwise wait a whole group of pictures.
        if (!packet.keyFrame)
            return EndOfPacket();
        m_play.waitFrontKey = false;
    }
    if (front) {
        if (m_play.targetUs >= 0) {
            // Pictures before the target are decoded only; the target is shown at once.
            if (m_decoder != nullptr && m_decoder->Decode(0, payload, size, packet.timeUs))
                ReachTarget();
            return LoopResult::kLoop;
        }
        m_fifo.Push(PacketFifo::kFront, payload, size, packet.timeUs);
        if (m_play.prebuffering) {
            if (!DelayLineFull())
                return LoopResult::kLoop;
            m_play.prebuffering = false;
        }
    } else {
        const int channel = std::clamp<int>(packet.channel, 1, kMaxCameras - 1);
        CameraPlay& camera = m_play.cameras[static_cast<size_t>(channel)];
        if (camera.waitKey) {
            if (!packet.keyFrame)
                return EndOfPacket();
            camera.waitKey = false;
        }
        if (m_play.targetUs >= 0) {
            // Decoded on the way to the target, like the front pictures.
            if (m_decoder != nullptr)
                DecodeOrDefer(channel, payload, size, packet.timeUs, packet.keyFrame);
            return LoopResult::kLoop;
        }
        if (camera.presentNow) {
            // The camera's picture that goes with the target's is shown at once too.
            if (m_decoder != nullptr &&
                DecodeOrDefer(channel, payload, size, packet.timeUs, packet.keyFrame))
                ShowCamera(channel);
            camera.presentNow = false;
            return LoopResult::kLoop;
        }
        m_fifo.Push(static_cast<PacketFifo::Kind>(channel), payload, size, packet.timeUs,
                    packet.keyFrame);
    }
    if (m_play.prebuffering)
        return LoopResult::kLoop;
    // The delay line holds as much time as it should, whatever the pictures' rate: the oldest
    // front picture comes out once it is full, and the other cameras' pictures behind it with
    // it. A burst of front pictures decoded ahead takes them beyond that, and the kept
    // pictures are shown when it ends.
    LoopResult flow = LoopResult::kLoop;
    while (flow == LoopResult::kLoop && !m_fifo.Empty() &&
           (DelayLineFull() || m_fifo.OldestKind() != PacketFifo::kFront || m_play.bursting))
        flow = ShowOldest();
    if (flow == LoopResult::kLoop && m_play.bursting)
        flow = PresentKeptFronts();
    return flow;
}

bool CQTRMediaPlayer::DelayLineFull() const {
    // Full once it spans the delay line's length, its last picture's period included.
    return m_fifo.FrontSpanUs() + PeriodUs() >= int64_t{kPrebufferMs} * 1000 - PeriodUs() / 2;
}

CQTRMediaPlayer::LoopResult CQTRMediaPlayer::HandleAudio(const MediaPacket& packet) {
    AudioPlacement::Place place;
    if (!m_placement.PlaceBlock(packet.timeUs, packet.size, place))
        return EndOfPacket();
    if (place.silenceUs > 0 && m_play.soundStarted &&
        place.silenceUs > m_largestSoundHoleUs.load(std::memory_order_relaxed))
        m_largestSoundHoleUs.store(place.silenceUs, std::memory_order_release);
    m_play.soundStarted = true;
    if (place.silenceUs > 0) {
        // The sound starts after the picture, or has a hole: silence keeps the clock running
        // with the pictures.
        if (m_silence.size() < static_cast<size_t>(CMediaSync::kBlockBytes))
            m_silence.assign(static_cast<size_t>(CMediaSync::kBlockBytes), 0);
        int64_t startUs = place.silenceFromUs; // the blocks after the first continue it
        for (int64_t left = m_placement.BytesOf(place.silenceUs); left > 0;) {
            const auto piece =
                static_cast<int32_t>(std::min<int64_t>(left, CMediaSync::kBlockBytes));
            m_sync.PushPcm(m_silence.data(), piece, startUs);
            startUs = CMediaSync::kContinues;
            left -= piece;
        }
    }
    m_sync.PushPcm(m_readBuffer.data() + place.skipBytes, packet.size - place.skipBytes,
                   place.startUs);
    return LoopResult::kLoop;
}

void CQTRMediaPlayer::HoldSound(bool held) {
    m_soundHeld = held;
    m_sync.Hold(held);
}
