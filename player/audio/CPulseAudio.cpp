#include "CPulseAudio.h"

#include "AudioVolume.h"

#include <pulse/pulseaudio.h>
#include <pulse/simple.h>
#include <sys/time.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {

constexpr const char* kProgramName = "tatview";
constexpr const char* kStreamName = "Recording sound";

// Every callback only wakes whoever waits on the main loop; the waiters look at the states.
void WakeOnContext(pa_context*, void* loop) {
    pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
}
void WakeOnStream(pa_stream*, void* loop) {
    pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
}
void WakeOnRoom(pa_stream*, size_t, void* loop) {
    pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
}
void WakeOnDone(pa_stream*, int, void* loop) {
    pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
}

int64_t MicrosOf(const timeval& time) {
    return int64_t{time.tv_sec} * 1000000 + int64_t{time.tv_usec};
}

} // namespace

struct CPulseAudio::Connection {
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    pa_stream* stream = nullptr;
    int64_t bytesPerSecond = 16000;

    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection() {
        if (loop == nullptr)
            return;
        pa_threaded_mainloop_lock(loop);
        if (stream != nullptr) {
            pa_stream_set_state_callback(stream, nullptr, nullptr);
            pa_stream_set_write_callback(stream, nullptr, nullptr);
            pa_stream_disconnect(stream);
            pa_stream_unref(stream);
        }
        if (context != nullptr) {
            pa_context_set_state_callback(context, nullptr, nullptr);
            pa_context_disconnect(context);
            pa_context_unref(context);
        }
        pa_threaded_mainloop_unlock(loop);
        pa_threaded_mainloop_stop(loop);
        pa_threaded_mainloop_free(loop);
    }

    // Connects to the server and opens the playback stream; false when either fails.
    bool Connect(const pa_sample_spec& spec, const pa_buffer_attr& attr) {
        loop = pa_threaded_mainloop_new();
        if (loop == nullptr)
            return false;
        context = pa_context_new(pa_threaded_mainloop_get_api(loop), kProgramName);
        if (context == nullptr)
            return false;
        pa_context_set_state_callback(context, &WakeOnContext, loop);
        if (pa_threaded_mainloop_start(loop) < 0)
            return false;
        pa_threaded_mainloop_lock(loop);
        const bool ready = ConnectLocked(spec, attr);
        pa_threaded_mainloop_unlock(loop);
        return ready;
    }

    bool ConnectLocked(const pa_sample_spec& spec, const pa_buffer_attr& attr) {
        if (pa_context_connect(context, nullptr, PA_CONTEXT_NOFLAGS, nullptr) < 0)
            return false;
        for (;;) {
            const pa_context_state_t state = pa_context_get_state(context);
            if (state == PA_CONTEXT_READY)
                break;
            if (!PA_CONTEXT_IS_GOOD(state))
                return false;
            pa_threaded_mainloop_wait(loop);
        }
        stream = pa_stream_new(context, kStreamName, &spec, nullptr);
        if (stream == nullptr)
            return false;
        pa_stream_set_state_callback(stream, &WakeOnStream, loop);
        pa_stream_set_write_callback(stream, &WakeOnRoom, loop);
        // The server adjusts the sink's latency to the stream's; the timing information is
        // fetched by hand after each write (see Write).
        const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY);
        if (pa_stream_connect_playback(stream, nullptr, &attr, flags, nullptr, nullptr) < 0)
            return false;
        for (;;) {
            const pa_stream_state_t state = pa_stream_get_state(stream);
            if (state == PA_STREAM_READY)
                return true;
            if (!PA_STREAM_IS_GOOD(state))
                return false;
            pa_threaded_mainloop_wait(loop);
        }
    }

    bool Ready() const { return pa_stream_get_state(stream) == PA_STREAM_READY; }
};

CPulseAudio::CPulseAudio() = default;

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

    auto connection = std::make_unique<Connection>();
    connection->bytesPerSecond = int64_t{samplesPerSecond} * (bitsPerSample / 8);
    if (!connection->Connect(spec, attr))
        return false;
    std::lock_guard control(m_control);
    std::lock_guard lock(m_io);
    m_connection = std::move(connection);
    m_bitsPerSample = bitsPerSample;
    m_closing.store(false, std::memory_order_release);
    return true;
}

