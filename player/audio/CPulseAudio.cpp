#include "CPulseAudio.h"

#include "AudioVolume.h"

#include <pulse/simple.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr const char* kProgramName = "tatview";
constexpr const char* kStreamName = "Recording sound";

} // namespace

CPulseAudio::~CPulseAudio() {
    Close();
}

bool CPulseAudio::ServerAnswers() {
    pa_sample_spec spec{};
    spec.format = PA_SAMPLE_S16LE;
    spec.rate = 8000;
    spec.channels = 1;
    int error = 0;
    pa_simple* probe = pa_simple_new(nullptr, kProgramName, PA_STREAM_PLAYBACK, nullptr,
                                     kStreamName, &spec, nullptr, nullptr, &error);
    if (probe == nullptr)
        return false;
    pa_simple_free(probe);
    return true;
}

bool CPulseAudio::Open(int32_t bitsPerSample, int32_t samplesPerSecond) {
    Close();
    if ((bitsPerSample != 8 && bitsPerSample != 16) || samplesPerSecond <= 0 ||
        static_cast<uint32_t>(samplesPerSecond) > PA_RATE_MAX)
        return false;

    pa_sample_spec spec{};
    spec.format = bitsPerSample == 8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE;
    spec.rate = static_cast<uint32_t>(samplesPerSecond);
    spec.channels = 1;

    // Two blocks in the server; a request for more as soon as one block's room is free.
    // Prebuffering one sample starts playback with the first block, and (unlike no
    // prebuffering) pauses the stream on an underrun instead of skipping the late data.
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = 2 * kBlockBytes;
    attr.prebuf = static_cast<uint32_t>(bitsPerSample / 8);
    attr.minreq = kBlockBytes;
    attr.fragsize = static_cast<uint32_t>(-1);

    int error = 0;
    pa_simple* stream = pa_simple_new(nullptr, kProgramName, PA_STREAM_PLAYBACK, nullptr,
                                      kStreamName, &spec, nullptr, &attr, &error);
    if (stream == nullptr)
        return false;
    std::lock_guard control(m_control);
    std::lock_guard lock(m_io);
    m_stream = stream;
    m_bitsPerSample = bitsPerSample;
    m_closing.store(false, std::memory_order_release);
    return true;
}

int CPulseAudio::Close() {
    std::lock_guard control(m_control);
    if (m_stream == nullptr)
        return 1;
    m_closing.store(true, std::memory_order_release);
    // Emptying the server's buffer answers a Write that waits for room.
    int error = 0;
    pa_simple_flush(m_stream, &error);
    std::lock_guard lock(m_io);
    pa_simple_free(m_stream);
    m_stream = nullptr;
    return 1;
}

void CPulseAudio::Write(const uint8_t* bytes, int32_t length) {
    if (bytes == nullptr || length <= 0)
        return;
    std::lock_guard lock(m_io);
    if (m_stream == nullptr || m_closing.load(std::memory_order_acquire))
        return;
    const int32_t sampleBytes = m_bitsPerSample / 8;
    length = std::min(length, kBlockBytes);
    length -= length % sampleBytes;
    if (length == 0)
        return;
    std::memcpy(m_block, bytes, static_cast<size_t>(length));
    ApplyVolume(m_block, length, m_bitsPerSample, m_level.load(std::memory_order_relaxed));
    int error = 0;
    pa_simple_write(m_stream, m_block, static_cast<size_t>(length), &error);
}

void CPulseAudio::Flush() {
    std::lock_guard control(m_control);
    if (m_stream == nullptr)
        return;
    int error = 0;
    pa_simple_flush(m_stream, &error);
}

void CPulseAudio::SetVolume(uint32_t deviceVolume) {
    m_level.store(VolumeLevel(deviceVolume), std::memory_order_relaxed);
}

int64_t CPulseAudio::QueuedMicros() const {
    std::lock_guard lock(m_io);
    if (m_stream == nullptr)
        return 0;
    int error = 0;
    const pa_usec_t latency = pa_simple_get_latency(m_stream, &error);
    if (latency == static_cast<pa_usec_t>(-1))
        return 0;
    return static_cast<int64_t>(latency);
}
