#include "CMediaSync.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

constexpr int32_t kMinSpeed = 25;
constexpr int32_t kMaxSpeed = 800;

} // namespace

CMediaSync::~CMediaSync() {
    StopFeed();
}

void CMediaSync::SetOutput(VAudio* output) {
    m_output = output;
}

void CMediaSync::SetFormat(int32_t bitsPerSample, int32_t samplesPerSecond) {
    m_bits.store(bitsPerSample == 8 ? 8 : 16, std::memory_order_release);
    m_rate.store(samplesPerSecond > 0 ? samplesPerSecond : 8000, std::memory_order_release);
}

void CMediaSync::SetSpeedPercent(int32_t percent) {
    m_speedPercent.store(std::clamp(percent, kMinSpeed, kMaxSpeed), std::memory_order_release);
}

void CMediaSync::Hold(bool held) {
    {
        std::lock_guard<CSync> hold(m_lock);
        m_held.store(held, std::memory_order_release);
    }
    m_pushed.notify_one();
}

bool CMediaSync::StartFeed() {
    return m_feed.BeginThread([this] { return FeedStep(); });
}

void CMediaSync::StopFeed() {
    {
        std::lock_guard<CSync> hold(m_lock);
        m_feedStopping = true;
    }
    m_pushed.notify_all();
    m_feed.StopThread();
    std::lock_guard<CSync> hold(m_lock);
    m_feedStopping = false;
}

void CMediaSync::Clear() {
    std::lock_guard<CSync> hold(m_lock);
    m_used = 0;
    m_count.store(0, std::memory_order_release);
    m_queuedBytes.store(0, std::memory_order_release);
    m_popped.notify_all();
}

void CMediaSync::Flush() {
    std::lock_guard<CSync> hold(m_lock);
    m_used = 0;
    m_count.store(0, std::memory_order_release);
    m_queuedBytes.store(0, std::memory_order_release);
    m_popped.notify_all();
    ++m_generation;
    m_clock.Reset();
    // Under the lock, so that no block popped after this can be written before the flush.
    if (m_output != nullptr)
        m_output->Flush();
}

void CMediaSync::PushPcm(const uint8_t* bytes, int32_t length, int64_t startUs) {
    const int32_t kept = std::clamp(length, 0, kBlockBytes);
    std::lock_guard<CSync> hold(m_lock);
    if (m_used == m_queue.size()) {
        // Grows to twice (count + 1) records, so a steady two-block queue never allocates.
        m_queue.resize((m_used + 1) * 2);
    }
    PcmBlock& block = m_queue[m_used];
    block.length = kept;
    block.startUs = startUs;
    if (kept > 0)
        std::memcpy(block.data, bytes, static_cast<size_t>(kept));
    ++m_used;
    m_queuedBytes.fetch_add(kept, std::memory_order_acq_rel);
    m_count.store(static_cast<int32_t>(m_used), std::memory_order_release);
    m_pushed.notify_one();
}

bool CMediaSync::PopPcm(uint8_t* destination, int32_t& length) {
    int64_t startUs = kContinues;
    uint64_t generation = 0;
    return TakeOldest(destination, length, startUs, generation);
}

bool CMediaSync::PopBlock(PcmBlock& block, uint64_t& generation) {
    return TakeOldest(block.data, block.length, block.startUs, generation);
}

bool CMediaSync::TakeOldest(uint8_t* destination, int32_t& length, int64_t& startUs,
                            uint64_t& generation) {
    if (m_count.load(std::memory_order_acquire) == 0)
        return false;
    std::lock_guard<CSync> hold(m_lock);
    if (m_used == 0) // emptied by Clear or Flush since the test above
        return false;
    const PcmBlock& oldest = m_queue[0];
    length = oldest.length;
    startUs = oldest.startUs;
    if (oldest.length > 0)
        std::memcpy(destination, oldest.data, static_cast<size_t>(oldest.length));
    // The engine keeps about two blocks queued, so moving the rest down is cheap.
    std::move(m_queue.begin() + 1, m_queue.begin() + static_cast<std::ptrdiff_t>(m_used),
              m_queue.begin());
    --m_used;
    m_queuedBytes.fetch_sub(length, std::memory_order_acq_rel);
    m_count.store(static_cast<int32_t>(m_used), std::memory_order_release);
    generation = m_generation;
    m_popped.notify_all();
    return true;
}

void CMediaSync::WaitForAudio(const std::atomic<bool>* keepWaiting) const {
    if (keepWaiting == nullptr)
        WaitForAudio([] { return true; });
    else
        WaitForAudio([keepWaiting] { return keepWaiting->load(std::memory_order_acquire); });
}

size_t CMediaSync::BlocksAhead() const {
    const int32_t speed = m_speedPercent.load(std::memory_order_acquire);
    return speed >= 100 ? 2 : static_cast<size_t>((200 + speed - 1) / speed);
}

void CMediaSync::SetReadAheadUs(int64_t microseconds) {
    m_readAheadUs.store(std::max<int64_t>(microseconds, 0), std::memory_order_release);
}

bool CMediaSync::ShortEnough(size_t ahead) const {
    if (static_cast<size_t>(m_count.load(std::memory_order_acquire)) < ahead)
        return true;
    const int64_t readAhead = m_readAheadUs.load(std::memory_order_acquire);
    return readAhead > 0 && BytesToUs(m_queuedBytes.load(std::memory_order_acquire)) < readAhead;
}