int CPulseAudio::Close() {
    std::lock_guard control(m_control);
    if (!m_connection)
        return 1;
    m_closing.store(true, std::memory_order_release);
    // Wakes a Write that waits for room or for the timing information; it sees the flag.
    pa_threaded_mainloop_lock(m_connection->loop);
    pa_threaded_mainloop_signal(m_connection->loop, 0);
    pa_threaded_mainloop_unlock(m_connection->loop);
    std::unique_ptr<Connection> closing;
    {
        std::lock_guard lock(m_io);
        closing = std::move(m_connection);
    }
    closing.reset(); // the stream is dropped unplayed, the connection closed
    return 1;
}

void CPulseAudio::Write(const uint8_t* bytes, int32_t length) {
    if (bytes == nullptr || length <= 0)
        return;
    std::lock_guard lock(m_io);
    if (!m_connection || m_closing.load(std::memory_order_acquire))
        return;
    const int32_t sampleBytes = m_bitsPerSample / 8;
    length = std::min(length, kBlockBytes);
    length -= length % sampleBytes;
    if (length == 0)
        return;
    std::memcpy(m_block, bytes, static_cast<size_t>(length));
    ApplyVolume(m_block, length, m_bitsPerSample, m_level.load(std::memory_order_relaxed));

    Connection& c = *m_connection;
    const uint64_t flushes = m_flushes.load(std::memory_order_acquire);
    const auto goOn = [&] {
        return !m_closing.load(std::memory_order_acquire) &&
               m_flushes.load(std::memory_order_acquire) == flushes && c.Ready();
    };
    pa_threaded_mainloop_lock(c.loop);
    auto done = size_t{0};
    const auto total = static_cast<size_t>(length);
    while (done < total && goOn()) {
        const size_t room = pa_stream_writable_size(c.stream);
        if (room == static_cast<size_t>(-1))
            break;
        if (room == 0) {
            pa_threaded_mainloop_wait(c.loop);
            continue;
        }
        const size_t piece = std::min(room, total - done);
        if (pa_stream_write(c.stream, m_block + done, piece, nullptr, 0, PA_SEEK_RELATIVE) < 0)
            break;
        done += piece;
    }
    if (done > 0 && goOn()) {
        // Where the server is now: QueuedMicros reads it.
        pa_operation* update = pa_stream_update_timing_info(c.stream, &WakeOnDone, c.loop);
        if (update != nullptr) {
            while (pa_operation_get_state(update) == PA_OPERATION_RUNNING && goOn())
                pa_threaded_mainloop_wait(c.loop);
            pa_operation_unref(update);
        }
    }
    pa_threaded_mainloop_unlock(c.loop);
}

void CPulseAudio::Flush() {
    std::lock_guard control(m_control);
    if (!m_connection)
        return;
    Connection& c = *m_connection;
    pa_threaded_mainloop_lock(c.loop);
    m_flushes.fetch_add(1, std::memory_order_acq_rel);
    if (c.Ready()) {
        if (pa_operation* flush = pa_stream_flush(c.stream, nullptr, nullptr))
            pa_operation_unref(flush);
    }
    pa_threaded_mainloop_signal(c.loop, 0); // a Write waiting for room gives up
    pa_threaded_mainloop_unlock(c.loop);
}

void CPulseAudio::SetVolume(uint32_t deviceVolume) {
    m_level.store(VolumeLevel(deviceVolume), std::memory_order_relaxed);
}

int64_t CPulseAudio::QueuedMicros() const {
    std::lock_guard lock(m_io);
    if (!m_connection)
        return 0;
    const Connection& c = *m_connection;
    pa_threaded_mainloop_lock(c.loop);
    int64_t queued = 0;
    const pa_timing_info* info = c.Ready() ? pa_stream_get_timing_info(c.stream) : nullptr;
    if (info != nullptr && !info->read_index_corrupt && !info->write_index_corrupt) {
        // At info->timestamp the sample at the read index was sink_usec from being heard, and
        // everything written up to the write index follows it.
        const int64_t ahead = std::max<int64_t>(info->write_index - info->read_index, 0);
        queued = static_cast<int64_t>(info->sink_usec) + ahead * 1000000 / c.bytesPerSecond;
        if (info->playing) {
            timeval now{};
            gettimeofday(&now, nullptr);
            queued -= std::max<int64_t>(MicrosOf(now) - MicrosOf(info->timestamp), 0);
        }
    }
    pa_threaded_mainloop_unlock(c.loop);
    return std::max<int64_t>(queued, 0);
}
