#include "CQTRMediaPlayer.h"

#include "storage/RecordingName.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

void SleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool IdIs(const char id[5], char third, char fourth) {
    return id[2] == third && id[3] == fourth;
}

} // namespace

CQTRMediaPlayer::CQTRMediaPlayer() : m_readBuffer(kBufferSize + 1), m_frameBuffer(kBufferSize) {}

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
    m_worker.StopThread();
    if (m_audio != nullptr)
        m_audio->Close(); // before the feed stops, so a Write waiting on the device returns
    m_sync.StopFeed();
    if (m_parser != nullptr)
        m_parser->Stop();
}

bool CQTRMediaPlayer::Open(const std::string& path) {
    m_running.store(false, std::memory_order_release);
    {
        std::lock_guard<CSync> hold(m_lock);
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
        m_sync.Clear();
        m_stepRequest.store(0, std::memory_order_release);
        m_seekRequest.store(0, std::memory_order_release);
        m_running.store(true, std::memory_order_release);
        return opened;
    }
}

void CQTRMediaPlayer::Stop() {
    m_running.store(false, std::memory_order_release);
    // Taking the lock waits for the worker's current pass, so the parser is never closed
    // under a running read.
    std::lock_guard<CSync> hold(m_lock);
    m_state.store(kIdle, std::memory_order_release);
    if (m_parser != nullptr)
        m_parser->Close();
    RepositionReset();
}

void CQTRMediaPlayer::StepBackward(int seconds) {
    m_stepRequest.store(-seconds * RateOrFallback(), std::memory_order_release);
}

void CQTRMediaPlayer::StepForward(int seconds) {
    m_stepRequest.store(seconds * RateOrFallback(), std::memory_order_release);
}