void CMediaSync::WaitForAudio(const std::function<bool()>& keepWaiting) const {
    const size_t ahead = BlocksAhead();
    while (!ShortEnough(ahead) && keepWaiting()) {
        std::unique_lock<CSync> hold(m_lock);
        m_popped.wait_for(hold, std::chrono::milliseconds(10),
                          [this, ahead] { return ShortEnough(ahead); });
    }
}

bool CMediaSync::HeardUs(Clock::time_point now, int64_t& recordingUs) const {
    std::lock_guard<CSync> hold(m_lock);
    return m_clock.HeardAt(now, recordingUs);
}

CMediaSync::Format CMediaSync::CurrentFormat() const {
    return {m_bits.load(std::memory_order_acquire) / 8, m_rate.load(std::memory_order_acquire)};
}

int64_t CMediaSync::BytesToUs(int64_t bytes) const {
    const Format format = CurrentFormat();
    return bytes / format.sampleBytes * 1000000 / format.rate;
}

bool CMediaSync::FeedStep() {
    uint64_t generation = 0;
    if (!m_held.load(std::memory_order_acquire) && PopBlock(m_staging, generation)) {
        // The output blocks until the device has room; the queue lock is not held here, so
        // the engine can keep pushing meanwhile.
        if (m_output != nullptr)
            FeedBlock(m_staging, generation);
        return true;
    }
    // Nothing queued: sleep until the engine pushes a block or lets the sound go, or the feed
    // is stopped (each of them notifies), so that an idle player does not wake all the time.
    std::unique_lock<CSync> hold(m_lock);
    m_pushed.wait_for(hold, std::chrono::milliseconds(kIdleWaitMs), [this] {
        return m_feedStopping || (m_used > 0 && !m_held.load(std::memory_order_acquire));
    });
    return true;
}

void CMediaSync::FeedBlock(const PcmBlock& block, uint64_t generation) {
    if (generation != m_feedGeneration) {
        // A flush came: whatever the tempo change held belongs to the old sound.
        m_feedGeneration = generation;
        m_stretchSpeed = 0;
    }
    const int64_t start = block.startUs >= 0 ? block.startUs : m_nextStartUs;
    if (start != m_nextStartUs)
        m_stretchSpeed = 0; // a jump in the recording: a new stretch
    const int64_t duration = BytesToUs(block.length);
    m_nextStartUs = start + duration;
    const int32_t speed = m_speedPercent.load(std::memory_order_acquire);
    if (speed == 100) {
        m_stretchSpeed = 0;
        WritePiece(block.data, block.length, start, 1.0, generation);
        return;
    }
    if (m_tempo != nullptr && speed >= 50 && speed <= 200 &&
        WriteStretched(block, start, speed, generation))
        return;
    m_stretchSpeed = 0;
    WriteSilence(start, duration * 100 / speed, speed / 100.0, generation);
}

bool CMediaSync::WriteStretched(const PcmBlock& block, int64_t startUs, int32_t speed,
                                uint64_t generation) {
    const Format format = CurrentFormat();
    if (m_stretchSpeed != speed) {
        if (!m_tempo->Begin(format.sampleBytes * 8, format.rate, speed / 100.0))
            return false;
        m_stretchSpeed = speed;
        m_stretchStartUs = startUs;
        m_stretchOutSamples = 0;
    }
    m_stretched.clear();
    if (!m_tempo->Process(block.data, block.length, m_stretched)) {
        m_stretchSpeed = 0;
        return false;
    }
    const double factor = speed / 100.0;
    const auto total = static_cast<int32_t>(m_stretched.size());
    const int32_t piece = kBlockBytes - kBlockBytes % format.sampleBytes;
    for (int32_t offset = 0; offset < total; offset += piece) {
        const int32_t length = std::min(piece, total - offset);
        const int64_t outUs = m_stretchOutSamples * 1000000 / format.rate;
        const int64_t recordingUs =
            m_stretchStartUs +
            static_cast<int64_t>(std::llround(static_cast<double>(outUs) * factor));
        m_stretchOutSamples += length / format.sampleBytes;
        if (!WritePiece(m_stretched.data() + offset, length, recordingUs, factor, generation))
            break;
    }
    return true;
}

void CMediaSync::WriteSilence(int64_t recordingUs, int64_t playedUs, double factor,
                              uint64_t generation) {
    const Format format = CurrentFormat();
    const int64_t samples = playedUs * format.rate / 1000000;
    const int32_t pieceSamples = kBlockBytes / format.sampleBytes;
    m_silence.assign(static_cast<size_t>(kBlockBytes), format.sampleBytes == 1 ? 0x80 : 0x00);
    for (int64_t done = 0; done < samples; done += pieceSamples) {
        const auto count = static_cast<int32_t>(std::min<int64_t>(pieceSamples, samples - done));
        const int64_t at =
            recordingUs + static_cast<int64_t>(std::llround(
                              static_cast<double>(done * 1000000 / format.rate) * factor));
        if (!WritePiece(m_silence.data(), count * format.sampleBytes, at, factor, generation))
            return;
    }
}

bool CMediaSync::WritePiece(const uint8_t* bytes, int32_t length, int64_t recordingUs,
                            double factor, uint64_t generation) {
    m_output->Write(bytes, length);
    const Clock::time_point now = Clock::now();
    const int64_t queued = m_output->QueuedMicros();
    std::lock_guard<CSync> hold(m_lock);
    if (m_generation != generation) {
        // Flushed while this piece was being written: it may have gone in after the flush.
        // Nothing else was written since (this thread is the only writer), so flushing again
        // drops just the stale piece.
        m_output->Flush();
        return false;
    }
    m_clock.Written(BytesToUs(length), recordingUs, factor);
    m_clock.Anchor(now, queued);
    return true;
}