void CQTRMediaPlayer::SeekToMs(int64_t milliseconds) {
    const int64_t frame = std::max<int64_t>(milliseconds, 0) * RateOrFallback() / 1000;
    m_seekRequest.store(frame + 1, std::memory_order_release);
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

void CQTRMediaPlayer::RepositionReset() {
    m_waitFrontKey = true;
    m_waitRearKey = true;
    m_fifo.Clear();
    m_bufferedFront = 0;
    m_prebuffering = true;
}

void CQTRMediaPlayer::SeekToFrame(int64_t target) {
    if (m_totalFrames <= 0)
        return;
    const int32_t frame = static_cast<int32_t>(std::clamp<int64_t>(target, 0, m_totalFrames - 1));
    m_currentFrame.store(frame, std::memory_order_release);
    m_repositions.fetch_add(1, std::memory_order_acq_rel);
    if (m_parser != nullptr)
        m_parser->SeekTime(static_cast<float>(frame) / static_cast<float>(RateOrFallback()));
    RepositionReset();
}

bool CQTRMediaPlayer::WorkerStep() {
    if (!m_running.load(std::memory_order_acquire)) {
        SleepMs(10);
        // Requests made while paused are dropped.
        m_stepRequest.store(0, std::memory_order_release);
        m_seekRequest.store(0, std::memory_order_release);
        return true;
    }
    bool ended = false;
    {
        std::lock_guard<CSync> hold(m_lock);
        // Stop or Open may have run between the test above and the lock; then there is
        // nothing to play and nothing to report.
        if (m_running.load(std::memory_order_acquire)) {
            ended = PlayLoop() == LoopResult::kEnd;
            if (ended) {
                m_state.store(kIdle, std::memory_order_release);
                m_running.store(false, std::memory_order_release);
            } else {
                m_state.store(kLoaded, std::memory_order_release);
            }
        }
    }
    SleepMs(1);
    if (ended && m_eventCallback != nullptr)
        m_eventCallback(m_eventUser, kEventEnd, 0, 0);
    return true;
}

CQTRMediaPlayer::LoopResult CQTRMediaPlayer::PlayLoop() {
    while (m_running.load(std::memory_order_acquire)) {
        const int32_t step = m_stepRequest.exchange(0, std::memory_order_acq_rel);
        if (step != 0)
            SeekToFrame(static_cast<int64_t>(CurrentFrame()) + step);
        const int64_t seek = m_seekRequest.exchange(0, std::memory_order_acq_rel);
        if (seek != 0)
            SeekToFrame(seek - 1);

        char id[5] = {0, 0, 0, 0, 0};
        int32_t size = kBufferSize;
        const int64_t result =
            m_parser != nullptr ? m_parser->ReadChunk(id, m_readBuffer.data(), size) : -1;
        if (result == 0)
            continue;
        size = std::clamp(size, 0, kBufferSize);
        const LoopResult flow = HandlePacket(result, id, size);
        if (flow != LoopResult::kLoop)
            return flow;
    }
    return LoopResult::kReturn;
}

CQTRMediaPlayer::LoopResult CQTRMediaPlayer::HandlePacket(int64_t result, const char id[5],
                                                          int32_t size) {
    // The end of the data (or a failed read) plays out the delay line, whatever the
    // prebuffer says.
    if (result < 0)
        return ShowOldest();

    uint8_t* payload = m_readBuffer.data();
    if (IdIs(id, 'd', 'c')) {
        const bool front = id[0] == '0' && id[1] == '0';
        const int known = m_parser->LastPacketKeyFrame();
        const bool key = known >= 0 ? known != 0 : IsKeyFramePayload(payload, size);
        if (m_waitFrontKey) {
            // After a reposition everything waits for the first front key frame, which
            // starts a fresh delay line.
            if (!front || !key)
                return LoopResult::kReturn;
            m_fifo.Clear();
            m_bufferedFront = 0;
            m_prebuffering = true;
            m_waitFrontKey = false;
        }
        if (front) {
            m_fifo.Push(PacketFifo::kFront, payload, size);
            ++m_bufferedFront;
            if (m_prebuffering) {
                if (m_bufferedFront < kPrebufferMs * RateOrFallback() / 1000)
                    return LoopResult::kReturn;
                m_prebuffering = false;
            }
        } else {
            if (m_waitRearKey) {
                if (!key)
                    return LoopResult::kReturn;
                m_waitRearKey = false;
            }
            m_fifo.Push(PacketFifo::kRear, payload, size);
        }
        if (m_prebuffering)
            return LoopResult::kReturn;
        return ShowOldest();
    }
    if (IdIs(id, 'w', 'b')) {
        if (m_waitFrontKey)
            return LoopResult::kReturn;
        m_sync.PushPcm(payload, size);
        return m_prebuffering ? LoopResult::kReturn : LoopResult::kLoop;
    }
    if (IdIs(id, 't', 'x')) {
        payload[size] = 0; // the read buffer has one byte beyond kBufferSize for this
        if (m_textCallback != nullptr)
            m_textCallback(m_textUser, payload, size, CurrentMs());
        return LoopResult::kReturn;
    }
    return LoopResult::kReturn; // anything else, the container's index among it
}

CQTRMediaPlayer::LoopResult CQTRMediaPlayer::ShowOldest() {
    int32_t size = 0;
    PacketFifo::Kind kind = PacketFifo::kFront;
    if (!m_fifo.PopOldest(m_frameBuffer.data(), m_frameBuffer.size(), size, kind))
        return LoopResult::kEnd;
    if (kind == PacketFifo::kFront) {
        // The sound read with this frame must be about to play: wait until at most one
        // block is still queued, then spread the frames at the frame period.
        m_sync.WaitForAudio(&m_running);
        if (m_pacing.load(std::memory_order_relaxed))
            m_pacer.Pace(0, RateOrFallback());
        m_currentFrame.fetch_add(1, std::memory_order_acq_rel);
        if (m_decoder != nullptr)
            m_decoder->DecodeAndShow(0, m_frontArea, m_frameBuffer.data(), size);
    } else if (m_decoder != nullptr) {
        m_decoder->DecodeAndShow(1, m_rearArea, m_frameBuffer.data(), size);
    }
    return LoopResult::kLoop;
}
